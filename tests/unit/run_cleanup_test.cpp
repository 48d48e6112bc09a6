#include <gtest/gtest.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "fake/fake_kernel.h"
#include "fake/fake_msi.h"
#include "report/run_log.h"
#include "run/dll_search.h"
#include "run/run_cleanup.h"
#include "run/run_program.h"
#include "run/tables.h"
#include "unit/clean_machine.h"
#include "unit/report_fixture.h"

namespace {

const std::string kBanner = Lines({"Nerovan Driver Cleanup utility v." NRV_VERSION, ""});
const std::string kDialogue =
    Lines({"NOTE: Make sure that you connect Nerovan scanner to computer at least once.", "",
           "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!"}) +
    "Do you want to continue [y/N]? ";
const std::string kPause = Lines({"Press any key to continue"});

const std::string kPassesOnCleanMachine =
    kProductsOnCleanMachine + kRegistryOnCleanMachine + kDevicesOnCleanMachine;

class RunCleanupTest : public ReportFixture {};

TEST_F(RunCleanupTest, AnswersOtherThanYesDeclineAndDiscardTheLog) {
    const char* declines[] = {"n\n", "N\n", "x\n", "0\n", "", "\n\n", "\n\n   \t\nN\n", "no\n"};
    for (const char* answer : declines) {
        SCOPED_TRACE(std::string("answer: ") + answer);
        TearDown();
        SetUp();
        OpenLog();
        Input(answer);
        EXPECT_EQ(RunCleanup(), 0);
        EXPECT_EQ(Console(), kBanner + kDialogue);
        EXPECT_FALSE(RunLogIsOpen());
        EXPECT_FALSE(RunLogExists());
        EXPECT_EQ(FakeCallsStartingWith(L"DeleteFileW").size(), 1u);
        EXPECT_EQ(TheFakeMsi().setInternalUICalls, 0);
        EXPECT_TRUE(FakeCallsStartingWith(L"RegOpenKeyExW").empty());
        EXPECT_TRUE(FakeCallsStartingWith(L"CreateFileW").empty());
    }
}

struct ConsentCase {
    const char* input;
    const char* unreadAfterRun;
};

TEST_F(RunCleanupTest, YesRunsThePassesAndPausesForAFreshKey) {
    // The pause skips what is left of the answer's line, then takes one key.
    const ConsentCase cases[] = {
        {"y\n", ""},          {"Y\n", ""},          {"  y\n", ""},
        {"\n\n Y\n", ""},     {"yes\nq\nrest", "\nrest"},
        {"y\r\nk", ""},       {"y", ""},            {"y\n\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        TearDown();
        SetUp();
        OpenLog();
        Input(c.input);
        EXPECT_EQ(RunProgram({}, true), 0);
        EXPECT_EQ(Console(), kBanner + kDialogue + kPassesOnCleanMachine + kPause);
        EXPECT_TRUE(FakeCallsStartingWith(L"RegisterEventSourceW").empty()) << "the plain run writes no event";
        EXPECT_TRUE(RunLogIsOpen());
        EXPECT_EQ(RunLogText(), kBanner + kPassesOnCleanMachine);
        EXPECT_EQ(UnreadInput(), c.unreadAfterRun);
        EXPECT_EQ(FakeCallsStartingWith(L"MsiSetInternalUI"),
                  std::vector<std::wstring>{L"MsiSetInternalUI(2, null)"});
        EXPECT_TRUE(FakeCallsStartingWith(L"DeleteFileW").empty());
    }
}

TEST_F(RunCleanupTest, InstallerUiIsSilencedBeforeAnyPass) {
    OpenLog();
    Input("y\n");
    RunCleanup();
    const auto& calls = FakeCalls().calls;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], L"IsWow64Process(current)");
    EXPECT_EQ(calls[1], L"MsiSetInternalUI(2, null)");
}

TEST_F(RunCleanupTest, RegistryMarkComesBeforeTheDevicesAndSetupLogsLast) {
    OpenLog();
    Input("y\n");
    RunCleanup();
    const auto& calls = FakeCalls().calls;
    const auto first = [&](const wchar_t* prefix) {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0) return i;
        return calls.size();
    };
    std::size_t lastInstallerCall = 0;
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].rfind(L"Msi", 0) == 0) lastInstallerCall = i;
    EXPECT_LT(lastInstallerCall, first(L"RegOpenKeyExW"));
    EXPECT_LT(first(L"RegOpenKeyExW"), first(L"SetupDiGetClassDevsW"));
    EXPECT_LT(first(L"RegOpenKeyExW"), first(L"GetWindowsDirectoryW"));
    ASSERT_LT(first(L"GetWindowsDirectoryW"), calls.size());
    for (std::size_t i = first(L"GetWindowsDirectoryW"); i < calls.size(); ++i)
        EXPECT_TRUE(calls[i].rfind(L"GetWindowsDirectoryW", 0) == 0 ||
                    calls[i].rfind(L"CreateFileW(\"C:\\windows\\", 0) == 0)
            << "after the setup logs: " << calls[i].c_str();
    EXPECT_EQ(FakeCallsStartingWith(L"CreateFileW(\"C:\\windows\\").size(), 4u);
}

TEST_F(RunCleanupTest, FailedArchitectureCheckEndsTheRunAndKeepsTheLog) {
    struct Case {
        BOOL result;
        BOOL flag;
        const char* line;
    };
    const Case cases[] = {
        {FALSE, FALSE, "Can't determinate process architecture"},
        {TRUE, TRUE, "You should use x64 version of utility."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        TearDown();
        SetUp();
        TheFakeKernel().isWow64Result = c.result;
        TheFakeKernel().wow64Flag = c.flag;
        OpenLog();
        Input("y\n");
        EXPECT_EQ(RunCleanup(), -1);
        const std::string expected = kBanner + Lines({c.line});
        EXPECT_EQ(Console(), expected);
        EXPECT_EQ(RunLogText(), expected);
        EXPECT_TRUE(RunLogIsOpen());
        EXPECT_EQ(UnreadInput(), "y\n");
        EXPECT_EQ(TheFakeMsi().setInternalUICalls, 0);
    }
}

TEST_F(RunCleanupTest, MissingRunLogEndsTheRunOnTheConsole) {
    Input("y\n");
    EXPECT_EQ(RunCleanup(), -1);
    EXPECT_EQ(Console(), kBanner + Lines({"Can't create log file"}));
    EXPECT_EQ(UnreadInput(), "y\n");
    EXPECT_EQ(TheFakeMsi().setInternalUICalls, 0);
}

// The program's tables hold what the tests' data says, in the same order.
TEST(Tables, MatchTheTestData) {
    const std::pair<const wchar_t* const*, const char*> tables[] = {
        {UpgradeCodeTable, "upgrade-code"}, {HardwareIdTable, "hardware-id"}};
    for (const auto& [table, kind] : tables) {
        SCOPED_TRACE(kind);
        std::vector<std::string> entries;
        for (const wchar_t* const* entry = table; *entry != nullptr; ++entry)
            entries.emplace_back(*entry, *entry + std::wcslen(*entry));
        EXPECT_EQ(entries, TestTable(kind));
    }
}

TEST_F(RunCleanupTest, JunctionsOfOtherUsersAreRefusedBeforeTheFirstFileWhereWindowsCan) {
    const std::vector<std::wstring> lookUp{L"GetModuleHandleW(\"kernel32.dll\")",
                                           L"GetProcAddress(kernel32, \"SetProcessMitigationPolicy\")"};
    const std::wstring runLog = L"CreateFileW(\"nrvDrvCln-06-12-26-04-10-36-A3F.txt\", 0x4, 0x3, 1, 0x200080)";
    struct Case {
        const char* what;
        bool present;
        BOOL result;
        const wchar_t* commandLine;
        std::vector<std::wstring> after;
    };
    const Case cases[] = {
        {"Windows 10 22H2, 11", true, TRUE, L"prog.exe", {L"SetProcessMitigationPolicy(16, 0x1, 4)", runLog}},
        {"Windows 7", false, TRUE, L"prog.exe", {runLog}},
        {"Windows 8 to 10 21H2", true, FALSE, L"prog.exe", {L"SetProcessMitigationPolicy(16, 0x1, 4)", runLog}},
        {"options: no log yet", true, TRUE, L"prog.exe /quiet", {L"SetProcessMitigationPolicy(16, 0x1, 4)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        TheFakeKernel().hasSetProcessMitigationPolicy = c.present;
        TheFakeKernel().setProcessMitigationPolicyResult = c.result;
        std::wstring commandLine = c.commandLine;
        EXPECT_EQ(StartUp(commandLine.data()), c.after.back() == runLog);
        std::vector<std::wstring> expected = lookUp;
        expected.insert(expected.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(FakeCalls().calls, expected);
    }
}

TEST(DllSearch, SystemDirectoryOnlyWithOrWithoutSetDefaultDllDirectories) {
    const std::vector<std::wstring> lookUp{L"GetModuleHandleW(\"kernel32.dll\")",
                                           L"GetProcAddress(kernel32, \"SetDefaultDllDirectories\")"};
    const std::vector<std::wstring> withoutIt{L"SetDllDirectoryW(\"\")", L"GetSystemDirectoryW(260)",
                                              L"LoadLibraryW(\"C:\\windows\\system32\\msi.dll\")"};
    struct Case {
        const char* what;
        bool present;
        BOOL result;
        std::vector<std::wstring> after;
    };
    const Case cases[] = {
        {"Windows 8 and later, or 7 with its update", true, TRUE,
         {L"SetDefaultDllDirectories(0x800)"}},
        {"Windows 7 without the update", false, TRUE, withoutIt},
        {"present but refusing", true, FALSE, {L"SetDefaultDllDirectories(0x800)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetFakePlatform();
        TheFakeKernel().hasSetDefaultDllDirectories = c.present;
        TheFakeKernel().setDefaultDllDirectoriesResult = c.result;
        LimitDllSearchToSystemDirectory();
        std::vector<std::wstring> expected = lookUp;
        expected.insert(expected.end(), c.after.begin(), c.after.end());
        if (c.present && !c.result) expected.insert(expected.end(), withoutIt.begin(), withoutIt.end());
        EXPECT_EQ(FakeCalls().calls, expected);
    }
}

}  // namespace
