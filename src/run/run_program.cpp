#include "run/run_program.h"

#include <iostream>

#include "platform/platform.h"
#include "report/report_writer.h"
#include "report/run_log.h"
#include "run/inventory.h"
#include "run/options.h"
#include "run/redirection_trust.h"
#include "run/run_cleanup.h"

bool StartUp(const wchar_t* commandLine) {
    RefuseUntrustedJunctions();  // before the first file is opened
    if (CommandLineHasArguments(commandLine)) return false;
    OpenRunLog();
    return true;
}

int RunCheck() {
    if (!StartRun()) {
        ReportLine("NRV-CHECK: INCOMPLETE");
        return 2;
    }
    switch (TakeInventory()) {
    case InventoryResult::Clean: return 0;
    case InventoryResult::Found: return 1;
    case InventoryResult::Incomplete: break;
    }
    return 2;
}

int RunProgram(const std::vector<std::wstring>& arguments, bool runLogOpenedAtStartup) {
    Options options;
    if (!ParseOptions(arguments, options)) {
        std::cerr << UsageText() << std::flush;
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    }
    if (options.help) {
        std::cout << UsageText() << std::flush;
        return 0;
    }
    if (options.check) return RunCheck();

    // Every file of the run lands in the log folder: it becomes the working
    // directory. One that cannot be entered leaves the run log unopened,
    // which the run reports as for an unwritable working directory.
    if (!runLogOpenedAtStartup &&
        (!options.hasLogFolder || SetCurrentDirectoryW(options.logFolder.c_str())))
        OpenRunLog();
    return RunCleanup(options.quiet);
}
