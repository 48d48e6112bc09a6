#include <gtest/gtest.h>

#include "fake/fake_kernel.h"
#include "leftovers/setup_logs.h"
#include "unit/report_fixture.h"

namespace {

// The four copies, in order, for a Windows directory.
std::vector<std::wstring> CopyCalls(const std::wstring& windows) {
    return {
        L"CopyFileW(\"" + windows + L"\\DPInst.log\", \"DPInst.log\", 0)",
        L"CopyFileW(\"" + windows + L"\\inf\\setupapi.dev.log\", \"setupapi.dev.log\", 0)",
        L"CopyFileW(\"" + windows + L"\\inf\\setupapi.setup.log\", \"setupapi.setup.log\", 0)",
        L"CopyFileW(\"" + windows + L"\\setupapi.log\", \"setupapiXP.log\", 0)",
    };
}

class SetupLogsTest : public ReportFixture {};

TEST_F(SetupLogsTest, CopiesInOrderOverOlderCopiesSkippingAMissingLogSilently) {
    auto& kernel = TheFakeKernel();
    kernel.files = {
        {L"C:\\windows\\inf\\setupapi.dev.log", "dev"},
        {L"C:\\windows\\inf\\setupapi.setup.log", "setup"},
        {L"C:\\windows\\setupapi.log", "xp"},
        {L"C:\\windows\\inf\\DPInst.log", "DPInst.log is not looked for in inf"},
    };
    kernel.copies = {{L"setupapi.dev.log", "old dev"}, {L"setupapiXP.log", "old xp"}};
    OpenLog();

    CollectSetupLogs();

    EXPECT_EQ(FakeCallsStartingWith(L"CopyFileW"), CopyCalls(L"C:\\windows"));
    const std::map<std::wstring, std::string> copies = {
        {L"setupapi.dev.log", "dev"}, {L"setupapi.setup.log", "setup"}, {L"setupapiXP.log", "xp"}};
    EXPECT_EQ(kernel.copies, copies);
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(RunLogText(), "");
}

TEST_F(SetupLogsTest, UsesExactlyTheCharactersOfTheWindowsDirectoryHoweverLong) {
    struct Case {
        std::wstring directory;
        std::vector<std::wstring> reads;
    };
    const std::wstring deep = L"D:\\" + std::wstring(290, L'w');
    const Case cases[] = {
        {L"C:\\windows", {L"GetWindowsDirectoryW(260)"}},
        {L"C:\\" + std::wstring(256, L'w'), {L"GetWindowsDirectoryW(260)"}},  // 259 + terminator
        {L"C:\\" + std::wstring(257, L'w'),
         {L"GetWindowsDirectoryW(260)", L"GetWindowsDirectoryW(261)"}},
        {deep, {L"GetWindowsDirectoryW(260)", L"GetWindowsDirectoryW(294)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory.size());
        TearDown();
        SetUp();
        TheFakeKernel().windowsDirectory = c.directory;
        TheFakeKernel().files[c.directory + L"\\setupapi.log"] = "xp";

        CollectSetupLogs();

        EXPECT_EQ(FakeCallsStartingWith(L"GetWindowsDirectoryW"), c.reads);
        EXPECT_EQ(FakeCallsStartingWith(L"CopyFileW"), CopyCalls(c.directory));
        EXPECT_EQ(TheFakeKernel().copies, (std::map<std::wstring, std::string>{{L"setupapiXP.log", "xp"}}));
    }
}

TEST_F(SetupLogsTest, CopiesNothingWhenTheWindowsDirectoryCannotBeRead) {
    const std::vector<UINT> scripts[] = {
        {0},         // the call fails
        {300, 0},    // the second read fails
        {300, 400},  // the directory grew between the two reads
    };
    for (const auto& results : scripts) {
        SCOPED_TRACE(results.back());
        TearDown();
        SetUp();
        TheFakeKernel().windowsDirectoryResults = results;
        TheFakeKernel().files[L"C:\\windows\\setupapi.log"] = "xp";
        OpenLog();

        CollectSetupLogs();

        EXPECT_EQ(FakeCallsStartingWith(L"GetWindowsDirectoryW").size(), results.size());
        EXPECT_TRUE(FakeCallsStartingWith(L"CopyFileW").empty());
        EXPECT_EQ(Console(), "");
        EXPECT_EQ(RunLogText(), "");
    }
}

}  // namespace
