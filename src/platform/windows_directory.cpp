#include "platform/windows_directory.h"

#include <vector>

#include "platform/platform.h"

// A result not smaller than the buffer is the size needed (terminator
// included) and nothing was written: read again with a buffer of that size.
std::wstring WindowsDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH);
    UINT length = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length);
        length = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length >= buffer.size()) return {};  // it grew in between: give up
    }
    return std::wstring(buffer.data(), length);
}
