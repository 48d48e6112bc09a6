// A platform whose every answer comes from the fuzzer's bytes. It writes
// every buffer to the full capacity the program passes (so AddressSanitizer
// catches a size that does not match its buffer), sometimes fills a buffer
// without a terminator, and traps on any handle misuse.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "devices/driver_packages.h"
#include "fuzz/fuzz_handles.h"
#include "fuzz/fuzz_input.h"
#include "platform/platform.h"

namespace {

DWORD lastError = 0;

[[noreturn]] void Fault(const char* what) {
    std::fprintf(stderr, "platform misuse: %s\n", what);
    std::abort();
}

// Bounds every enumeration so that a run always ends.
constexpr int kMaxItems = 6;

bool changesForbidden = false;

void Changing(const char* what) {
    if (changesForbidden) Fault(what);
}

// Fails one call in odds, with a code of the fuzzer's.
bool Fails(std::uint8_t odds) {
    if (!FuzzChance(odds)) return false;
    lastError = FuzzCode();
    return true;
}

std::map<std::uintptr_t, int> fetchesPerView;
std::map<std::uintptr_t, int> membersPerSet;

// Writes text into a buffer of capacity units: as much as fits, a
// terminator when there is room (or, by the fuzzer's choice, none when the
// text fills the buffer), then filler up to the end.
void WriteUnits(wchar_t* buffer, std::size_t capacity, const std::wstring& text,
                bool allowUnterminated) {
    if (capacity == 0) return;
    std::size_t written = 0;
    const bool unterminated = allowUnterminated && text.size() >= capacity;
    const std::size_t room = unterminated ? capacity : capacity - 1;
    for (; written < text.size() && written < room; ++written) buffer[written] = text[written];
    if (written < capacity) buffer[written++] = L'\0';
    for (; written < capacity; ++written) buffer[written] = L'Z';
}

std::wstring ProductCode() {
    static const wchar_t* const codes[] = {
        L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}", L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}",
        L"{11111111-2222-3333-4444-555555555555}", L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"};
    return codes[FuzzByte() % 4];
}

}  // namespace

void FuzzForbidChanges(bool forbid) { changesForbidden = forbid; }

void ResetFuzzPlatform() {
    lastError = 0;
    changesForbidden = false;
    fetchesPerView.clear();
    membersPerSet.clear();
    ResetFuzzHandles();
}

// kernel32
DWORD GetTickCount() { return 0x0A3F; }
void GetLocalTime(LPSYSTEMTIME systemTime) { *systemTime = SYSTEMTIME{2026, 12, 0, 6, 4, 10, 36, 0}; }
HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }
BOOL IsWow64Process(HANDLE, PBOOL wow64Process) {
    if (FuzzChance(32)) {
        lastError = FuzzCode();
        return FALSE;
    }
    *wow64Process = FuzzChance(32) ? TRUE : FALSE;
    return TRUE;
}
DWORD GetLastError() { return lastError; }
BOOL DeleteFileW(LPCWSTR fileName) {
    Changing("a file deleted while only looking");
    std::string narrow;
    for (; *fileName != L'\0'; ++fileName) narrow.push_back(static_cast<char>(*fileName));
    return std::remove(narrow.c_str()) == 0 ? TRUE : FALSE;
}
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    if (FuzzChance(16)) return 0;
    const std::wstring directory = L"C:\\" + FuzzText();
    const auto length = static_cast<UINT>(directory.size());
    if (length + 1 > size) return length + 1;
    WriteUnits(buffer, size, directory, false);
    return length;
}
// Start-up is not fuzzed: no function is looked up.
HMODULE GetModuleHandleW(LPCWSTR) { return nullptr; }
FARPROC GetProcAddress(HMODULE, LPCSTR) { return nullptr; }
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    if (fileName == nullptr) Fault("a file with no name");
    if (creationDisposition == OPEN_EXISTING) {
        if ((desiredAccess & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0) Fault("a file written that was there before");
    } else {
        Changing("a file created while only looking");
        // Anything else could open what is already there: a planted link.
        if (creationDisposition != CREATE_NEW) Fault("a file written that may have been there before");
        if ((flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) == 0) Fault("a new file made through a link");
        if ((shareMode & FILE_SHARE_DELETE) != 0) Fault("a written file whose name can be swapped");
    }
    if (FuzzChance(8)) {
        lastError = FuzzChance(2) ? ERROR_FILE_EXISTS : FuzzCode();
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = FuzzOpenPointerHandle(FuzzHandleKind::File);
    membersPerSet[reinterpret_cast<std::uintptr_t>(file)] = FuzzByte() % kMaxItems;
    return file;
}
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, LPDWORD numberOfBytesRead, LPOVERLAPPED) {
    if (!FuzzPointerHandleIs(file, FuzzHandleKind::File)) Fault("a read from a file not open");
    if (buffer == nullptr || numberOfBytesRead == nullptr) Fault("a read into no buffer");
    if (FuzzChance(16)) {
        lastError = FuzzCode();
        return FALSE;
    }
    int& left = membersPerSet[reinterpret_cast<std::uintptr_t>(file)];
    const DWORD count = left-- > 0 && !FuzzExhausted() ? numberOfBytesToRead - FuzzByte() % 2 : 0;
    std::memset(buffer, 'L', count);
    *numberOfBytesRead = count;
    return TRUE;
}
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite, LPDWORD numberOfBytesWritten,
               LPOVERLAPPED) {
    if (!FuzzPointerHandleIs(file, FuzzHandleKind::File)) Fault("a write to a file not open");
    if (buffer == nullptr || numberOfBytesWritten == nullptr) Fault("a write from no buffer");
    if (FuzzChance(16)) {
        lastError = FuzzCode();
        return FALSE;
    }
    *numberOfBytesWritten = numberOfBytesToWrite;
    return TRUE;
}
BOOL CloseHandle(HANDLE object) {
    if (!FuzzClosePointerHandle(object, FuzzHandleKind::File)) Fault("CloseHandle of a file not open");
    membersPerSet.erase(reinterpret_cast<std::uintptr_t>(object));
    return TRUE;
}
BOOL SetCurrentDirectoryW(LPCWSTR pathName) {
    Changing("the working directory changed while only looking");
    if (pathName == nullptr) Fault("no folder");
    return FALSE;  // the run then has no log: the fuzzed run stays in its folder
}
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData) {
    if (fileName == nullptr || findFileData == nullptr) Fault("file search with no pattern");
    if (FuzzChance(8)) {
        lastError = FuzzChance(2) ? ERROR_FILE_NOT_FOUND : FuzzCode();
        return INVALID_HANDLE_VALUE;
    }
    WriteUnits(findFileData->cFileName, MAX_PATH, FuzzChance(2) ? FuzzText() : L"oem" + std::to_wstring(FuzzByte()) + L".inf", FuzzChance(8));
    HANDLE search = FuzzOpenPointerHandle(FuzzHandleKind::FileSearch);
    membersPerSet[reinterpret_cast<std::uintptr_t>(search)] = FuzzByte() % kMaxItems;
    return search;
}
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData) {
    if (!FuzzPointerHandleIs(findFile, FuzzHandleKind::FileSearch)) Fault("search on a closed handle");
    int& left = membersPerSet[reinterpret_cast<std::uintptr_t>(findFile)];
    if (left <= 0 || FuzzExhausted()) {
        lastError = FuzzChance(4) ? FuzzCode() : ERROR_NO_MORE_FILES;
        return FALSE;
    }
    --left;
    WriteUnits(findFileData->cFileName, MAX_PATH, FuzzChance(2) ? FuzzText() : L"oem" + std::to_wstring(FuzzByte()) + L".inf", FuzzChance(8));
    return TRUE;
}
BOOL FindClose(HANDLE findFile) {
    if (!FuzzClosePointerHandle(findFile, FuzzHandleKind::FileSearch)) Fault("FindClose of a search not open");
    membersPerSet.erase(reinterpret_cast<std::uintptr_t>(findFile));
    return TRUE;
}
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    if (bufferLength != 0 && buffer == nullptr) Fault("working directory into no buffer");
    if (FuzzChance(16)) {
        lastError = FuzzCode();
        return 0;
    }
    const std::wstring directory = L"C:\\" + FuzzText();
    const auto length = static_cast<DWORD>(directory.size());
    if (length + 1 > bufferLength) return length + 1;
    WriteUnits(buffer, bufferLength, directory, false);
    return length;
}

// The /packages: folder is there: a missing one ends the run before it starts.
DWORD GetFileAttributesW(LPCWSTR fileName) {
    if (fileName == nullptr) Fault("attributes of no file");
    return FILE_ATTRIBUTE_DIRECTORY;
}
DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR*) {
    const std::wstring path = fileName;
    if (path.size() + 1 > bufferLength) return static_cast<DWORD>(path.size() + 1);
    WriteUnits(buffer, bufferLength, path, false);
    return static_cast<DWORD>(path.size());
}
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES attributes) {
    Changing("a folder made while only looking");
    if (pathName == nullptr || attributes == nullptr || attributes->lpSecurityDescriptor == nullptr)
        Fault("a folder made without its own protection");
    return Fails(4) ? FALSE : TRUE;
}
BOOL RemoveDirectoryW(LPCWSTR pathName) {
    Changing("a folder removed while only looking");
    if (pathName == nullptr) Fault("no folder to remove");
    return Fails(8) ? FALSE : TRUE;
}
HLOCAL LocalFree(HLOCAL memory) {
    if (!FuzzCloseMemory(memory)) Fault("LocalFree of memory not allocated");
    return nullptr;
}

// msi
INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL, HWND*) {
    Changing("installer user interface set while only looking");
    return INSTALLUILEVEL_NONE;
}

UINT MsiEnumRelatedProductsW(LPCWSTR, DWORD, DWORD productIndex, LPWSTR productBuffer) {
    if (productIndex >= kMaxItems || FuzzExhausted()) return ERROR_NO_MORE_ITEMS;
    const UINT code = FuzzChance(3) ? FuzzCode() : 0;
    if (code == 0) WriteUnits(productBuffer, 39, ProductCode(), false);
    return code;
}

UINT MsiGetProductInfoW(LPCWSTR, LPCWSTR, LPWSTR valueBuffer, LPDWORD valueSize) {
    const UINT code = FuzzChance(4) ? FuzzCode() : 0;
    if (code != 0) return code;
    const std::wstring path = FuzzText();
    if (FuzzChance(8)) {  // a hostile answer: a full buffer without terminator
        WriteUnits(valueBuffer, *valueSize, std::wstring(*valueSize, L'p'), true);
        return 0;
    }
    if (path.size() >= *valueSize) {
        WriteUnits(valueBuffer, *valueSize, path, false);
        *valueSize = static_cast<DWORD>(path.size());
        return ERROR_MORE_DATA;
    }
    WriteUnits(valueBuffer, *valueSize, path, false);
    *valueSize = static_cast<DWORD>(path.size());
    return 0;
}

UINT MsiOpenDatabaseW(LPCWSTR, LPCWSTR persist, MSIHANDLE* database) {
    if (persist != MSIDBOPEN_READONLY) Changing("package database opened to change while only looking");
    if (persist != MSIDBOPEN_TRANSACT && persist != MSIDBOPEN_READONLY) Fault("database neither transacted nor read-only");
    const UINT code = FuzzChance(6) ? FuzzCode() : 0;
    if (code == 0) *database = FuzzOpenMsiHandle(FuzzHandleKind::Database);
    return code;
}

UINT MsiCloseHandle(MSIHANDLE handle) {
    if (!FuzzCloseMsiHandle(handle)) Fault("MsiCloseHandle of a handle that is not open");
    fetchesPerView.erase(handle);
    return 0;
}

UINT MsiEnableLogW(DWORD logMode, LPCWSTR logFile, DWORD) {
    Changing("installer log started while only looking");
    if (logFile == nullptr && logMode != 0) Fault("no installer log name");
    return FuzzChance(8) ? FuzzCode() : 0;
}

UINT MsiInstallProductW(LPCWSTR packagePath, LPCWSTR commandLine) {
    Changing("uninstall while only looking");
    if (packagePath == nullptr || commandLine == nullptr) Fault("null argument to the uninstall");
    // With no user interface, an uninstall that may restart would restart
    // the computer in the middle of the run.
    if (std::wstring(commandLine) != L"REMOVE=ALL REBOOT=ReallySuppress") Fault("uninstall may restart");
    return FuzzChance(2) ? FuzzCode() : 0;
}

UINT MsiDatabaseOpenViewW(MSIHANDLE database, LPCWSTR query, MSIHANDLE* view) {
    if (!FuzzMsiHandleIs(database, FuzzHandleKind::Database)) Fault("view on a closed database");
    if (query == nullptr) Fault("null query");
    const UINT code = FuzzChance(8) ? FuzzCode() : 0;
    if (code == 0) *view = FuzzOpenMsiHandle(FuzzHandleKind::View);
    return code;
}

UINT MsiViewExecute(MSIHANDLE view, MSIHANDLE record) {
    if (!FuzzMsiHandleIs(view, FuzzHandleKind::View)) Fault("execute of a closed view");
    if (record != 0 && !FuzzMsiHandleIs(record, FuzzHandleKind::Record))
        Fault("execute with a closed record");
    return FuzzChance(8) ? FuzzCode() : 0;
}

UINT MsiViewFetch(MSIHANDLE view, MSIHANDLE* record) {
    if (!FuzzMsiHandleIs(view, FuzzHandleKind::View)) Fault("fetch from a closed view");
    if (++fetchesPerView[view] > kMaxItems || FuzzExhausted()) return ERROR_NO_MORE_ITEMS;
    const UINT code = FuzzChance(3) ? FuzzCode() : 0;
    if (code == 0) *record = FuzzOpenMsiHandle(FuzzHandleKind::Record);
    return code;
}

UINT MsiRecordGetStringW(MSIHANDLE record, UINT, LPWSTR valueBuffer, LPDWORD valueSize) {
    if (!FuzzMsiHandleIs(record, FuzzHandleKind::Record)) Fault("read from a closed record");
    const UINT code = FuzzChance(8) ? FuzzCode() : 0;
    if (code != 0 && code != ERROR_MORE_DATA) return code;
    const std::wstring text = FuzzText();
    if (FuzzChance(8)) {  // a hostile answer: a full buffer without terminator
        WriteUnits(valueBuffer, *valueSize, std::wstring(*valueSize, L'r'), true);
        return 0;
    }
    WriteUnits(valueBuffer, *valueSize, text, false);
    const bool fits = text.size() < *valueSize;
    *valueSize = static_cast<DWORD>(text.size());
    return fits ? 0 : ERROR_MORE_DATA;
}

MSIHANDLE MsiCreateRecord(UINT) {
    return FuzzChance(16) ? 0 : FuzzOpenMsiHandle(FuzzHandleKind::Record);
}

UINT MsiRecordSetStringW(MSIHANDLE record, UINT, LPCWSTR value) {
    if (!FuzzMsiHandleIs(record, FuzzHandleKind::Record)) Fault("write to a closed record");
    if (value == nullptr) Fault("null record value");
    return FuzzChance(16) ? FuzzCode() : 0;
}

UINT MsiDatabaseCommit(MSIHANDLE database) {
    if (!FuzzMsiHandleIs(database, FuzzHandleKind::Database)) Fault("commit of a closed database");
    return FuzzChance(4) ? FuzzCode() : 0;
}

UINT MsiGetSummaryInformationW(MSIHANDLE database, LPCWSTR path, UINT updateCount, MSIHANDLE* summaryInfo) {
    if (!FuzzMsiHandleIs(database, FuzzHandleKind::Database) || path != nullptr || updateCount != 0)
        Fault("summary of a closed database, or opened to change");
    if (Fails(8)) return lastError;
    *summaryInfo = FuzzOpenMsiHandle(FuzzHandleKind::Summary);
    return 0;
}

UINT MsiSummaryInfoGetPropertyW(MSIHANDLE summaryInfo, UINT, PUINT dataType, int* value, FILETIME* fileTime,
                                LPWSTR valueBuffer, LPDWORD valueSize) {
    if (!FuzzMsiHandleIs(summaryInfo, FuzzHandleKind::Summary) || dataType == nullptr || value == nullptr ||
        fileTime == nullptr)
        Fault("summary property read from a closed summary or into no buffer");
    const std::wstring text = FuzzChance(2) ? ProductCode() : FuzzText();
    WriteUnits(valueBuffer, *valueSize, text, false);
    const bool fits = text.size() < *valueSize;
    *valueSize = static_cast<DWORD>(text.size());
    return Fails(8) ? lastError : fits ? 0 : ERROR_MORE_DATA;
}

// setupapi
HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND, DWORD flags) {
    if (classGuid != nullptr || enumerator == nullptr ||
        (flags != DIGCF_ALLCLASSES && flags != (DIGCF_ALLCLASSES | DIGCF_PRESENT)))
        Fault("device set asked for with other arguments");
    if (FuzzChance(8)) {
        lastError = FuzzCode();
        return INVALID_HANDLE_VALUE;
    }
    HDEVINFO set = FuzzOpenPointerHandle(FuzzHandleKind::DeviceSet);
    membersPerSet[reinterpret_cast<std::uintptr_t>(set)] = FuzzByte() % (kMaxItems + 1);
    return set;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, PSP_DEVINFO_DATA data) {
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("enumeration of a closed set");
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) Fault("device record of the wrong size");
    const int members = membersPerSet[reinterpret_cast<std::uintptr_t>(set)];
    if (memberIndex >= static_cast<DWORD>(members) || FuzzExhausted()) {
        lastError = FuzzChance(4) ? FuzzCode() : ERROR_NO_MORE_ITEMS;
        if (lastError == 0) lastError = ERROR_NO_MORE_ITEMS;
        return FALSE;
    }
    data->ClassGuid = GUID{FuzzByte() * 0x01010101u, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    data->DevInst = FuzzByte();
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO set, PSP_DEVINFO_DATA, PWSTR deviceInstanceId,
                                 DWORD deviceInstanceIdSize, PDWORD) {
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("query on a closed set");
    if (FuzzChance(4)) {
        lastError = FuzzCode();
        return FALSE;
    }
    WriteUnits(deviceInstanceId, deviceInstanceIdSize, L"USB\\VID_7F3A&PID_0031\\" + FuzzText(),
               FuzzChance(4));
    return TRUE;
}

BOOL SetupDiGetDevicePropertyW(HDEVINFO set, PSP_DEVINFO_DATA, const DEVPROPKEY*,
                               DEVPROPTYPE* propertyType, PBYTE propertyBuffer,
                               DWORD propertyBufferSize, PDWORD, DWORD flags) {
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("query on a closed set");
    if (flags != 0) Fault("property flags");
    if (FuzzChance(4)) {
        lastError = FuzzCode();
        return FALSE;
    }
    *propertyType = FuzzByte();
    // Every byte of the buffer is written, whatever its element type.
    std::wstring text = FuzzText();
    const std::size_t units = propertyBufferSize / sizeof(wchar_t);
    std::memset(propertyBuffer, 'B', propertyBufferSize);
    WriteUnits(reinterpret_cast<wchar_t*>(propertyBuffer), units, text, FuzzChance(4));
    return TRUE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION installFunction, HDEVINFO set, PSP_DEVINFO_DATA data) {
    Changing("class installer called while only looking");
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("removal on a closed set");
    if (installFunction != DIF_REMOVE || data == nullptr) Fault("class installer asked for other");
    if (FuzzChance(3)) {
        lastError = FuzzCode();
        return FALSE;
    }
    return TRUE;
}

BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data,
                                    PSP_DEVINSTALL_PARAMS_W params) {
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("query on a closed set");
    if (data == nullptr || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_W))
        Fault("install parameters asked for with other arguments");
    if (FuzzChance(4)) {
        lastError = FuzzCode();
        return FALSE;
    }
    params->Flags = static_cast<DWORD>(FuzzByte()) << 4;  // DI_NEEDRESTART and DI_NEEDREBOOT among them
    return TRUE;
}

BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data, PSP_DEVINSTALL_PARAMS_W params) {
    Changing("install parameters set while only looking");
    if (!FuzzPointerHandleIs(set, FuzzHandleKind::DeviceSet)) Fault("parameters set on a closed set");
    if (data == nullptr || params->cbSize != sizeof(SP_DEVINSTALL_PARAMS_W) || (params->Flags & DI_QUIETINSTALL) == 0)
        Fault("install parameters set with other arguments");
    if (FuzzChance(4)) {
        lastError = FuzzCode();
        return FALSE;
    }
    return TRUE;
}

BOOL SetupSetNonInteractiveMode(BOOL nonInteractiveFlag) {
    if (nonInteractiveFlag != TRUE) Fault("interactive mode asked for");
    return FuzzChance(2) ? TRUE : FALSE;
}

// Any status and problem, the removal pending among them (DN_WILL_BE_REMOVED,
// problem 21), or a failure.
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST, ULONG flags) {
    if (status == nullptr || problem == nullptr || flags != 0) Fault("status asked for with other arguments");
    if (FuzzChance(4)) return FuzzByte();
    *status = FuzzChance(4) ? DN_WILL_BE_REMOVED : static_cast<ULONG>(FuzzByte()) << 10;  // DN_HAS_PROBLEM among them
    *problem = FuzzChance(2) ? CM_PROB_WILL_BE_REMOVED : FuzzByte();
    return CR_SUCCESS;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (!FuzzClosePointerHandle(set, FuzzHandleKind::DeviceSet)) Fault("destroy of a set not open");
    membersPerSet.erase(reinterpret_cast<std::uintptr_t>(set));
    return TRUE;
}

BOOL SetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved) {
    Changing("driver package removed while only looking");
    if (infFileName == nullptr || flags != SUOI_FORCEDELETE || reserved != nullptr)
        Fault("driver package removal asked for with other arguments");
    if (!IsOemInfName(infFileName)) Fault("a package of Windows itself handed to the store removal");
    if (FuzzChance(3)) {
        lastError = FuzzCode();
        return FALSE;
    }
    return TRUE;
}

HINF SetupOpenInfFileW(PCWSTR fileName, PCWSTR infClass, DWORD infStyle, PUINT errorLine) {
    if (fileName == nullptr || infClass != nullptr || infStyle != INF_STYLE_WIN4 || errorLine != nullptr)
        Fault("INF opened with other arguments");
    if (FuzzChance(6)) {
        lastError = FuzzCode();
        return INVALID_HANDLE_VALUE;
    }
    HINF inf = FuzzOpenPointerHandle(FuzzHandleKind::Inf);
    membersPerSet[reinterpret_cast<std::uintptr_t>(inf)] = 0;
    return inf;
}

void SetupCloseInfFile(HINF infHandle) {
    if (!FuzzClosePointerHandle(infHandle, FuzzHandleKind::Inf)) Fault("SetupCloseInfFile of an INF not open");
    membersPerSet.erase(reinterpret_cast<std::uintptr_t>(infHandle));
}

// A context's Line counts the lines read in its section, so that sections end.
BOOL SetupFindFirstLineW(HINF infHandle, PCWSTR section, PCWSTR key, PINFCONTEXT context) {
    if (!FuzzPointerHandleIs(infHandle, FuzzHandleKind::Inf)) Fault("line of an INF not open");
    if (section == nullptr || key != nullptr || context == nullptr) Fault("line asked for with other arguments");
    // Bounds the sections one INF yields, so that a run always ends.
    if (++membersPerSet[reinterpret_cast<std::uintptr_t>(infHandle)] > kMaxItems * 4 || FuzzChance(3)) {
        lastError = static_cast<DWORD>(ERROR_LINE_NOT_FOUND);
        return FALSE;
    }
    *context = INFCONTEXT{infHandle, infHandle, 0, 0};
    return TRUE;
}

BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
    if (contextIn == nullptr || contextOut == nullptr || !FuzzPointerHandleIs(contextIn->Inf, FuzzHandleKind::Inf))
        Fault("next line of an INF not open");
    if (contextIn->Line + 1 >= static_cast<UINT>(kMaxItems) || FuzzChance(2)) {
        lastError = static_cast<DWORD>(ERROR_LINE_NOT_FOUND);
        return FALSE;
    }
    *contextOut = *contextIn;
    ++contextOut->Line;
    return TRUE;
}

BOOL SetupGetStringFieldW(PINFCONTEXT context, DWORD fieldIndex, PWSTR returnBuffer,
                          DWORD returnBufferSize, PDWORD) {
    if (context == nullptr || !FuzzPointerHandleIs(context->Inf, FuzzHandleKind::Inf)) Fault("field of an INF not open");
    if (returnBuffer == nullptr || returnBufferSize == 0) Fault("field into no buffer");
    if (fieldIndex > 8 || FuzzExhausted() || FuzzChance(4)) {
        lastError = !FuzzExhausted() && FuzzChance(3) ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    static const wchar_t* const ids[] = {L"USB\\VID_7F3A&PID_0031", L"usb\\vid_7f3a&pid_8064&rev_0001",
                                         L"USB\\VID_04A9&PID_0031", L"Models", L"NTamd64"};
    const std::wstring field = FuzzChance(2) ? ids[FuzzByte() % 5] : FuzzText();
    WriteUnits(returnBuffer, returnBufferSize, field, FuzzChance(8));
    return TRUE;
}

// ole32
HRESULT StringFromCLSID(REFCLSID, LPOLESTR* text) {
    if (FuzzChance(8)) return static_cast<HRESULT>(FuzzCode() | 0x80000000u);
    const std::wstring value = FuzzChance(2) ? L"{01010101-1234-5678-0102-030405060708}" : FuzzText();
    auto* copy = static_cast<wchar_t*>(FuzzOpenMemory((value.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(copy, value.c_str(), value.size() + 1);
    *text = copy;
    return S_OK;
}

void CoTaskMemFree(LPVOID memory) {
    if (!FuzzCloseMemory(memory)) Fault("CoTaskMemFree of memory not allocated");
}

// advapi32
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if ((access & KEY_SET_VALUE) != 0) Changing("registry key opened to change while only looking");
    if (key != HKEY_LOCAL_MACHINE || subKey == nullptr) Fault("registry key asked for with other");
    const LONG status = FuzzChance(2) ? static_cast<LONG>(FuzzCode()) : 0;
    if (status == 0) *result = static_cast<HKEY>(FuzzOpenPointerHandle(FuzzHandleKind::RegistryKey));
    return status;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD, LPBYTE data, LPDWORD dataSize) {
    if (!FuzzPointerHandleIs(key, FuzzHandleKind::RegistryKey)) Fault("query in a closed key");
    if (valueName == nullptr || data != nullptr || dataSize != nullptr) Fault("value asked for with other arguments");
    return FuzzChance(2) ? static_cast<LONG>(FuzzCode()) : 0;
}

LONG RegDeleteKeyValueW(HKEY key, LPCWSTR, LPCWSTR valueName) {
    Changing("registry value deleted while only looking");
    if (!FuzzPointerHandleIs(key, FuzzHandleKind::RegistryKey)) Fault("delete in a closed key");
    if (valueName == nullptr) Fault("no value name");
    return FuzzChance(2) ? static_cast<LONG>(FuzzCode()) : 0;
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR text, DWORD revision,
                                                          PSECURITY_DESCRIPTOR* descriptor, PULONG) {
    // Protected (P): nothing inherited from a folder that others may write.
    if (text == nullptr || revision != SDDL_REVISION_1 || !std::wstring(text).starts_with(L"D:P("))
        Fault("a folder's access open to what its parent allows");
    if (Fails(16)) return FALSE;
    *descriptor = FuzzOpenMemory(20);
    return TRUE;
}

LONG RegCloseKey(HKEY key) {
    if (!FuzzClosePointerHandle(key, FuzzHandleKind::RegistryKey)) Fault("RegCloseKey of a key not open");
    return 0;
}
