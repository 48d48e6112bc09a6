#include "report/run_folder.h"

#include "platform/platform.h"

std::wstring RunFolderFile(const std::wstring& name) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);  // counts the NUL
    if (size == 0) return name;
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    // The folder changed between the two calls, or the call failed.
    if (length == 0 || length >= size) return name;
    folder.resize(length);
    if (folder.back() != L'\\') folder += L'\\';  // a drive's root ends in one
    return folder + name;
}
