#include "run/dll_search.h"

#include <string>

#include "platform/kernel32_function.h"
#include "platform/platform.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD directoryFlags);

}  // namespace

void LimitDllSearchToSystemDirectory() {
    // Present on Windows 8 and later, and on Windows 7 only with update KB2533623.
    const auto setDefaultDllDirectories =
        FindKernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr &&
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;

    // Without it: the working directory leaves the search, and msi.dll is
    // loaded now by its full path. A module already loaded under a name is
    // the one a later load by that name gets, so the delay-load binds to
    // this one. It stays loaded for the whole run.
    SetDllDirectoryW(L"");
    wchar_t systemDirectory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(systemDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const std::wstring msiPath = std::wstring(systemDirectory, length) + L"\\msi.dll";
    LoadLibraryW(msiPath.c_str());
}
