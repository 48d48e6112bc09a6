#include <gtest/gtest.h>

#include "devices/driver_packages.h"
#include "fake/fake_setupapi.h"
#include "unit/report_fixture.h"

namespace {

class DriverPackagesTest : public ReportFixture {};

TEST_F(DriverPackagesTest, AnEmptySetWritesAndCallsNothing) {
    OpenLog();
    RemoveDriverPackages(InfNameSet{});
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(RunLogText(), "");
    EXPECT_TRUE(FakeCalls().calls.empty());
}

TEST_F(DriverPackagesTest, EachOemNameGivesTwoLinesInSetOrderAndAnyOtherNameIsKept) {
    TheFakeSetupApi().uninstallErrors[L"oem10.inf"] = ERROR_FILE_NOT_FOUND;
    OpenLog();
    RemoveDriverPackages(InfNameSet{L"oem9.inf", L"oem10.inf", L"", L"OEM9.inf", L"Oem7.Inf",
                                    L"usbscan.inf", L"oem.inf", L"oem9.inf.", L"oem1a.inf",
                                    L"xoem1.inf", L"oem1.infx", L"oem1inf", L"1oem.inf"});
    const std::string expected = Lines({
        "Windows driver package kept: ", "Windows driver package kept: 1oem.inf",
        "Remove driver package for inf file: OEM9.inf", "Device inf file has removed successfully",
        "Remove driver package for inf file: Oem7.Inf", "Device inf file has removed successfully",
        "Windows driver package kept: oem.inf",
        "Windows driver package kept: oem1.infx",
        "Remove driver package for inf file: oem10.inf", "Can't remove device inf file. Error: 2",
        "Windows driver package kept: oem1a.inf",
        "Windows driver package kept: oem1inf",
        "Remove driver package for inf file: oem9.inf", "Device inf file has removed successfully",
        "Windows driver package kept: oem9.inf.", "Windows driver package kept: usbscan.inf",
        "Windows driver package kept: xoem1.inf"});
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
    EXPECT_EQ(FakeCalls().calls, (std::vector<std::wstring>{
                                     L"SetupUninstallOEMInfW(\"OEM9.inf\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"Oem7.Inf\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"oem10.inf\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"oem9.inf\", 1, null)"}));
}

}  // namespace
