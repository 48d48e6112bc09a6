// A stand-in for an msi.dll that an attacker planted beside the program or
// in its working directory. If it is ever loaded it leaves a marker file in
// the working directory.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE marker = CreateFileW(L"PLANTED_MSI_DLL_LOADED", GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
        if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) UINT WINAPI MsiSetInternalUI(UINT, HWND*) { return 0; }
