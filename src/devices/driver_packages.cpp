#include "devices/driver_packages.h"

#include "devices/oem_inf_name.h"
#include "devices/scanner_packages.h"
#include "platform/platform.h"
#include "report/report_writer.h"
#include "report/run_outcome.h"
#include "run/inventory.h"

void RemoveDriverPackages(const InfNameSet& infNames, const wchar_t* const* hardwareIds) {
    for (const std::wstring& infName : infNames) {
        // A node can be installed from one of Windows' own INF files (an
        // inbox driver matched by a compatible id); only packages that were
        // added to the driver store, published as oemNN.inf, leave it.
        if (!IsOemInfName(infName)) {
            ReportLine(kWindowsPackageLabel, infName.c_str());
            continue;
        }
        DWORD error = 0;
        switch (hardwareIds == nullptr ? PackageMaker::Scanner : MakerOfPackage(hardwareIds, infName, error)) {
        case PackageMaker::Scanner: break;
        case PackageMaker::Another: ReportLine(kOtherMakersPackageLabel, infName.c_str()); continue;
        case PackageMaker::Unread: ReportUnreadPackage({infName, error}); continue;
        }
        ReportLine("Remove driver package for inf file: ", infName.c_str());
        // Forced: the package goes even if a device is still installed from it.
        if (SetupUninstallOEMInfW(infName.c_str(), SUOI_FORCEDELETE, nullptr)) {
            ReportLine("Device inf file has removed successfully");
        } else if (const DWORD failure = GetLastError();
                   failure == ERROR_INF_IN_USE_BY_DEVICES && NamedByNodeLeftForRestart(infName)) {
            // The force is ignored for a package that runs from the driver
            // store (DIRID 13, every package built for Windows 10 since 1709)
            // while a node names it ("SetupUninstallOEMInfW"): here one whose
            // removal waits for the restart. The run after it removes the
            // package.
            NotePackageLeftForRestart(infName);
            ReportLine(kPackageAfterRestartLabel, infName.c_str());
            ReportRestartNeeded();
        } else {
            ReportFailure("Can't remove device inf file", failure);
        }
    }
}
