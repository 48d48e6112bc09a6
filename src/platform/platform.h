// The Windows operations the cleanup passes call, in one place.
//
// On Windows this is the SDK (mingw-w64 headers). Elsewhere it declares just
// the types, constants and functions the passes use, with the same names and
// shapes, so the pass code builds unchanged against a test implementation.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32

#include <windows.h>
#include <objbase.h>
#include <msi.h>
#include <msiquery.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <sddl.h>
#include <msidefs.h>
#include <aclapi.h>

#else  // !_WIN32

#define MAX_PATH 260

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using HRESULT = std::int32_t;
using ULONG_PTR = std::uintptr_t;
using WCHAR = wchar_t;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using PCWSTR = const wchar_t*;
using PWSTR = wchar_t*;
using LPOLESTR = wchar_t*;
using PBYTE = BYTE*;
using LPBYTE = BYTE*;
using PUINT = UINT*;
using PDWORD = DWORD*;
using LPDWORD = DWORD*;
using PBOOL = BOOL*;
using LPVOID = void*;
using LPCVOID = const void*;
using SIZE_T = std::size_t;
using PVOID = void*;
using HANDLE = void*;
using HWND = struct HWND__*;
using HKEY = struct HKEY__*;
using HMODULE = struct HINSTANCE__*;
using FARPROC = std::intptr_t (*)();
using LPCSTR = const char*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using MSIHANDLE = std::uint32_t;
using HDEVINFO = void*;
using DEVPROPTYPE = ULONG;
using DI_FUNCTION = UINT;
using PULONG = ULONG*;
using DEVINST = DWORD;
using CONFIGRET = DWORD;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using CLSID = GUID;
using REFCLSID = const CLSID&;

struct DEVPROPKEY {
    GUID fmtid;
    ULONG pid;
};

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVINSTALL_PARAMS_W {
    DWORD cbSize;
    DWORD Flags;
    DWORD FlagsEx;
    HWND hwndParent;
    PVOID InstallMsgHandler;
    PVOID InstallMsgHandlerContext;
    PVOID FileQueue;
    ULONG_PTR ClassInstallReserved;
    DWORD Reserved;
    // 16-bit units, as on Windows, so that the record has Windows' size here
    // too (wchar_t is 32 bits on this platform). The passes never read it.
    char16_t DriverPath[260];
};
using PSP_DEVINSTALL_PARAMS_W = SP_DEVINSTALL_PARAMS_W*;

using HINF = void*;
struct INFCONTEXT {
    PVOID Inf;
    PVOID CurrentInf;
    UINT Section;
    UINT Line;
};
using PINFCONTEXT = INFCONTEXT*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

using PSECURITY_DESCRIPTOR = void*;
using HLOCAL = void*;
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;
using PHANDLE = HANDLE*;

// Security: SIDs, ACLs and the entries in them, as Windows lays them out.
using PSID = void*;
using ACCESS_MASK = DWORD;
using SECURITY_INFORMATION = DWORD;
enum SE_OBJECT_TYPE { SE_FILE_OBJECT = 1 };
struct ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
};
using PACL = ACL*;
struct ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
};
struct ACCESS_ALLOWED_ACE {
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    DWORD SidStart;
};
enum TOKEN_INFORMATION_CLASS { TokenUser = 1 };
struct SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
};
struct TOKEN_USER {
    SID_AND_ATTRIBUTES User;
};

enum INSTALLUILEVEL { INSTALLUILEVEL_NONE = 2 };
enum MSIINSTALLCONTEXT {
    MSIINSTALLCONTEXT_USERMANAGED = 1,
    MSIINSTALLCONTEXT_USERUNMANAGED = 2,
    MSIINSTALLCONTEXT_MACHINE = 4,
    MSIINSTALLCONTEXT_ALL = 7
};
enum MSIPATCHSTATE { MSIPATCHSTATE_APPLIED = 1 };

#define WINAPI
#define TRUE 1
#define FALSE 0
#define S_OK ((HRESULT)0)
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_INVALID_DATA 13L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_MORE_DATA 234L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_NOT_FOUND 1168L
#define ERROR_INSTALL_FAILURE 1603L
#define ERROR_INSTALL_ALREADY_RUNNING 1618L
#define ERROR_WRONG_INF_STYLE 0xE0000100L
#define ERROR_SECTION_NOT_FOUND 0xE0000101L
#define ERROR_LINE_NOT_FOUND 0xE0000102L
#define ERROR_SUCCESS_REBOOT_INITIATED 1641L
#define ERROR_SUCCESS_REBOOT_REQUIRED 3010L
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define INVALID_HANDLE_VALUE ((HANDLE)(std::intptr_t)-1)
#define HKEY_LOCAL_MACHINE ((HKEY)(std::uintptr_t)0x80000002)
#define KEY_READ 0x20019
#define KEY_SET_VALUE 0x0002
#define REG_SZ 1
#define KEY_WOW64_32KEY 0x0200
#define MSIDBOPEN_READONLY ((LPCWSTR)(std::uintptr_t)0)
#define MSIDBOPEN_TRANSACT ((LPCWSTR)(std::uintptr_t)1)
// Added to a persist mode: the file is a patch package (msiquery.h's form).
#define MSIDBOPEN_PATCHFILE (32 / sizeof(*MSIDBOPEN_READONLY))
#define PID_REVNUMBER 9
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define INSTALLLOGMODE_VERBOSE 0x1000
#define INSTALLLOGMODE_PROPERTYDUMP 0x400
#define INSTALLLOGATTRIBUTES_APPEND 1
#define INSTALLLOGATTRIBUTES_FLUSHEACHLINE 2
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define INF_STYLE_WIN4 0x00000002
#define DIF_REMOVE 0x00000005
#define SUOI_FORCEDELETE 0x00000001
#define DI_NEEDRESTART 0x00000080
#define DI_NEEDREBOOT 0x00000100
#define DI_QUIETINSTALL 0x00800000
#define CR_SUCCESS 0x00000000
#define DN_HAS_PROBLEM 0x00000400
#define DN_WILL_BE_REMOVED 0x00040000
#define DN_NEED_RESTART 0x00000100
#define CM_PROB_NEED_RESTART 0x0000000E
#define CM_PROB_WILL_BE_REMOVED 0x00000015
#define ERROR_INF_IN_USE_BY_DEVICES 0xE000023D
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define FILE_APPEND_DATA 0x0004
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define FILE_WRITE_DATA 0x0002
#define DELETE 0x00010000
#define READ_CONTROL 0x00020000
#define WRITE_DAC 0x00040000
#define WRITE_OWNER 0x00080000
#define GENERIC_ALL 0x10000000
#define FILE_NAME_NORMALIZED 0x0
#define VOLUME_NAME_DOS 0x0
#define OWNER_SECURITY_INFORMATION 0x00000001
#define DACL_SECURITY_INFORMATION 0x00000004
#define ACCESS_ALLOWED_ACE_TYPE 0x0
#define ACCESS_ALLOWED_COMPOUND_ACE_TYPE 0x4
#define ACCESS_ALLOWED_OBJECT_ACE_TYPE 0x5
#define ACCESS_ALLOWED_CALLBACK_ACE_TYPE 0x9
#define ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE 0xB
#define INHERIT_ONLY_ACE 0x08
#define TOKEN_QUERY 0x0008

// kernel32
DWORD GetTickCount();
void GetLocalTime(LPSYSTEMTIME systemTime);
BOOL DeleteFileW(LPCWSTR fileName);
HANDLE GetCurrentProcess();
BOOL IsWow64Process(HANDLE process, PBOOL wow64Process);
DWORD GetLastError();
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, LPDWORD numberOfBytesRead,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite,
               LPDWORD numberOfBytesWritten, LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
HMODULE GetModuleHandleW(LPCWSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL SetDllDirectoryW(LPCWSTR pathName);
HMODULE LoadLibraryW(LPCWSTR fileName);
LPWSTR GetCommandLineW();
BOOL SetCurrentDirectoryW(LPCWSTR pathName);
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData);
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData);
BOOL FindClose(HANDLE findFile);
DWORD GetFileAttributesW(LPCWSTR fileName);
DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart);
HLOCAL LocalFree(HLOCAL memory);
DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR filePath, DWORD filePathSize, DWORD flags);
BOOL FlushFileBuffers(HANDLE file);
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);

// msi
INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL level, HWND* window);
UINT MsiEnumRelatedProductsW(LPCWSTR upgradeCode, DWORD reserved, DWORD productIndex,
                             LPWSTR productBuffer);
UINT MsiGetProductInfoW(LPCWSTR product, LPCWSTR property, LPWSTR valueBuffer,
                        LPDWORD valueSize);
UINT MsiOpenDatabaseW(LPCWSTR databasePath, LPCWSTR persist, MSIHANDLE* database);
UINT MsiCloseHandle(MSIHANDLE handle);
UINT MsiEnableLogW(DWORD logMode, LPCWSTR logFile, DWORD logAttributes);
UINT MsiInstallProductW(LPCWSTR packagePath, LPCWSTR commandLine);
UINT MsiDatabaseOpenViewW(MSIHANDLE database, LPCWSTR query, MSIHANDLE* view);
UINT MsiViewExecute(MSIHANDLE view, MSIHANDLE record);
UINT MsiViewFetch(MSIHANDLE view, MSIHANDLE* record);
UINT MsiRecordGetStringW(MSIHANDLE record, UINT field, LPWSTR valueBuffer, LPDWORD valueSize);
MSIHANDLE MsiCreateRecord(UINT params);
UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value);
UINT MsiDatabaseCommit(MSIHANDLE database);
UINT MsiGetSummaryInformationW(MSIHANDLE database, LPCWSTR databasePath, UINT updateCount,
                               MSIHANDLE* summaryInfo);
UINT MsiSummaryInfoGetPropertyW(MSIHANDLE summaryInfo, UINT property, PUINT dataType, int* value,
                                FILETIME* fileTime, LPWSTR valueBuffer, LPDWORD valueSize);
UINT MsiEnumPatchesExW(LPCWSTR productCode, LPCWSTR userSid, DWORD context, DWORD filter, DWORD index,
                       WCHAR patchCode[39], WCHAR targetProductCode[39], MSIINSTALLCONTEXT* targetProductContext,
                       LPWSTR targetUserSid, LPDWORD targetUserSidSize);
UINT MsiGetPatchInfoExW(LPCWSTR patchCode, LPCWSTR productCode, LPCWSTR userSid, MSIINSTALLCONTEXT context,
                        LPCWSTR property, LPWSTR value, LPDWORD valueSize);

// setupapi
HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                              DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO deviceInfoSet, DWORD memberIndex,
                           PSP_DEVINFO_DATA deviceInfoData);
HDEVINFO SetupDiCreateDeviceInfoList(const GUID* classGuid, HWND parent);
BOOL SetupDiOpenDeviceInfoW(HDEVINFO deviceInfoSet, PCWSTR deviceInstanceId, HWND parent, DWORD openFlags,
                            PSP_DEVINFO_DATA deviceInfoData);
BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                 PWSTR deviceInstanceId, DWORD deviceInstanceIdSize,
                                 PDWORD requiredSize);
BOOL SetupDiGetDevicePropertyW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                               const DEVPROPKEY* propertyKey, DEVPROPTYPE* propertyType,
                               PBYTE propertyBuffer, DWORD propertyBufferSize,
                               PDWORD requiredSize, DWORD flags);
BOOL SetupDiCallClassInstaller(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet,
                               PSP_DEVINFO_DATA deviceInfoData);
BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W deviceInstallParams);
BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W deviceInstallParams);
BOOL SetupSetNonInteractiveMode(BOOL nonInteractiveFlag);
// Configuration Manager, imported from setupapi.dll, which exports it too:
// one of the DLLs Windows always loads from the system directory.
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problemNumber, DEVINST devInst, ULONG flags);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO deviceInfoSet);
BOOL SetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved);
HINF SetupOpenInfFileW(PCWSTR fileName, PCWSTR infClass, DWORD infStyle, PUINT errorLine);
void SetupCloseInfFile(HINF infHandle);
BOOL SetupFindFirstLineW(HINF infHandle, PCWSTR section, PCWSTR key, PINFCONTEXT context);
BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut);
BOOL SetupGetStringFieldW(PINFCONTEXT context, DWORD fieldIndex, PWSTR returnBuffer,
                          DWORD returnBufferSize, PDWORD requiredSize);

// ole32
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
void CoTaskMemFree(LPVOID memory);

// advapi32
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM samDesired, PHKEY result);
LONG RegDeleteKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegCloseKey(HKEY key);
BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid);
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE objectType, SECURITY_INFORMATION securityInfo,
                      PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                      PSECURITY_DESCRIPTOR* securityDescriptor);
BOOL GetAce(PACL acl, DWORD aceIndex, LPVOID* ace);
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS tokenInformationClass,
                         LPVOID tokenInformation, DWORD tokenInformationLength, PDWORD returnLength);
HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName);
BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid,
                  WORD numStrings, DWORD dataSize, LPCWSTR* strings, LPVOID rawData);
BOOL DeregisterEventSource(HANDLE eventLog);

#endif  // _WIN32

// The device record's size is the one thing that differs between the two
// programs: the platform reads cbSize to tell which layout it was handed.
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 8 ? 32 : 28),
              "SP_DEVINFO_DATA must have the platform's record size");
static_assert(sizeof(SP_DEVINSTALL_PARAMS_W) == (sizeof(void*) == 8 ? 584 : 556),
              "SP_DEVINSTALL_PARAMS_W must have the platform's record size");

// The installer's name for the path of a product's cached package
// (INSTALLPROPERTY_LOCALPACKAGE; the mingw headers do not define it).
inline constexpr const wchar_t* kLocalPackageProperty = L"LocalPackage";
// The package code the installer recorded for an installed product
// (INSTALLPROPERTY_PACKAGECODE).
inline constexpr const wchar_t* kPackageCodeProperty = L"PackageCode";
