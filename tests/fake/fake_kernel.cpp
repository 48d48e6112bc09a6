#include "fake/fake_kernel.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "platform/ascii_case.h"

namespace {

FakeKernel kernel;
const FakeResetRegistration reset([] { kernel = FakeKernel{}; });

struct Listing {
    std::vector<std::wstring> names;  // matching the pattern, in order
    std::size_t next = 0;
};
std::map<std::uintptr_t, Listing> listings;
std::uintptr_t nextListing = 1;
const FakeProcessStateRegistration processState([] {
    listings.clear();
    nextListing = 1;
});

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// "prefix*suffix", as the file system matches it (letter case ignored).
bool Matches(const std::wstring& name, const std::wstring& pattern) {
    const std::size_t star = pattern.find(L'*');
    if (star == std::wstring::npos) return SameIgnoringCase(name, pattern);
    const std::wstring_view prefix(pattern.data(), star);
    const std::wstring_view suffix(pattern.data() + star + 1, pattern.size() - star - 1);
    return name.size() >= prefix.size() + suffix.size() &&
           SameIgnoringCase(std::wstring_view(name).substr(0, prefix.size()), prefix) &&
           SameIgnoringCase(std::wstring_view(name).substr(name.size() - suffix.size()), suffix);
}

void FillEntry(LPWIN32_FIND_DATAW entry, const std::wstring& name) {
    *entry = WIN32_FIND_DATAW{};
    const std::size_t length = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::wmemcpy(entry->cFileName, name.c_str(), length);
    entry->cFileName[length] = L'\0';
}

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
        if (result == 0) FakeSetLastError(kernel.windowsDirectoryError);
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

BOOL SetCurrentDirectoryW(LPCWSTR pathName) {
    FakeRecordCall(L"SetCurrentDirectoryW(" + FakeQuoted(pathName) + L")");
    // The folder is a real one of the test's: the run log is opened there.
    std::string narrow;
    for (const wchar_t* c = pathName; *c != L'\0'; ++c) narrow.push_back(static_cast<char>(*c));
    if (::chdir(narrow.c_str()) != 0) {
        FakeSetLastError(3);  // ERROR_PATH_NOT_FOUND
        return FALSE;
    }
    kernel.currentDirectory = pathName;
    return TRUE;
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData) {
    FakeRecordCall(L"FindFirstFileW(" + FakeQuoted(fileName) + L")");
    if (kernel.listError != 0) {
        FakeSetLastError(kernel.listError);
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring path = fileName;
    const std::size_t slash = path.rfind(L'\\');
    const auto folder = kernel.folders.find(path.substr(0, slash));
    Listing listing;
    if (folder != kernel.folders.end())
        for (const std::wstring& name : folder->second)
            if (Matches(name, path.substr(slash + 1))) listing.names.push_back(name);
    if (listing.names.empty()) {
        FakeSetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FillEntry(findFileData, listing.names[0]);
    listing.next = 1;
    const std::uintptr_t number = nextListing++;
    listings[number] = listing;
    FakeHandleOpened("find");
    return reinterpret_cast<HANDLE>(number << 4);
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData) {
    const auto listing = listings.find(reinterpret_cast<std::uintptr_t>(findFile) >> 4);
    if (listing == listings.end()) {
        FakeSetLastError(6);  // ERROR_INVALID_HANDLE
        return FALSE;
    }
    if (listing->second.next >= listing->second.names.size()) {
        FakeSetLastError(kernel.endError);
        return FALSE;
    }
    FillEntry(findFileData, listing->second.names[listing->second.next++]);
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    FakeRecordRelease(L"FindClose()");
    if (listings.erase(reinterpret_cast<std::uintptr_t>(findFile) >> 4) == 0) {
        ++FakeCalls().badCloses["find"];
        return FALSE;
    }
    FakeHandleClosed("find");
    return TRUE;
}
