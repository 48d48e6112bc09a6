#include <gtest/gtest.h>

#include "fake/fake_kernel.h"
#include "report/report_writer.h"
#include "report/run_folder.h"
#include "report/run_log.h"
#include "unit/report_fixture.h"

namespace {

struct NameCase {
    SYSTEMTIME time;
    DWORD tick;
    const wchar_t* expected;
};

TEST(RunLogName, TimeAndLowTwelveBitsOfTickCount) {
    const NameCase cases[] = {
        {{2026, 12, 0, 6, 4, 10, 36, 0}, 0x0A3F, L"nrvDrvCln-06-12-26-04-10-36-A3F.txt"},
        {{2026, 12, 0, 6, 4, 10, 36, 0}, 0x00A, L"nrvDrvCln-06-12-26-04-10-36-00A.txt"},
        {{2026, 12, 0, 6, 4, 10, 36, 0}, 0, L"nrvDrvCln-06-12-26-04-10-36-000.txt"},
        {{2026, 12, 0, 6, 4, 10, 36, 0}, 0xFFF, L"nrvDrvCln-06-12-26-04-10-36-FFF.txt"},
        {{2026, 12, 0, 6, 4, 10, 36, 0}, 0xFFFFF000, L"nrvDrvCln-06-12-26-04-10-36-000.txt"},
        {{2000, 1, 0, 1, 0, 0, 0, 0}, 0x7BC, L"nrvDrvCln-01-01-00-00-00-00-7BC.txt"},
        {{2099, 9, 0, 30, 23, 59, 59, 999}, 0x1001, L"nrvDrvCln-30-09-99-23-59-59-001.txt"},
    };
    for (const auto& c : cases) {
        const std::wstring name = BuildRunLogName(c.time, c.tick);
        EXPECT_EQ(name, c.expected);
        EXPECT_EQ(name.size(), 35u);
    }
}

class ReportWriterTest : public ReportFixture {};

TEST_F(ReportWriterTest, OpensTheLogUnderItsNameAndTruncatesAnOldFile) {
    TheFakeKernel().tickCount = 0xB00A;
    {
        std::ofstream old(dir_ / "nrvDrvCln-06-12-26-04-10-36-00A.txt");
        old << "old content\n";
    }
    OpenLog();
    ASSERT_TRUE(RunLogIsOpen());
    EXPECT_EQ(RunLogName(), L"nrvDrvCln-06-12-26-04-10-36-00A.txt");
    EXPECT_EQ(RunLogText(), "");
    EXPECT_EQ(Console(), "");
}

TEST_F(ReportWriterTest, FragmentsAndFailureLinesReachConsoleAndLogAlike) {
    OpenLog();
    ReportText(L"wide ");
    ReportText("narrow ");
    ReportUnsigned(4294967295u);
    ReportEndLine();
    ReportEndLine();
    ReportFailure("Can't a", 4294967295u);
    ReportFailureSigned("Can't b", -5);
    ReportFailureSigned("Can't c", 2147483647);
    ReportFailureHex("Can't d", 0xABCDEF);
    ReportFailureHex("Can't e", 0);
    ReportFailure("Can't f", 1603);  // decimal again after a hexadecimal code
    ReportUnsigned(255);
    ReportEndLine();
    const std::string expected = Lines({"wide narrow 4294967295", "", "Can't a. Error: 4294967295",
                                        "Can't b. Error: -5", "Can't c. Error: 2147483647",
                                        "Can't d. Error: abcdef", "Can't e. Error: 0",
                                        "Can't f. Error: 1603", "255"});
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
}

TEST_F(ReportWriterTest, CharactersAboveByteRangeBecomeQuestionMarksAndOutputGoesOn) {
    OpenLog();
    ReportText(L"oem\u0100\u4E2D.inf caf\u00E9");
    ReportEndLine();
    ReportLine("next line");
    ReportUnsigned(7);
    ReportEndLine();
    const std::string expected = "oem??.inf caf\xE9\nnext line\n7\n";
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
}

TEST_F(ReportWriterTest, ControlCharactersInATextCannotStartALine) {
    OpenLog();
    ReportText(L"id\r\nCheck registry entries\tx\x1b ~\x7f\x85\x9f \xa0\xff");
    ReportEndLine();
    const std::string expected = "id??Check registry entries?x? ~??? \xA0\xFF\n";
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
}

TEST_F(ReportWriterTest, WithoutRunLogOnlyTheConsoleIsWritten) {
    ReportLine("console only");
    EXPECT_EQ(Console(), "console only\n");
    EXPECT_FALSE(RunLogIsOpen());
}

TEST_F(ReportWriterTest, ConsoleTextNeverReachesTheLog) {
    OpenLog();
    ConsoleLine("dialogue");
    ConsoleText("prompt ");
    ReportLine("report");
    EXPECT_EQ(Console(), "dialogue\nprompt report\n");
    EXPECT_EQ(RunLogText(), "report\n");
}

TEST_F(ReportWriterTest, DiscardClosesAndDeletesTheLogOnce) {
    OpenLog();
    ReportLine("something");
    ASSERT_TRUE(RunLogExists());
    DiscardRunLog();
    EXPECT_FALSE(RunLogIsOpen());
    EXPECT_FALSE(RunLogExists());
    // The held file is closed first: it does not let its name be deleted.
    EXPECT_EQ(FakeCalls().calls, (std::vector<std::wstring>{
                                     L"CloseHandle(\"nrvDrvCln-06-12-26-04-10-36-A3F.txt\")",
                                     L"DeleteFileW(\"nrvDrvCln-06-12-26-04-10-36-A3F.txt\")"}));

    DiscardRunLog();  // not open any more: nothing is deleted
    EXPECT_EQ(FakeCallsStartingWith(L"DeleteFileW").size(), 1u);
    ReportLine("after");
    EXPECT_EQ(Console(), "something\nafter\n");
}

TEST_F(ReportWriterTest, TheRunLogIsANewFileOrNone) {
    const std::wstring name = L"nrvDrvCln-06-12-26-04-10-36-A3F.txt";
    for (bool there : {false, true}) {
        SCOPED_TRACE(there);
        TearDown();
        SetUp();
        // An earlier run's log of the same second, or a link planted under the name.
        if (there) TheFakeKernel().files[name] = "planted";
        OpenRunLog();
        EXPECT_EQ(FakeCalls().calls,
                  std::vector<std::wstring>{L"CreateFileW(\"" + name + L"\", 0x4, 0x3, 1, 0x200080)"});
        EXPECT_EQ(RunLogIsOpen(), !there);
        EXPECT_EQ(RunLogExists(), !there);
        EXPECT_EQ(FakeOpenHandleCount(), there ? 0 : 1);  // held for the whole run
        EXPECT_EQ(TheFakeKernel().files[name], there ? "planted" : "");
    }
}

TEST(RunFolderFile, FullPathInTheWorkingDirectoryOrTheBareName) {
    struct Case {
        const wchar_t* directory;
        DWORD error;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\ProgramData\\run", 0, L"C:\\ProgramData\\run\\{X}_uinstall.log"},
        {L"C:\\", 0, L"C:\\{X}_uinstall.log"},
        {L"\\\\server\\share\\", 0, L"\\\\server\\share\\{X}_uinstall.log"},
        {L"C:\\run", 5, L"{X}_uinstall.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.error);
        ResetFakePlatform();
        TheFakeKernel().currentDirectory = c.directory;
        TheFakeKernel().currentDirectoryError = c.error;
        EXPECT_EQ(RunFolderFile(L"{X}_uinstall.log"), c.expected);
    }
}

}  // namespace
