#include "run/run_cleanup.h"

#include <iostream>
#include <limits>

#include "devices/device_nodes.h"
#include "devices/driver_packages.h"
#include "leftovers/registry_mark.h"
#include "leftovers/setup_logs.h"
#include "platform/platform.h"
#include "products/related_products.h"
#include "report/report_writer.h"
#include "report/run_log.h"
#include "run/tables.h"

namespace {

bool UserConsents() {
    ConsoleLine("NOTE: Make sure that you connect Nerovan scanner to computer at least once.");
    ConsoleEndLine();
    ConsoleLine("PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!");
    ConsoleText("Do you want to continue [y/N]? ");

    char answer = 0;
    if (!(std::cin >> answer)) return false;  // end of input declines
    return answer == 'y' || answer == 'Y';
}

// Waits for one more key. The rest of the answer's line (at least its line
// end) is still unread, so it is skipped first: otherwise the pause would
// take that line end and return at once.
void PauseBeforeExit() {
    ConsoleLine("Press any key to continue");
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    std::cin.get();
}

}  // namespace

int RunCleanup() {
    ReportLine("Nerovan Driver Cleanup utility v." NRV_VERSION);
    ReportEndLine();

    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64)) {
        ReportLine("Can't determinate process architecture");
        return -1;
    }
    if (wow64) {
        ReportLine("You should use x64 version of utility.");
        return -1;
    }
    if (!RunLogIsOpen()) {
        ConsoleLine("Can't create log file");
        return -1;
    }

    if (!UserConsents()) {
        DiscardRunLog();
        return 0;
    }

    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);

    for (const wchar_t* const* code = UpgradeCodeTable; *code != nullptr; ++code)
        PurgeRelatedProducts(*code);

    RemoveRegistryMark();

    InfNameSet infNames;
    for (const wchar_t* const* hardwareId = HardwareIdTable; *hardwareId != nullptr; ++hardwareId)
        RemoveDevicesByHardwareId(*hardwareId, infNames);
    RemoveDriverPackages(infNames);

    CollectSetupLogs();

    PauseBeforeExit();
    return 0;
}
