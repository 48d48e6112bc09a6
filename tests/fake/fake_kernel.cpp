#include "fake/fake_kernel.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <utility>

#include "fake/fake_msi.h"
#include "platform/ascii_case.h"

namespace {

FakeKernel kernel;
const FakeResetRegistration reset([] { kernel = FakeKernel{}; });

// Objects behind the handles of one kind: what the process holds, gone
// when it ends.
template <typename Object>
class HandleTable {
public:
    HandleTable() : reset_([] { Table().clear(); }) {}
    HANDLE Open(Object object) {
        static std::uintptr_t next = 1;
        const std::uintptr_t number = next++;
        Table()[number] = std::move(object);
        return reinterpret_cast<HANDLE>(number << 4);
    }
    Object* Find(HANDLE handle) {
        const auto found = Table().find(reinterpret_cast<std::uintptr_t>(handle) >> 4);
        return found == Table().end() ? nullptr : &found->second;
    }
    bool Close(HANDLE handle) { return Table().erase(reinterpret_cast<std::uintptr_t>(handle) >> 4) != 0; }

private:
    static std::map<std::uintptr_t, Object>& Table() {
        static std::map<std::uintptr_t, Object> table;
        return table;
    }
    FakeProcessStateRegistration reset_;
};

struct Listing {
    std::vector<std::wstring> names;  // matching the pattern, in order
    std::size_t next = 0;
};
HandleTable<Listing> listings;

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
    FakeWriteText(entry->cFileName, MAX_PATH, name, true);
}

// A failure: the last error set, and the call's failure result.
template <typename Result = BOOL>
Result Fail(DWORD error, Result result = FALSE) {
    FakeSetLastError(error);
    return result;
}

// A directory's path answered as GetWindowsDirectoryW and its kin answer:
// its length, or when the buffer is too small the size needed.
DWORD AnswerDirectory(const std::wstring& path, LPWSTR buffer, DWORD size) {
    const FakeTextAnswer answer = FakeWriteText(buffer, size, path);
    return answer.fits ? answer.length : answer.length + 1;
}

struct OpenFile {
    std::wstring name;
    std::size_t position = 0;
    std::string kind = "file";
};
HandleTable<OpenFile> openFiles;

std::map<const void*, std::shared_ptr<void>> localMemory;
const FakeProcessStateRegistration forgetLocalMemory([] { localMemory.clear(); });

bool IsFolder(const std::wstring& name) { return kernel.folders.count(name) != 0; }

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%X", value);
    return text;
}

// A name of the test's real folders: ASCII.
std::string Narrow(const wchar_t* name) { return std::string(name, name + std::wcslen(name)); }

HMODULE FakeModule(std::uintptr_t number) { return reinterpret_cast<HMODULE>(number << 4); }

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD directoryFlags) {
    wchar_t flags[16];
    std::swprintf(flags, 16, L"0x%X", directoryFlags);
    FakeRecordCall(L"SetDefaultDllDirectories(" + std::wstring(flags) + L")");
    if (!kernel.setDefaultDllDirectoriesResult) FakeSetLastError(87);
    return kernel.setDefaultDllDirectoriesResult;
}

BOOL WINAPI FakeSetProcessMitigationPolicy(int policy, PVOID buffer, SIZE_T length) {
    DWORD flags = 0;
    if (length == sizeof flags) std::memcpy(&flags, buffer, sizeof flags);
    FakeRecordCall(L"SetProcessMitigationPolicy(" + std::to_wstring(policy) + L", " + Hex(flags) + L", " +
                   std::to_wstring(length) + L")");
    if (!kernel.setProcessMitigationPolicyResult) return Fail(87);
    kernel.mitigations[policy] = flags;
    return TRUE;
}

}  // namespace

FakeKernel& TheFakeKernel() { return kernel; }

void FakeSetLastError(DWORD error) { kernel.lastError = error; }

DWORD GetTickCount() { return kernel.tickCount; }

void GetLocalTime(LPSYSTEMTIME systemTime) { *systemTime = kernel.localTime; }

LPWSTR GetCommandLineW() { return kernel.commandLine.data(); }

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }

BOOL IsWow64Process(HANDLE process, PBOOL wow64Process) {
    FakeRecordCall(L"IsWow64Process(" +
                   std::wstring(process == GetCurrentProcess() ? L"current" : L"other") + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    if (!kernel.isWow64Result) return Fail(kernel.isWow64Error);
    *wow64Process = kernel.wow64Flag;
    return TRUE;
}

DWORD GetLastError() { return kernel.lastError; }

BOOL DeleteFileW(LPCWSTR fileName) {
    FakeRecordCall(L"DeleteFileW(" + FakeQuoted(fileName) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const bool known = kernel.files.erase(fileName) != 0;
    // The run log's stream writes a real file in the test's folder.
    const bool removed = std::remove(Narrow(fileName).c_str()) == 0;
    if (known || removed) return TRUE;
    return Fail(ERROR_FILE_NOT_FOUND);
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    FakeRecordCall(L"GetWindowsDirectoryW(" + std::to_wstring(size) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, 0u);
    if (!kernel.windowsDirectoryResults.empty()) {
        const UINT result = kernel.windowsDirectoryResults.front();
        kernel.windowsDirectoryResults.erase(kernel.windowsDirectoryResults.begin());
        if (result == 0) FakeSetLastError(kernel.windowsDirectoryError);
        return result;
    }
    // What lies after the terminator is not the caller's to use.
    if (buffer != nullptr) std::wmemset(buffer, L'#', size);
    return AnswerDirectory(kernel.windowsDirectory, buffer, size);
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    FakeRecordCall(L"CreateFileW(" + FakeQuoted(fileName) + L", " + Hex(desiredAccess) + L", " +
                   Hex(shareMode) + L", " + std::to_wstring(creationDisposition) + L", " +
                   Hex(flagsAndAttributes) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, INVALID_HANDLE_VALUE);
    const auto swapped = kernel.contentOnOpen.find(fileName);
    if (swapped != kernel.contentOnOpen.end()) {
        kernel.files[fileName] = swapped->second;
        kernel.contentOnOpen.erase(swapped);
    }
    const bool exists = kernel.files.count(fileName) != 0 || IsFolder(fileName);
    if (creationDisposition == OPEN_EXISTING && !exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (creationDisposition == CREATE_NEW) {
        const auto refused = kernel.createErrors.find(fileName);
        if (refused != kernel.createErrors.end()) return Fail(refused->second, INVALID_HANDLE_VALUE);
        if (exists) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
        kernel.files[fileName] = "";
        const auto other = kernel.othersCreate.find(fileName);
        if (other != kernel.othersCreate.end()) kernel.files[other->second.first] = other->second.second;
    }
    FakeHandleOpened("file");
    return openFiles.Open(OpenFile{fileName});
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, LPDWORD numberOfBytesRead, LPOVERLAPPED) {
    if (const DWORD failure = FakeFaultPoint(L"ReadFile")) return Fail(failure);
    OpenFile* const open = openFiles.Find(file);
    if (open == nullptr) return Fail(6);  // ERROR_INVALID_HANDLE
    const std::string& content = kernel.files[open->name];
    const std::size_t count =
        std::min<std::size_t>(numberOfBytesToRead, content.size() - std::min(content.size(), open->position));
    std::memcpy(buffer, content.data() + open->position, count);
    open->position += count;
    *numberOfBytesRead = static_cast<DWORD>(count);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite, LPDWORD numberOfBytesWritten,
               LPOVERLAPPED) {
    if (const DWORD failure = FakeFaultPoint(L"WriteFile")) return Fail(failure);
    OpenFile* const open = openFiles.Find(file);
    if (open == nullptr) return Fail(6);  // ERROR_INVALID_HANDLE
    const auto refused = kernel.writeErrors.find(open->name);
    if (refused != kernel.writeErrors.end()) return Fail(refused->second);
    kernel.files[open->name].append(static_cast<const char*>(buffer), numberOfBytesToWrite);
    *numberOfBytesWritten = numberOfBytesToWrite;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    OpenFile* const open = openFiles.Find(object);
    if (open == nullptr) {
        ++FakeCalls().badCloses["file"];
        return Fail(6);  // ERROR_INVALID_HANDLE
    }
    FakeRecordRelease(L"CloseHandle(" + FakeQuoted(open->name.c_str()) + L")");
    const std::string kind = open->kind;
    openFiles.Close(object);
    FakeHandleClosed(kind);
    return TRUE;
}

const std::wstring* FakeOpenName(HANDLE handle) {
    const OpenFile* const open = openFiles.Find(handle);
    return open == nullptr ? nullptr : &open->name;
}

HANDLE FakeOpenOther(const std::wstring& name, const std::string& kind) {
    FakeHandleOpened(kind);
    return openFiles.Open(OpenFile{name, 0, kind});
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    FakeRecordCall(L"GetCurrentDirectoryW(" + std::to_wstring(bufferLength) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, 0u);
    if (kernel.currentDirectoryError != 0) return Fail(kernel.currentDirectoryError, 0u);
    return AnswerDirectory(kernel.currentDirectory, buffer, bufferLength);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    FakeRecordCall(L"GetSystemDirectoryW(" + std::to_wstring(size) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, 0u);
    return AnswerDirectory(kernel.systemDirectory, buffer, size);
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    FakeRecordCall(L"GetModuleHandleW(" + FakeQuoted(moduleName) + L")");
    return FakeModule(1);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    const std::string name = procName;
    FakeRecordCall(L"GetProcAddress(" + std::wstring(module == FakeModule(1) ? L"kernel32" : L"other") +
                   L", \"" + std::wstring(name.begin(), name.end()) + L"\")");
    if (module == FakeModule(1) && name == "SetDefaultDllDirectories" && kernel.hasSetDefaultDllDirectories)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetDefaultDllDirectories));
    if (module == FakeModule(1) && name == "SetProcessMitigationPolicy" && kernel.hasSetProcessMitigationPolicy)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetProcessMitigationPolicy));
    return Fail(127, nullptr);  // ERROR_PROC_NOT_FOUND
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
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    // The folder is a real one of the test's: the run log is opened there.
    if (::chdir(Narrow(pathName).c_str()) != 0) return Fail(3);  // ERROR_PATH_NOT_FOUND
    kernel.currentDirectory = pathName;
    return TRUE;
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData) {
    FakeRecordCall(L"FindFirstFileW(" + FakeQuoted(fileName) + L")");
    if (kernel.listError != 0 || FakeFailure() != 0)
        return Fail(FakeFailure() != 0 ? FakeFailure() : kernel.listError, INVALID_HANDLE_VALUE);
    const std::wstring path = fileName;
    const std::size_t slash = path.rfind(L'\\');
    const auto folder = kernel.folders.find(path.substr(0, slash));
    Listing listing;
    if (folder != kernel.folders.end())
        for (const std::wstring& name : folder->second)
            if (Matches(name, path.substr(slash + 1))) listing.names.push_back(name);
    if (listing.names.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    FillEntry(findFileData, listing.names[0]);
    listing.next = 1;
    FakeHandleOpened("find");
    return listings.Open(std::move(listing));
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData) {
    if (const DWORD failure = FakeFaultPoint(L"FindNextFileW")) return Fail(failure);
    Listing* const listing = listings.Find(findFile);
    if (listing == nullptr) return Fail(6);  // ERROR_INVALID_HANDLE
    if (listing->next >= listing->names.size()) return Fail(kernel.endError);
    FillEntry(findFileData, listing->names[listing->next++]);
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    FakeRecordRelease(L"FindClose()");
    if (!listings.Close(findFile)) {
        ++FakeCalls().badCloses["find"];
        return FALSE;
    }
    FakeHandleClosed("find");
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
    FakeRecordCall(L"GetFileAttributesW(" + FakeQuoted(fileName) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, INVALID_FILE_ATTRIBUTES);
    if (IsFolder(fileName)) return FILE_ATTRIBUTE_DIRECTORY;
    // The installer's packages are files too.
    if (kernel.files.count(fileName) != 0 || TheFakeMsi().packages.count(fileName) != 0) return FILE_ATTRIBUTE_NORMAL;
    return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
}

// Every path the tests give is a full one.
DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR*) {
    if (const DWORD failure = FakeFaultPoint(L"GetFullPathNameW")) return Fail(failure, 0u);
    return AnswerDirectory(fileName, buffer, bufferLength);
}

BOOL FlushFileBuffers(HANDLE file) {
    const OpenFile* const open = openFiles.Find(file);
    FakeRecordCall(L"FlushFileBuffers(" + FakeQuoted(open ? open->name.c_str() : nullptr) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    return open != nullptr ? TRUE : Fail(6);  // ERROR_INVALID_HANDLE
}

// A rename in one folder: the file keeps its content; an existing name is
// replaced only when the flags say so.
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
    FakeRecordCall(L"MoveFileExW(" + FakeQuoted(existingFileName) + L", " + FakeQuoted(newFileName) + L", " +
                   Hex(flags) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const auto from = kernel.files.find(existingFileName);
    if (from == kernel.files.end()) return Fail(ERROR_FILE_NOT_FOUND);
    const bool taken = kernel.files.count(newFileName) || IsFolder(newFileName) || TheFakeMsi().packages.count(newFileName);
    if (taken && (flags & 1) == 0) return Fail(ERROR_ALREADY_EXISTS);  // no MOVEFILE_REPLACE_EXISTING
    kernel.files[newFileName] = std::move(from->second);
    kernel.files.erase(from);
    return TRUE;
}

void FakeLocalKeep(const void* address, std::shared_ptr<void> owner) {
    localMemory[address] = std::move(owner);
    FakeHandleOpened("local");
}

HLOCAL LocalFree(HLOCAL memory) {
    FakeRecordRelease(L"LocalFree()");
    if (localMemory.erase(memory) == 0) {
        ++FakeCalls().badCloses["local"];
        return memory;
    }
    FakeHandleClosed("local");
    return nullptr;
}
