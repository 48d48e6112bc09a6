#include "run/run_program.h"

#include <iostream>

#include "platform/platform.h"
#include "products/original_packages.h"
#include "report/report_writer.h"
#include "report/run_log.h"
#include "report/run_outcome.h"
#include "run/inventory.h"
#include "run/options.h"
#include "run/redirection_trust.h"
#include "run/run_cleanup.h"
#include "run/unattended_record.h"

bool StartUp(const wchar_t* commandLine) {
    RefuseUntrustedJunctions();  // before the first file is opened
    if (CommandLineHasArguments(commandLine)) return false;
    OpenRunLog();
    return true;
}

int RunCheck() {
    ResetRunOutcome();  // judged by what Windows shows alone
    if (!StartRun()) {
        ReportLine(kIncompleteVerdict);
        return 2;
    }
    switch (TakeInventory()) {
    case InventoryResult::Clean: return 0;
    case InventoryResult::Found: return 1;
    case InventoryResult::Incomplete: break;
    }
    return 2;
}

namespace {

// The full path of an existing folder, read before the run changes its
// working directory; "" when there is no such folder.
std::wstring ExistingFolder(const std::wstring& given) {
    const std::wstring folder = FolderWithoutFinalBackslash(given);
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length >= buffer.size()) {
        buffer.resize(length);  // the size needed, terminator included
        length = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    }
    if (length == 0 || length >= buffer.size()) return {};
    const std::wstring path(buffer.data(), length);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
    return FolderWithoutFinalBackslash(path);
}

}  // namespace

int RunProgram(const std::vector<std::wstring>& arguments, bool runLogOpenedAtStartup) {
    Options options;
    if (!ParseOptions(arguments, options)) {
        if (options.mistake != nullptr) {
            std::cerr << options.mistake << std::endl;
        } else {
            std::cerr << UsageText() << std::flush;
        }
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (options.help) {
        std::cout << UsageText() << std::flush;
        return 0;
    }
    SetOriginalPackagesFolder({});
    if (options.hasPackagesFolder) {
        const std::wstring folder = ExistingFolder(options.packagesFolder);
        if (folder.empty()) {
            std::cerr << "The folder of /packages: does not exist: " << NarrowText(options.packagesFolder.c_str())
                      << std::endl;
            return static_cast<int>(ERROR_INVALID_PARAMETER);
        }
        SetOriginalPackagesFolder(folder);
    }
    if (options.check) return RunCheck();

    // Every file of the run lands in the log folder: it becomes the working
    // directory. One that cannot be entered leaves the run log unopened,
    // which the run reports as for an unwritable working directory.
    if (!runLogOpenedAtStartup &&
        (!options.hasLogFolder || SetCurrentDirectoryW(options.logFolder.c_str())))
        OpenRunLog();
    if (!options.quiet) return RunCleanup();
    BeginUnattendedRecord();
    const int exitCode = RunCleanup(true);
    EndUnattendedRecord(exitCode);
    return exitCode;
}
