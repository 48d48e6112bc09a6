#include "leftovers/setup_logs.h"

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct SetupLogCopy {
    const wchar_t* sourceInWindowsDirectory;
    const wchar_t* destination;  // relative: lands in the working directory
};

constexpr SetupLogCopy kSetupLogCopies[] = {
    {L"\\DPInst.log", L"DPInst.log"},
    {L"\\inf\\setupapi.dev.log", L"setupapi.dev.log"},
    {L"\\inf\\setupapi.setup.log", L"setupapi.setup.log"},
    {L"\\setupapi.log", L"setupapiXP.log"},
};

// The Windows directory, or "" when it cannot be read. A result not smaller
// than the buffer is the size needed (terminator included) and nothing was
// written: read again with a buffer of that size.
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

}  // namespace

void CollectSetupLogs() {
    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) return;
    for (const auto& copy : kSetupLogCopies) {
        const std::wstring source = windowsDirectory + copy.sourceInWindowsDirectory;
        CopyFileW(source.c_str(), copy.destination, FALSE);
    }
}
