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
    const std::size_t length = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::wmemcpy(entry->cFileName, name.c_str(), length);
    entry->cFileName[length] = L'\0';
}

struct OpenFile {
    std::wstring name;
    std::size_t position = 0;
    std::string kind = "file";
};
HandleTable<OpenFile> openFiles;

std::map<const void*, std::shared_ptr<void>> localMemory;
const FakeProcessStateRegistration forgetLocalMemory([] { localMemory.clear(); });

bool IsFolder(const std::wstring& name) {
    return kernel.folders.count(name) != 0 || kernel.madeFolders.count(name) != 0 || kernel.junctions.count(name) != 0;
}

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%X", value);
    return text;
}

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
    if (!kernel.setProcessMitigationPolicyResult) {
        FakeSetLastError(87);
        return FALSE;
    }
    kernel.mitigations[policy] = flags;
    return TRUE;
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
    const bool known = kernel.files.erase(fileName) != 0;
    // The run log's stream writes a real file in the test's folder.
    std::string narrow;
    for (const wchar_t* c = fileName; *c != L'\0'; ++c) narrow.push_back(static_cast<char>(*c));
    const bool removed = std::remove(narrow.c_str()) == 0;
    if (known || removed) return TRUE;
    FakeSetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
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

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    FakeRecordCall(L"CreateFileW(" + FakeQuoted(fileName) + L", " + Hex(desiredAccess) + L", " +
                   Hex(shareMode) + L", " + std::to_wstring(creationDisposition) + L", " +
                   Hex(flagsAndAttributes) + L")");
    const auto swapped = kernel.contentOnOpen.find(fileName);
    if (swapped != kernel.contentOnOpen.end()) {
        kernel.files[fileName] = swapped->second;
        kernel.contentOnOpen.erase(swapped);
    }
    const bool exists = kernel.files.count(fileName) != 0 || IsFolder(fileName);
    if (creationDisposition == OPEN_EXISTING && !exists) {
        FakeSetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition == CREATE_NEW) {
        const auto refused = kernel.createErrors.find(fileName);
        if (refused != kernel.createErrors.end()) {
            FakeSetLastError(refused->second);
            return INVALID_HANDLE_VALUE;
        }
        if (exists) {
            FakeSetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        kernel.files[fileName] = "";
    }
    FakeHandleOpened("file");
    return openFiles.Open(OpenFile{fileName});
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, LPDWORD numberOfBytesRead, LPOVERLAPPED) {
    OpenFile* const open = openFiles.Find(file);
    if (open == nullptr) {
        FakeSetLastError(6);  // ERROR_INVALID_HANDLE
        return FALSE;
    }
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
    OpenFile* const open = openFiles.Find(file);
    if (open == nullptr) {
        FakeSetLastError(6);  // ERROR_INVALID_HANDLE
        return FALSE;
    }
    const auto refused = kernel.writeErrors.find(open->name);
    if (refused != kernel.writeErrors.end()) {
        FakeSetLastError(refused->second);
        return FALSE;
    }
    kernel.files[open->name].append(static_cast<const char*>(buffer), numberOfBytesToWrite);
    *numberOfBytesWritten = numberOfBytesToWrite;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    OpenFile* const open = openFiles.Find(object);
    if (open == nullptr) {
        ++FakeCalls().badCloses["file"];
        FakeSetLastError(6);  // ERROR_INVALID_HANDLE
        return FALSE;
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
    if (module == FakeModule(1) && name == "SetDefaultDllDirectories" && kernel.hasSetDefaultDllDirectories)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetDefaultDllDirectories));
    if (module == FakeModule(1) && name == "SetProcessMitigationPolicy" && kernel.hasSetProcessMitigationPolicy)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FakeSetProcessMitigationPolicy));
    FakeSetLastError(127);  // ERROR_PROC_NOT_FOUND
    return nullptr;
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
    FakeHandleOpened("find");
    return listings.Open(std::move(listing));
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData) {
    Listing* const listing = listings.Find(findFile);
    if (listing == nullptr) {
        FakeSetLastError(6);  // ERROR_INVALID_HANDLE
        return FALSE;
    }
    if (listing->next >= listing->names.size()) {
        FakeSetLastError(kernel.endError);
        return FALSE;
    }
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
    if (IsFolder(fileName)) return FILE_ATTRIBUTE_DIRECTORY;
    // The installer's packages are files too.
    if (kernel.files.count(fileName) != 0 || TheFakeMsi().packages.count(fileName) != 0) return FILE_ATTRIBUTE_NORMAL;
    FakeSetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}

// Every path the tests give is a full one.
DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR*) {
    const auto length = static_cast<DWORD>(std::wcslen(fileName));
    if (length + 1 > bufferLength) return length + 1;
    std::wmemcpy(buffer, fileName, length + 1);
    return length;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES attributes) {
    const std::wstring sddl = *static_cast<const std::wstring*>(attributes->lpSecurityDescriptor);
    FakeRecordCall(L"CreateDirectoryW(" + FakeQuoted(pathName) + L", " + FakeQuoted(sddl.c_str()) + L")");
    const auto junction = kernel.junctions.find(pathName);
    const std::wstring made = junction == kernel.junctions.end() ? pathName : junction->second;
    const auto refused = kernel.createErrors.find(made);
    const bool taken = kernel.madeFolders.count(made) != 0 || kernel.files.count(made) != 0;
    if (refused != kernel.createErrors.end() || taken) {
        FakeSetLastError(taken ? ERROR_ALREADY_EXISTS : refused->second);
        return FALSE;
    }
    kernel.madeFolders[made] = sddl;
    return TRUE;
}

// The security descriptor is its SDDL text, which a folder made with it records.
BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD, PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG) {
    FakeRecordCall(L"ConvertStringSecurityDescriptorToSecurityDescriptorW(" + FakeQuoted(text) + L")");
    if (kernel.securityDescriptorError != 0) {
        FakeSetLastError(kernel.securityDescriptorError);
        return FALSE;
    }
    const auto sddl = std::make_shared<std::wstring>(text);
    *descriptor = sddl.get();
    FakeLocalKeep(sddl.get(), sddl);
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
