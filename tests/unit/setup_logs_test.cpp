#include <gtest/gtest.h>

#include "fake/fake_kernel.h"
#include "leftovers/setup_logs.h"
#include "unit/report_fixture.h"

namespace {

// The four sources, opened in order to be read, for a Windows directory.
std::vector<std::wstring> SourceOpens(const std::wstring& windows) {
    std::vector<std::wstring> opens;
    for (const wchar_t* source : {L"\\DPInst.log", L"\\inf\\setupapi.dev.log", L"\\inf\\setupapi.setup.log",
                                  L"\\setupapi.log"})
        opens.push_back(L"CreateFileW(\"" + windows + source + L"\", 0x80000000, 0x3, 3, 0x8000000)");
    return opens;
}

std::vector<std::wstring> SourceOpens(const std::vector<std::wstring>& calls) {
    std::vector<std::wstring> opens;
    for (const std::wstring& call : calls)
        if (call.find(L", 3, ") != std::wstring::npos) opens.push_back(call);
    return opens;
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
    // An older copy, possibly a link planted under the name: it is removed,
    // and the copy is made as a new file that follows no link.
    kernel.files[L"setupapi.dev.log"] = "old dev";
    kernel.files[L"setupapiXP.log"] = "old xp";
    kernel.files[L"DPInst.log"] = "older DPInst.log, kept: nothing replaces it";
    OpenLog();

    CollectSetupLogs();

    EXPECT_EQ(SourceOpens(FakeCallsStartingWith(L"CreateFileW")), SourceOpens(L"C:\\windows"));
    EXPECT_EQ(FakeCallsStartingWith(L"DeleteFileW"),
              (std::vector<std::wstring>{L"DeleteFileW(\"setupapi.dev.log\")", L"DeleteFileW(\"setupapi.setup.log\")",
                                         L"DeleteFileW(\"setupapiXP.log\")"}));
    const std::vector<std::wstring> made = FakeCallsStartingWith(L"CreateFileW(\"setupapi.dev.log\"");
    EXPECT_EQ(made, std::vector<std::wstring>{L"CreateFileW(\"setupapi.dev.log\", 0x40000000, 0x3, 1, 0x200080)"});
    EXPECT_EQ(kernel.files[L"setupapi.dev.log"], "dev");
    EXPECT_EQ(kernel.files[L"setupapi.setup.log"], "setup");
    EXPECT_EQ(kernel.files[L"setupapiXP.log"], "xp");
    EXPECT_EQ(kernel.files[L"DPInst.log"], "older DPInst.log, kept: nothing replaces it");
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(RunLogText(), "");
}

TEST_F(SetupLogsTest, ACopyThatCannotBeMadeWholeLeavesNoFileAndNoWord) {
    struct Case {
        const char* what;
        std::map<std::wstring, DWORD> createErrors, writeErrors;
    };
    const std::string big(200 * 1024 + 7, 'b');  // several reads
    const Case cases[] = {
        {"made whole over several reads", {}, {}},
        {"the name cannot be made new", {{L"setupapiXP.log", ERROR_FILE_EXISTS}}, {}},
        {"the folder refuses writing", {{L"setupapiXP.log", 5}}, {}},
        {"the disk fills up", {}, {{L"setupapiXP.log", 112}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        auto& kernel = TheFakeKernel();
        kernel.files[L"C:\\windows\\setupapi.log"] = big;
        kernel.createErrors = c.createErrors;
        kernel.writeErrors = c.writeErrors;
        OpenLog();

        CollectSetupLogs();

        EXPECT_EQ(kernel.files.count(L"setupapiXP.log"), c.createErrors.empty() && c.writeErrors.empty() ? 1u : 0u);
        if (kernel.files.count(L"setupapiXP.log") != 0) {
            EXPECT_EQ(kernel.files[L"setupapiXP.log"], big);
        }
        EXPECT_EQ(Console(), "");
        EXPECT_EQ(RunLogText(), "");
    }
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
        EXPECT_EQ(SourceOpens(FakeCallsStartingWith(L"CreateFileW")), SourceOpens(c.directory));
        EXPECT_EQ(TheFakeKernel().files[L"setupapiXP.log"], "xp");
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
        EXPECT_TRUE(SourceOpens(FakeCallsStartingWith(L"CreateFileW")).empty());
        EXPECT_EQ(Console(), "");
        EXPECT_EQ(RunLogText(), "");
    }
}

}  // namespace
