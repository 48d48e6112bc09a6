#include "run/run_cleanup.h"

#include <iostream>
#include <limits>

#include "devices/device_nodes.h"
#include "devices/driver_packages.h"
#include "devices/scanner_packages.h"
#include "leftovers/registry_mark.h"
#include "leftovers/setup_logs.h"
#include "platform/platform.h"
#include "products/related_products.h"
#include "report/report_writer.h"
#include "report/run_log.h"
#include "report/run_outcome.h"
#include "run/inventory.h"
#include "run/tables.h"

namespace {

void ShowWarnings() {
    ConsoleLine("NOTE: Make sure that you connect Nerovan scanner to computer at least once.");
    ConsoleEndLine();
    ConsoleLine("PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!");
}

bool UserConsents() {
    ShowWarnings();
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

// Scanner packages in the driver store that no device node named: staged
// for a scanner never connected, or left by an interrupted run. A package
// that also serves other devices is never among them.
void RemovePackagesWithoutDevice(const InfNameSet& removedNames) {
    ScannerPackages found;
    if (const auto failure = FindScannerPackages(HardwareIdTable, found)) ReportFailure(*failure);
    RemoveDriverPackages(PackagesWithoutDevice(found, removedNames));
}

// What a deployment tool understands: 0 nothing is left; 3010 nothing is
// left once the computer restarts; 1618 traces are left because another
// installation was in progress (try again later); 1603 traces are left.
int UnattendedExitCode(InventoryResult inventory) {
    if (inventory == InventoryResult::Clean)
        return RestartIsNeeded() ? static_cast<int>(ERROR_SUCCESS_REBOOT_REQUIRED) : 0;
    return static_cast<int>(InstallerWasBusy() ? ERROR_INSTALL_ALREADY_RUNNING : ERROR_INSTALL_FAILURE);
}

}  // namespace

bool StartRun() {
    ReportLine("Nerovan Driver Cleanup utility v." NRV_VERSION);
    ReportEndLine();

    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64)) {
        ReportLine("Can't determinate process architecture");
        return false;
    }
    if (wow64) {
        ReportLine("You should use x64 version of utility.");
        return false;
    }
    return true;
}

int RunCleanup(bool unattended) {
    ResetRunOutcome();
    if (!StartRun()) return -1;
    if (!RunLogIsOpen()) {
        ConsoleLine("Can't create log file");
        return -1;
    }

    if (unattended) {
        ShowWarnings();
    } else if (!UserConsents()) {
        DiscardRunLog();
        return 0;
    }

    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);

    for (const wchar_t* const* code = UpgradeCodeTable; *code != nullptr; ++code)
        PurgeRelatedProducts(*code);

    RemoveRegistryMark();

    // Unattended, no one is there to answer: SetupAPI fails instead of
    // showing anything. (It returns the former setting; there is no failure.)
    if (unattended) SetupSetNonInteractiveMode(TRUE);
    InfNameSet infNames;
    RemoveScannerDevices(HardwareIdTable, infNames, unattended);
    RemoveDriverPackages(infNames, HardwareIdTable);
    if (unattended) RemovePackagesWithoutDevice(infNames);

    CollectSetupLogs();

    if (unattended) {
        // Proof of what is left: the report ends with the inventory's last
        // line, and the run's event quotes the inventory.
        ReportEndLine();
        KeepReport();
        return UnattendedExitCode(TakeInventory());
    }
    PauseBeforeExit();
    return 0;
}
