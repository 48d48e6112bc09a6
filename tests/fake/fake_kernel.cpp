#include "fake/fake_kernel.h"

#include <cstring>
#include <cstdio>
#include <cwchar>

namespace {

FakeKernel kernel;
const FakeResetRegistration reset([] { kernel = FakeKernel{}; });

HMODULE FakeModule(std::uintptr_t number) { return reinterpret_cast<HMODULE>(number << 4); }

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD directoryFlags) {
    wchar_t flags[16];
    std::swprintf(flags, 16, L"0x%X", directoryFlags);
    FakeRecordCall(L"SetDefaultDllDirectories(" + std::wstring(flags) + L")");
    if (!kernel.setDefaultDllDirectoriesResult) FakeSetLastError(87);
    return kernel.setDefaultDllDirectoriesResult;
}

}  // namespace

FakeKernel& TheFakeKernel() { return kernel; }

void FakeSetLastError(DWORD error) { kernel.lastError = error; }

DWORD GetTickCount() { return kernel.tickCount; }

void GetLocalTime(LPSYSTEMTIME systemTime) { *systemTime = kernel.localTime; }

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }

BOOL IsWow64Process(HANDLE process, PBOOL wow64Process) {
    FakeRecordCall(L"IsWow64Process(" +
                   std::wstring(process == GetCurrentProcess() ? L"current" : L"other") + L")");
    if (!kernel.isWow64Result) {
        FakeSetLastError(kernel.isWow64Error);
        return FALSE;
    }
    *wow64Process = kernel.wow64Flag;
    return TRUE;
}

DWORD GetLastError() { return kernel.lastError; }

BOOL DeleteFileW(LPCWSTR fileName) {
    FakeRecordCall(L"DeleteFileW(" + FakeQuoted(fileName) + L")");
    std::string narrow;
    for (const wchar_t* c = fileName; *c != L'\0'; ++c) narrow.push_back(static_cast<char>(*c));
    return std::remove(narrow.c_str()) == 0 ? TRUE : FALSE;
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    FakeRecordCall(L"GetWindowsDirectoryW(" + std::to_wstring(size) + L")");
    if (!kernel.windowsDirectoryResults.empty()) {
        const UINT result = kernel.windowsDirectoryResults.front();
        kernel.windowsDirectoryResults.erase(kernel.windowsDirectoryResults.begin());
        return result;
    }
    const auto length = static_cast<UINT>(kernel.windowsDirectory.size());
    if (length + 1 > size) return length + 1;  // the size needed, terminator included
    std::wmemcpy(buffer, kernel.windowsDirectory.c_str(), length + 1);
    // What lies after the terminator is not the caller's to use.
    std::wmemset(buffer + length + 1, L'#', size - length - 1);
    return length;
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
    FakeRecordCall(L"CopyFileW(" + FakeQuoted(existingFileName) + L", " + FakeQuoted(newFileName) + L", " +
                   std::to_wstring(failIfExists) + L")");
    const auto source = kernel.files.find(existingFileName);
    if (source == kernel.files.end()) {
        FakeSetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (failIfExists && kernel.copies.count(newFileName) != 0) {
        FakeSetLastError(80);  // ERROR_FILE_EXISTS
        return FALSE;
    }
    kernel.copies[newFileName] = source->second;
    return TRUE;
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    FakeRecordCall(L"GetCurrentDirectoryW(" + std::to_wstring(bufferLength) + L")");
    if (kernel.currentDirectoryError != 0) {
        FakeSetLastError(kernel.currentDirectoryError);
        return 0;
    }
    const auto length = static_cast<DWORD>(kernel.currentDirectory.size());
    if (length + 1 > bufferLength) return length + 1;  // the size needed, terminator included
    std::wmemcpy(buffer, kernel.currentDirectory.c_str(), length + 1);
    return length;
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    FakeRecordCall(L"GetSystemDirectoryW(" + std::to_wstring(size) + L")");
    const auto length = static_cast<UINT>(kernel.systemDirectory.size());
    if (length + 1 > size) return length + 1;
    std::wmemcpy(buffer, kernel.systemDirectory.c_str(), length + 1);
    return length;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    FakeRecordCall(L"GetModuleHandleW(" + FakeQuoted(moduleName) + L")");
    return FakeModule(1);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    const std::string name = procName;
    FakeRecordCall(L"GetProcAddress(" + std::wstring(module == FakeModule(1) ? L"kernel32" : L"other") +
                   L", \"" + std::wstring(name.begin(), name.end()) + L"\")");
    if (module != FakeModule(1) || name != "SetDefaultDllDirectories" ||
        !kernel.hasSetDefaultDllDirectories) {
        FakeSetLastError(127);  // ERROR_PROC_NOT_FOUND
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetDefaultDllDirectories));
}

BOOL SetDllDirectoryW(LPCWSTR pathName) {
    FakeRecordCall(L"SetDllDirectoryW(" + FakeQuoted(pathName) + L")");
    return TRUE;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
    FakeRecordCall(L"LoadLibraryW(" + FakeQuoted(fileName) + L")");
    return FakeModule(2);
}
