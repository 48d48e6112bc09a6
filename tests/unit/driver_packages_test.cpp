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

TEST_F(DriverPackagesTest, EachNameGivesTwoLinesInSetOrderWhateverTheOutcome) {
    TheFakeSetupApi().uninstallErrors[L"oem10.inf"] = ERROR_FILE_NOT_FOUND;
    TheFakeSetupApi().uninstallErrors[L""] = 123;
    OpenLog();
    RemoveDriverPackages(InfNameSet{L"oem9.inf", L"oem10.inf", L"", L"OEM9.inf"});
    const std::string expected = Lines({
        "Remove driver package for inf file: ", "Can't remove device inf file. Error: 123",
        "Remove driver package for inf file: OEM9.inf", "Device inf file has removed successfully",
        "Remove driver package for inf file: oem10.inf", "Can't remove device inf file. Error: 2",
        "Remove driver package for inf file: oem9.inf", "Device inf file has removed successfully"});
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
    EXPECT_EQ(FakeCalls().calls, (std::vector<std::wstring>{
                                     L"SetupUninstallOEMInfW(\"\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"OEM9.inf\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"oem10.inf\", 1, null)",
                                     L"SetupUninstallOEMInfW(\"oem9.inf\", 1, null)"}));
}

}  // namespace
