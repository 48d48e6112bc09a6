// Fake kernel32: clock, process architecture, last error, files.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake/fake_platform.h"

// An entry of a DACL (type, flags, access mask, SID), and what
// GetSecurityInfo gives for an object: by default, Administrators own it,
// SYSTEM and they have full control, Users read and execute.
struct FakeAce {
    BYTE type, flags;
    ACCESS_MASK mask;
    std::wstring sid;
};
struct FakeSecurity {
    std::wstring owner = L"S-1-5-32-544";
    bool hasDacl = true;
    std::vector<FakeAce> dacl{{0, 0, 0x1F01FF, L"S-1-5-18"}, {0, 0, 0x1F01FF, L"S-1-5-32-544"}, {0, 0, 0x1200A9, L"S-1-5-32-545"}};
};

struct FakeKernel {
    DWORD tickCount = 0x0A3F;
    SYSTEMTIME localTime{2026, 12, 0, 6, 4, 10, 36, 0};

    BOOL isWow64Result = TRUE;
    DWORD isWow64Error = 0;
    BOOL wow64Flag = FALSE;

    DWORD lastError = 0;

    // The Windows directory GetWindowsDirectoryW reports. Scripted results
    // (e.g. 0 for failure) are returned first, one per call, writing nothing
    // into the buffer; after them the call answers from windowsDirectory.
    std::wstring windowsDirectory = L"C:\\windows";
    std::vector<UINT> windowsDirectoryResults;
    DWORD windowsDirectoryError = 0;  // the last error a scripted 0 leaves

    // The working directory GetCurrentDirectoryW reports; a non-zero
    // currentDirectoryError makes the call fail with it.
    std::wstring currentDirectory = L"C:\\run";
    DWORD currentDirectoryError = 0;

    // DLL loading: whether kernel32 has SetDefaultDllDirectories (Windows 7
    // without its update has not), what that returns, the system directory.
    bool hasSetDefaultDllDirectories = true;
    BOOL setDefaultDllDirectoriesResult = TRUE;
    std::wstring systemDirectory = L"C:\\windows\\system32";

    // Folders FindFirstFileW lists (by full path, without a final
    // backslash): the names in them, in the order the file system gives.
    // A non-zero listError makes FindFirstFileW fail with it; endError is
    // what FindNextFileW gives after the last name.
    std::map<std::wstring, std::vector<std::wstring>> folders;
    DWORD listError = 0;
    DWORD endError = ERROR_NO_MORE_FILES;

    // Process mitigations: whether kernel32 has SetProcessMitigationPolicy
    // (Windows 7 has not), what it returns, and the policies it was given
    // (policy number -> flags).
    bool hasSetProcessMitigationPolicy = true;
    BOOL setProcessMitigationPolicyResult = TRUE;
    std::map<int, DWORD> mitigations;

    // Files, by the name the program gives (a full path, or a bare name in
    // the working directory), with their content: what CreateFileW finds and
    // makes, ReadFile reads and WriteFile adds to. A name in createErrors
    // cannot be created (a folder that refuses writing); one in writeErrors
    // takes no writes.
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, DWORD> createErrors;
    std::map<std::wstring, DWORD> writeErrors;
    // A file swapped for another after it was looked at: the content it has
    // once CreateFileW opens it.
    std::map<std::wstring, std::string> contentOnOpen;
    // Another process at work meanwhile: when the program creates the first
    // name, a file appears under the second, with that content.
    std::map<std::wstring, std::pair<std::wstring, std::string>> othersCreate;
    // What GetFinalPathNameByHandleW gives for a name that leads elsewhere; a
    // bare name is in the working directory, whose entry here says where it
    // really is.
    std::map<std::wstring, std::wstring> finalPaths;

    // Who owns a file or folder and its DACL, by name (others: the default).
    std::map<std::wstring, FakeSecurity> security;
    std::wstring processUser = L"S-1-5-21-1004336348-1177238915-682003330-500";

    // What GetCommandLineW gives (RunProgram is handed its arguments apart).
    std::wstring commandLine = L"\"C:\\Kit Folder\\NrvDriverCleanupx64.exe\" /quiet";
};

FakeKernel& TheFakeKernel();

// Sets the value the next GetLastError returns (the fakes of the other
// groups call this when one of their operations fails).
void FakeSetLastError(DWORD error);

// Handles CloseHandle closes: the name a file or folder was opened by (null
// for no such handle), and handles of other kinds (a token), counted apart.
const std::wstring* FakeOpenName(HANDLE handle);
HANDLE FakeOpenOther(const std::wstring& name, const std::string& kind);

// Memory the platform hands out and LocalFree gives back: owner is kept
// until LocalFree is given address.
void FakeLocalKeep(const void* address, std::shared_ptr<void> owner);
