// A lean platform for the benchmarks: one hardware id whose device set holds
// a given number of nodes, each with an instance id, an INF name (from a
// given number of distinct names) and a version. Nothing is recorded.
#include <cstdio>
#include <cwchar>
#include <string>

#include "bench/bench_platform.h"
#include "platform/platform.h"

namespace {

BenchDevices devices;
DWORD lastError = 0;
int setToken = 0;

void Copy(wchar_t* buffer, std::size_t capacity, const wchar_t* text) {
    std::swprintf(buffer, capacity, L"%ls", text);
}

}  // namespace

void SetBenchDevices(BenchDevices wanted) { devices = wanted; }

DWORD GetTickCount() { return 0; }
void GetLocalTime(LPSYSTEMTIME systemTime) { *systemTime = SYSTEMTIME{2026, 12, 0, 6, 4, 10, 36, 0}; }
BOOL DeleteFileW(LPCWSTR) { return TRUE; }
HANDLE CreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return INVALID_HANDLE_VALUE;  // the benchmark writes no run log
}
BOOL CloseHandle(HANDLE) { return TRUE; }
DWORD GetLastError() { return lastError; }

HDEVINFO SetupDiGetClassDevsW(const GUID*, PCWSTR, HWND, DWORD) { return &setToken; }

BOOL SetupDiEnumDeviceInfo(HDEVINFO, DWORD memberIndex, PSP_DEVINFO_DATA data) {
    if (memberIndex >= devices.nodes) {
        lastError = ERROR_NO_MORE_ITEMS;
        return FALSE;
    }
    data->ClassGuid = GUID{0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}};
    data->DevInst = memberIndex;
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO, PSP_DEVINFO_DATA data, PWSTR buffer, DWORD size, PDWORD) {
    std::swprintf(buffer, size, L"USB\\VID_7F3A&PID_0031\\SN%08u", static_cast<unsigned>(data->DevInst));
    return TRUE;
}

BOOL SetupDiGetDevicePropertyW(HDEVINFO, PSP_DEVINFO_DATA data, const DEVPROPKEY* key,
                               DEVPROPTYPE* type, PBYTE buffer, DWORD size, PDWORD, DWORD) {
    *type = 0x12;  // DEVPROP_TYPE_STRING
    auto* text = reinterpret_cast<wchar_t*>(buffer);
    const std::size_t capacity = size / sizeof(wchar_t);
    if (key->pid == 5)
        std::swprintf(text, capacity, L"oem%u.inf", static_cast<unsigned>(data->DevInst % devices.infNames));
    else
        Copy(text, capacity, L"10.0.19041.1");
    return TRUE;
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA) { return TRUE; }
BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO, PSP_DEVINFO_DATA, PSP_DEVINSTALL_PARAMS_W params) {
    params->Flags = 0;
    return TRUE;
}
BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO, PSP_DEVINFO_DATA, PSP_DEVINSTALL_PARAMS_W) { return TRUE; }
BOOL SetupSetNonInteractiveMode(BOOL) { return FALSE; }
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST, ULONG) {
    *status = 0;
    *problem = 0;
    return CR_SUCCESS;
}
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO) { return TRUE; }
BOOL SetupUninstallOEMInfW(PCWSTR, DWORD, PVOID) { return TRUE; }

HRESULT StringFromCLSID(REFCLSID, LPOLESTR* text) {
    static wchar_t guid[] = L"{36FC9E60-C465-11CF-8056-444553540000}";
    *text = guid;
    return S_OK;
}
void CoTaskMemFree(LPVOID) {}
