#include "leftovers/setup_logs.h"

#include <string>

#include "platform/new_file.h"
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

// Copied through handles of its own rather than by CopyFileW, which writes
// through a link found under the destination name.
void CopySetupLog(const std::wstring& source, const wchar_t* destination) {
    const OwnedFile from = OpenFileToRead(source.c_str());
    if (!from) return;  // an older copy stays as it is
    bool copied = false;
    {
        const OwnedFile to = ReplaceWithNewFile(destination, GENERIC_WRITE);
        if (!to) return;
        copied = CopyFileContent(from.get(), to.get());
    }
    if (!copied) DeleteFileW(destination);  // no half copy
}

}  // namespace

void CollectSetupLogs() {
    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) return;
    for (const auto& copy : kSetupLogCopies) {
        CopySetupLog(windowsDirectory + copy.sourceInWindowsDirectory, copy.destination);
    }
}
