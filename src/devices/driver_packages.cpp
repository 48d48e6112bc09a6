#include "devices/driver_packages.h"

#include "platform/platform.h"
#include "report/report_writer.h"

void RemoveDriverPackages(const InfNameSet& infNames) {
    for (const std::wstring& infName : infNames) {
        ReportText(L"Remove driver package for inf file: ");
        ReportText(infName.c_str());
        ReportEndLine();
        // Forced: the package goes even if a device is still installed from it.
        if (SetupUninstallOEMInfW(infName.c_str(), SUOI_FORCEDELETE, nullptr)) {
            ReportLine(L"Device inf file has removed successfully");
        } else {
            ReportCodeLine("Can't remove device inf file. Error: ", GetLastError());
        }
    }
}
