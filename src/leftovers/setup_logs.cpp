#include "leftovers/setup_logs.h"

#include <string>

#include "platform/platform.h"
#include "platform/windows_directory.h"

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

}  // namespace

void CollectSetupLogs() {
    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) return;
    for (const auto& copy : kSetupLogCopies) {
        const std::wstring source = windowsDirectory + copy.sourceInWindowsDirectory;
        CopyFileW(source.c_str(), copy.destination, FALSE);
    }
}
