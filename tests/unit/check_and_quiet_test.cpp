#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "fake/fake_eventlog.h"
#include "fake/fake_kernel.h"
#include "fake/fake_msi.h"
#include "fake/fake_registry.h"
#include "fake/fake_setupapi.h"
#include "report/run_log.h"
#include "run/inventory.h"
#include "run/options.h"
#include "run/run_program.h"
#include "unit/report_fixture.h"

namespace {

const std::string kBanner = Lines({"Nerovan Driver Cleanup utility v." NRV_VERSION, ""});
const GUID kImageClass{0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

TEST(Options, WindowsStyleEachOnceAndCheckAlone) {
    struct Case {
        std::vector<std::wstring> arguments;
        bool valid;
        bool help = false, check = false, quiet = false;
        const wchar_t* logFolder = nullptr;  // null: none
        const wchar_t* packagesFolder = nullptr;
    };
    const Case cases[] = {
        {{}, true, false, false, false, nullptr},
        {{L"/?"}, true, true, false, false, nullptr},
        {{L"-HELP"}, true, true, false, false, nullptr},
        {{L"/Check"}, true, false, true, false, nullptr},
        {{L"-quiet", L"/LogDir:C:\\Logs Here"}, true, false, false, true, L"C:\\Logs Here"},
        {{L"/logdir:D:\\x"}, true, false, false, false, L"D:\\x"},
        // "/logdir:C:\logs\" and "/logdir:C:\" as the C runtime hands them over.
        {{L"/quiet", L"/logdir:C:\\logs\""}, true, false, false, true, L"C:\\logs\\"},
        {{L"/logdir:C:\""}, true, false, false, false, L"C:\\"},
        {{L"/check", L"/?"}, true, true, true, false, nullptr},
        {{L"/quiet", L"/logdir:C:\\logs\\", L"/PACKAGES:C:\\Kit\\"}, true, false, false, true, L"C:\\logs\\", L"C:\\Kit\\"},
        {{L"/packages:kit", L"/check"}, true, false, true, false, nullptr, L"kit"},
        {{L"/packages:a", L"/packages:b"}, false},
        {{L"/packages:"}, false},
        {{L"/check", L"/quiet"}, false},
        {{L"/check", L"/logdir:C:\\x"}, false},
        {{L"/quiet", L"/quiet"}, false},
        {{L"/logdir:a", L"/logdir:b"}, false},
        {{L"/logdir:"}, false},
        {{L"/logdir"}, false},
        {{L"/quit"}, false},
        {{L"y"}, false},
        {{L"/"}, false},
        {{L""}, false},
        {{L"/quiet", L"stray"}, false},
        {{L"--quiet"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.arguments.size() << " arguments, first "
                                        << (c.arguments.empty() ? "none" : std::string(c.arguments[0].begin(), c.arguments[0].end())));
        Options options;
        ASSERT_EQ(ParseOptions(c.arguments, options), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.check, c.check);
        EXPECT_EQ(options.quiet, c.quiet);
        EXPECT_EQ(options.hasLogFolder, c.logFolder != nullptr);
        EXPECT_EQ(options.logFolder, c.logFolder == nullptr ? L"" : c.logFolder);
        EXPECT_EQ(options.packagesFolder, c.packagesFolder == nullptr ? L"" : c.packagesFolder);
    }
}

TEST(Options, CommandLineArgumentsAfterTheProgramName) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"NrvDriverCleanupx64.exe", false},
        {L"NrvDriverCleanupx64.exe  \t", false},
        {L"\"C:\\Program Files\\Nrv\\NrvDriverCleanupx64.exe\"", false},
        {L"\"C:\\Program Files\\Nrv\\NrvDriverCleanupx64.exe\" ", false},
        {L"\"C:\\Program Files\\Nrv\\NrvDriverCleanupx64.exe\" /quiet", true},
        {L"\"C:\\Nrv\\NrvDriverCleanupx64.exe\"/check", true},
        {L"NrvDriverCleanupx64.exe /check", true},
        {L"NrvDriverCleanupx64.exe\t\"\"", true},
        {L"\"unterminated", false},
        {L"", false},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(std::wstring(line).size());
        EXPECT_EQ(CommandLineHasArguments(line), expected);
    }
    EXPECT_FALSE(CommandLineHasArguments(nullptr));

    // Quoted folders ending in a backslash, as a batch file's %~dp0 gives them.
    const std::pair<const wchar_t*, std::vector<std::wstring>> splits[] = {
        {L"p.exe \"/logdir:C:\\kit\\\" \"/packages:C:\\kit\\packages\\\"",
         {L"/logdir:C:\\kit\\", L"/packages:C:\\kit\\packages\\"}},
        {L"\"C:\\a b\\p.exe\"\t/quiet  /logdir:\"C:\\my logs\" ", {L"/quiet", L"/logdir:C:\\my logs"}},
        {L"p.exe \"\"", {L""}},
    };
    for (const auto& [line, arguments] : splits) EXPECT_EQ(CommandLineArguments(line), arguments);
    for (const auto& [given, folder] : {std::pair{L"C:\\kit\\\\", L"C:\\kit"}, {L"C:\\", L"C:\\"},
                                        {L"\\\\srv\\share\\", L"\\\\srv\\share"}})
        EXPECT_EQ(FolderWithoutFinalBackslash(given), folder);
}

class CheckAndQuietTest : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        oldCerr_ = std::cerr.rdbuf(errors_.rdbuf());
    }
    void TearDown() override {
        std::cerr.rdbuf(oldCerr_);
        ReportFixture::TearDown();
    }
    std::string Errors() const { return errors_.str(); }

    // Calls that would change the machine, or write a file.
    std::vector<std::wstring> Changes() {
        std::vector<std::wstring> changes;
        for (const wchar_t* prefix :
             {L"MsiSetInternalUI", L"MsiEnableLogW", L"MsiInstallProductW",
              L"RegDeleteKeyValueW", L"SetupDiCallClassInstaller", L"SetupUninstallOEMInfW",
              L"DeleteFileW", L"SetCurrentDirectoryW", L"CreateDirectoryW", L"RemoveDirectoryW",
              L"RegisterEventSourceW"})
            for (const auto& call : FakeCallsStartingWith(prefix)) changes.push_back(call);
        for (const auto& call : FakeCallsStartingWith(L"MsiOpenDatabaseW"))
            if (!call.ends_with(L", 0)")) changes.push_back(call);  // not read-only
        for (const auto& call : FakeCallsStartingWith(L"CreateFileW"))
            if (call.find(L", 3, ") == std::wstring::npos) changes.push_back(call);  // not OPEN_EXISTING
        for (const auto& call : FakeCallsStartingWith(L"RegOpenKeyExW"))
            if (call.find(L"0x20219") == std::wstring::npos) changes.push_back(call);  // KEY_READ | 32-bit view only
        return changes;
    }

    std::ostringstream errors_;
    std::streambuf* oldCerr_ = nullptr;
};

FakeDeviceNode Node(const wchar_t* id, const wchar_t* inf, const wchar_t* version, bool attached) {
    FakeDeviceNode node;
    node.classGuid = kImageClass;
    node.instanceId.value = id;
    node.infPath.value = inf;
    if (std::wstring(inf).empty()) node.infPath.error = 1168;
    node.version.value = version;
    if (std::wstring(version).empty()) node.version.error = 1168;
    node.attached = attached;
    return node;
}

// A machine with something of everything, and packages the inventory must
// tell apart.
void PlantScannerMachine() {
    FakeMsiInstallProduct(L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}", L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}",
                          L"C:\\windows\\Installer\\1.msi", FakeMsiPackage{});
    FakeMsiInstallProduct(L"{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}", L"{3A7E05D2-0000-0000-0000-000000000002}",
                          L"C:\\windows\\Installer\\2.msi", FakeMsiPackage{});
    TheFakeMsi().products.back().name = L"Nerovan Scan Tool" + std::wstring(300, L'+');  // past the first buffer
    TheFakeMsi().products.back().version = L"1.0.7";
    FakeMsiInstallProduct(L"{00000000-0000-0000-0000-000000000000}", L"{00000000-0000-0000-0000-000000000001}",
                          L"C:\\other.msi", FakeMsiPackage{});
    TheFakeRegistry().view32[L"Software\\NerovanDrv"].values = {{L"DriverName", L"nrvscan"}};
    auto& ids = TheFakeSetupApi().hardwareIds;
    ids[L"USB\\VID_7F3A&PID_0031"].nodes = {Node(L"USB\\VID_7F3A&PID_0031\\SN1", L"oem10.inf", L"3.2.0.1", true),
                                           Node(L"USB\\VID_7F3A&PID_0031\\SN2", L"", L"", false)};
    ids[L"USB\\VID_7F3A&PID_0036"].nodes = {Node(L"USB\\VID_7F3A&PID_0036\\SN3", L"usbscan.inf", L"10.0", false)};
    // A composite scanner: the parent on Windows' own INF, its functions on the scanner's package.
    ids[L"USB\\VID_7F3A&PID_0042"].nodes = {Node(L"USB\\VID_7F3A&PID_0042\\SN4", L"usb.inf", L"10.0", true)};
    ids[L"USB\\VID_7F3A&PID_0042&MI_00"].nodes = {Node(L"USB\\VID_7F3A&PID_0042&MI_00\\7&1", L"oem50.inf", L"3.2", true)};
    ids[L"USB\\VID_7F3A&PID_0042&mi_0a"].nodes = {Node(L"USB\\VID_7F3A&PID_0042&mi_0a\\7&2", L"oem50.inf", L"3.2", true)};
    FakeStoreInf(L"oem50.inf", FakeInfOf({{L"Models.NTamd64", {FakeModel(L"USB\\VID_7F3A&PID_0042&MI_00"),
                                                               FakeModel(L"USB\\VID_7F3A&PID_0042&MI_0A")}}}));
    // Another maker's: a scanner's PID under another VID; a suffix not an interface number.
    ids[L"USB\\VID_04A9&PID_0031"].nodes = {Node(L"USB\\VID_04A9&PID_0031\\X", L"oem3.inf", L"1", true)};
    ids[L"USB\\VID_04A9&PID_0042&MI_00"].nodes = {Node(L"USB\\VID_04A9&PID_0042&MI_00\\Y", L"oem3.inf", L"1", true)};
    ids[L"USB\\VID_7F3A&PID_0042&MI_0G"].nodes = {Node(L"USB\\VID_7F3A&PID_0042&MI_0G\\Z", L"oem3.inf", L"1", true)};

    const wchar_t* other = L"USB\\VID_04A9&PID_2222";
    FakeStoreInf(L"oem10.inf", FakeInfOf({{L"Models.NTamd64", {FakeModel(L"USB\\VID_7F3A&PID_0031")}}}));
    // Scanner packages without a node: a decorated section only, a revision
    // suffix in another letter case, a compatible id.
    FakeStoreInf(L"oem20.inf", FakeInfOf({{L"Models.NTx86", {FakeModel(L"usb\\vid_7f3a&pid_0042&REV_0100")}}}));
    FakeStoreInf(L"OEM21.INF", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_8064", {L"USB\\VID_7F3A&PID_0064"}),
                                                  FakeModel(L"")}}},
                                   {L"%Mfg%", L"Models"}));
    // Shared: a scanner id beside another device's.
    FakeStoreInf(L"oem22.inf", FakeInfOf({{L"Models.NTamd64", {FakeModel(L"USB\\VID_7F3A&PID_0053")}},
                                    {L"Models", {FakeModel(other)}}}));
    // An id too long to be a scanner's is another device's: shared.
    // Not the scanners': another vendor, an id that only starts like one, a
    // file that is no Windows NT INF, a name not of the driver store.
    FakeStoreInf(L"oem3.inf", FakeInfOf({{L"Models", {FakeModel(other)}}}));
    FakeStoreInf(L"oem30.inf", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_00310")}}}));
    FakeStoreInf(L"oem31.inf", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0058", {std::wstring(600, L'X')})}}}));
    FakeInf unreadable = FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0047")}}});
    unreadable.openError = 0xE0000100;
    FakeStoreInf(L"oem32.inf", unreadable);
    FakeStoreInf(L"oem.inf", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0047")}}}));
}

// An inventory line: its label, then the rest.
std::string Line(const char* label, const std::string& rest = "") { return label + rest + "\n"; }

const std::string kIncomplete = Line(kIncompleteVerdict);
const std::string kWaits = ", its removal finishes when the computer restarts";

const std::string kScannerInventory =
    Line(kProductLabel, "{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}, Nerovan Scanner Driver, version 3.2.0") +
    Line(kProductLabel, "{3A7E05D2-0000-0000-0000-000000000002}, Nerovan Scan Tool" + std::string(300, '+') +
                            ", version 1.0.7") +
    Line(kMarkLine) + Line(kNodeLabel, "USB\\VID_7F3A&PID_0031\\SN1, attached: yes, inf: oem10.inf, version: 3.2.0.1") +
    Line(kNodeLabel, "USB\\VID_7F3A&PID_0031\\SN2, attached: no, inf: none, version: none") +
    Line(kNodeLabel, "USB\\VID_7F3A&PID_0036\\SN3, attached: no, inf: usbscan.inf, version: 10.0") +
    Line(kNodeLabel, "USB\\VID_7F3A&PID_0042\\SN4, attached: yes, inf: usb.inf, version: 10.0") +
    Line(kNodeLabel, "USB\\VID_7F3A&PID_0042&MI_00\\7&1, attached: yes, inf: oem50.inf, version: 3.2") +
    Line(kNodeLabel, "USB\\VID_7F3A&PID_0042&mi_0a\\7&2, attached: yes, inf: oem50.inf, version: 3.2") +
    Line(kDriverPackageLabel, "oem10.inf") + Line(kDriverPackageLabel, "oem50.inf") +
    Line(kWindowsPackageLabel, "usb.inf") + Line(kWindowsPackageLabel, "usbscan.inf") +
    Line(kPackageWithoutDeviceLabel, "OEM21.INF") + Line(kPackageWithoutDeviceLabel, "oem20.inf") +
    Line(kSharedPackageLabel, "oem22.inf") + Line(kSharedPackageLabel, "oem31.inf") +
    Line(kFoundVerdictLabel, "2 mark=1 nodes=6 packages=4");

TEST_F(CheckAndQuietTest, CheckListsWhatIsLeftAndChangesNothing) {
    PlantScannerMachine();
    Input("y\n");
    EXPECT_EQ(RunProgram({L"/check"}, false), 1);
    EXPECT_EQ(Console(), kBanner + kScannerInventory);
    EXPECT_EQ(Changes(), std::vector<std::wstring>{});
    EXPECT_FALSE(RunLogIsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "no file is written";
    EXPECT_EQ(UnreadInput(), "y\n");
    // The USB nodes, once, and the attached ones apart.
    EXPECT_EQ(FakeCallsStartingWith(L"SetupDiGetClassDevsW").size(), 2u);
    EXPECT_EQ(FakeCallsStartingWith(L"SetupDiGetClassDevsW(null, \"USB\", null, 6)").size(), 1u);
    // Each node's status: both results asked for, the node's DevInst, flags 0.
    EXPECT_EQ(FakeCallsStartingWith(L"CM_Get_DevNode_Status(status, problem, 0, 0)").size(), 6u);
}

TEST_F(CheckAndQuietTest, CheckOnACleanMachineAndWhenAQueryFails) {
    struct Case {
        const char* what;
        void (*script)();
        std::string lines;
        int exitCode;
    };
    const Case cases[] = {
        {"clean", [] {}, Line(kCleanVerdict), 0},
        {"32-bit program on 64-bit Windows", [] { TheFakeKernel().wow64Flag = TRUE; },
         Lines({"You should use x64 version of utility."}) + kIncomplete, 2},
        {"products cannot be listed",
         [] { TheFakeMsi().enumerationEnd[L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}"] = 1610; },
         Lines({"Can't enumerate related products. Error: 64a"}) + kIncomplete, 2},
        {"mark key refused", [] {
             TheFakeRegistry().view32[L"Software\\NerovanDrv"];
             TheFakeRegistry().openError = 5;
         },
         Lines({"Can't open driver mark key. Error: 5"}) + kIncomplete, 2},
        {"mark key without the value", [] { TheFakeRegistry().view32[L"Software\\NerovanDrv"]; },
         Line(kCleanVerdict), 0},
        {"mark value unreadable", [] {
             TheFakeRegistry().view32[L"Software\\NerovanDrv"];
             TheFakeRegistry().queryStatus = 1018;
         },
         Lines({"Can't read driver mark value. Error: 1018"}) + kIncomplete, 2},
        {"device set refused", [] { TheFakeSetupApi().hardwareIds[L"USB"].createError = 5; },
         Lines({"Can't create device information set. Error: 5"}) + kIncomplete, 2},
        {"enumeration broken, instance id and INF unreadable", [] {
             TheFakeSetupApi().hardwareIds[L"USB"].endError = 87;
             auto& script = TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0047"];
             script.nodes = {Node(L"X", L"oem1.inf", L"1", false), Node(L"USB\\VID_7F3A&PID_0047\\SN9", L"oem1.inf", L"1", false)};
             script.nodes[0].instanceId.error = 13;
             script.nodes[1].infPath.error = 5;
         },
         Lines({"Can't get device instance id. Error: 13", "Can't enumerate device information set. Error: 87",
                "Can't enumerate device information set. Error: 87",  // the attached set
                "Can't get device inf file path. Error: 5"}) +
             Line(kNodeLabel, "USB\\VID_7F3A&PID_0047\\SN9, attached: no, inf: none, version: 1") + kIncomplete,
         2},
        {"nodes waiting for the restart by their status alone", [] {
             auto& nodes = TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0064"].nodes;
             nodes = {Node(L"USB\\VID_7F3A&PID_0064\\1", L"", L"", true), Node(L"USB\\VID_7F3A&PID_0064\\2", L"", L"", true)};
             nodes[0].problem = CM_PROB_NEED_RESTART, nodes[1].devInst = 1, nodes[1].status = DN_NEED_RESTART;
         },
         Line(kNodeLabel, "USB\\VID_7F3A&PID_0064\\1" + kWaits) + Line(kNodeLabel, "USB\\VID_7F3A&PID_0064\\2" + kWaits) +
             Line(kCleanVerdict), 0},
        {"INF folder unlistable", [] { TheFakeKernel().listError = 5; },
         Lines({"Can't list driver packages. Error: 5"}) + kIncomplete, 2},
        {"INF folder listing broken off", [] {
             FakeStoreInf(L"oem1.inf", FakeInfOf({}));
             TheFakeKernel().endError = 59;
         },
         Lines({"Can't list driver packages. Error: 59"}) + kIncomplete, 2},
        {"Windows directory unknown", [] {
             TheFakeKernel().windowsDirectoryResults = {0};
             TheFakeKernel().windowsDirectoryError = 1450;
         },
         Lines({"Can't get Windows directory. Error: 1450"}) + kIncomplete, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.script();
        EXPECT_EQ(RunProgram({L"-CHECK"}, false), c.exitCode);
        EXPECT_EQ(Console(), kBanner + c.lines);
        EXPECT_EQ(Changes(), std::vector<std::wstring>{});
    }
}

TEST_F(CheckAndQuietTest, HelpAndMistakesTouchNothing) {
    Input("y\n");
    EXPECT_EQ(RunProgram({L"/quiet", L"/bogus"}, false), 87);
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(Errors(), UsageText());
    EXPECT_TRUE(FakeCalls().calls.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
    EXPECT_EQ(RunProgram({L"/?"}, false), 0);
    EXPECT_EQ(Console(), UsageText());
    EXPECT_TRUE(FakeCalls().calls.empty());
    EXPECT_EQ(UnreadInput(), "y\n");
    // A mistake about the originals' folder: one line says which.
    const std::pair<std::vector<std::wstring>, std::string> mistakes[] = {
        {{L"/quiet", L"/packages:C:\\missing\\"}, "The folder of /packages: does not exist: C:\\missing\\\n"},
        {{L"/packages:C:\\", L"/packages:C:\\"}, "The option /packages: is given twice.\n"}};
    for (const auto& [arguments, line] : mistakes) {
        errors_.str("");
        EXPECT_EQ(RunProgram(arguments, false), 87);
        EXPECT_EQ(Errors(), line);
    }
    EXPECT_EQ(Console(), UsageText()) << "nothing more";
    EXPECT_EQ(Changes(), std::vector<std::wstring>{});
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The fake's command line as the event's record quotes it.
const std::wstring kQuotedCommandLine = L"\"\"C:\\Kit Folder\\NrvDriverCleanupx64.exe\" /quiet\"";

const std::string kWarnings =
    Lines({"NOTE: Make sure that you connect Nerovan scanner to computer at least once.", "",
           "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!"});

TEST_F(CheckAndQuietTest, QuietRemovesWithoutAskingAlsoThePackagesNoDeviceNamesThenProvesIt) {
    PlantScannerMachine();
    const std::filesystem::path logs = dir_ / "logs";
    std::filesystem::create_directory(logs);
    Input("n\n");
    ASSERT_EQ(RunProgram({L"/quiet", L"/LOGDIR:" + logs.wstring()}, false), 0);

    EXPECT_EQ(UnreadInput(), "n\n");
    EXPECT_EQ(FakeCallsStartingWith(L"SetCurrentDirectoryW").size(), 1u);
    const std::string log = ReadFile(logs / RunLogName());
    const std::string header =
        "Started: 2026-12-06 04:10:36\nCommand line: \"C:\\Kit Folder\\NrvDriverCleanupx64.exe\" /quiet\n";
    ASSERT_TRUE(log.starts_with(header) && log.ends_with("\nExit code: 0\n")) << log;
    const std::string report = log.substr(header.size(), log.size() - header.size() - 13);
    EXPECT_EQ(Console(), kBanner + kWarnings + report.substr(kBanner.size()))
        << "no question, no pause; the report on both, the verdict last";
    const std::string tail = Lines({
        "Remove driver package for inf file: oem10.inf", "Device inf file has removed successfully",
        "Remove driver package for inf file: oem50.inf", "Device inf file has removed successfully",
        "Windows driver package kept: usb.inf", "Windows driver package kept: usbscan.inf",
        "Remove driver package for inf file: OEM21.INF", "Device inf file has removed successfully",
        "Remove driver package for inf file: oem20.inf", "Device inf file has removed successfully",
        ""}) + Line(kSharedPackageLabel, "oem22.inf") + Line(kSharedPackageLabel, "oem31.inf") + Line(kCleanVerdict);
    EXPECT_TRUE(report.ends_with(tail)) << report;
    // One event: the verdict, the exit code, the command line, the run log's
    // full path and the inventory's lines.
    EXPECT_EQ(FakeCallsStartingWith(L"RegisterEventSourceW"),
              std::vector<std::wstring>{L"RegisterEventSourceW(null, \"NrvDriverCleanup\")"});
    EXPECT_EQ(FakeCallsStartingWith(L"ReportEventW"),
              std::vector<std::wstring>{L"ReportEventW(4, 0, 1000, \"NRV-CHECK: CLEAN\", \"0\", " + kQuotedCommandLine +
                                        L", \"" + logs.wstring() + L"\\" + RunLogName() +
                                        L"\", \"Shared driver package kept: oem22.inf\r\n"
                                        L"Shared driver package kept: oem31.inf\r\nNRV-CHECK: CLEAN\")"});
    EXPECT_EQ(TheFakeSetupApi().uninstalledInfs,
              (std::vector<std::wstring>{L"oem10.inf", L"oem50.inf", L"OEM21.INF", L"oem20.inf"}));
    EXPECT_EQ(TheFakeMsi().products.size(), 1u) << "only the other vendor's product is left";
    EXPECT_TRUE(TheFakeSetupApi().infFiles.count(L"C:\\windows\\inf\\oem22.inf")) << "shared: kept";
    EXPECT_TRUE(TheFakeSetupApi().infFiles.count(L"C:\\windows\\inf\\oem3.inf")) << "foreign: kept";
}

// A composite scanner's function on its package oem50.inf, which the store keeps while a node
// names it; the function's removal asks for a restart in the set's parameters alone, or finishes.
void PlantPackageInUse(bool nodeWaits) {
    FakeStoreInf(L"oem50.inf", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0042&MI_00")}}}));
    auto& node = TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0042&MI_00"].nodes.emplace_back(
        Node(L"USB\\VID_7F3A&PID_0042&MI_00\\7&1", L"oem50.inf", L"3.2", true));
    node.removalWaitsForRestart = nodeWaits, node.restartFlagOnSet = true, node.problemWhileWaiting = 0;
    TheFakeSetupApi().uninstallErrors[L"oem50.inf"] = ERROR_INF_IN_USE_BY_DEVICES;
}

TEST_F(CheckAndQuietTest, QuietExitCodeTellsADeploymentToolWhatIsLeft) {
    struct Case {
        const char* what;
        void (*script)();
        int exitCode;
        std::string last;
        const wchar_t* event = L"ReportEventW(2, 0, 1001, ";  // how its one event starts; null: none
    };
    const Case cases[] = {
        {"nothing there", [] {}, 0, Line(kCleanVerdict), L"ReportEventW(4, 0, 1000, "},
        {"the event log refuses the event", [] { TheFakeEventLog().registerError = 5; }, 0,
         Line(kCleanVerdict) + "Can't write the run's event. Error: 5\n", nullptr},
        {"a removal that needs a restart", [] {
             FakeMsiInstallProduct(L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}", L"{8C2F6A19-0000-0000-0000-000000000001}",
                                   L"C:\\1.msi", FakeMsiPackage{});
             TheFakeMsi().products.back().removedResult = ERROR_SUCCESS_REBOOT_INITIATED;
         },
         3010, Line(kCleanVerdict)},
        {"a device removal that needs a restart", [] {
             auto& node = TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0031"].nodes.emplace_back();
             node.instanceId.value = L"USB\\VID_7F3A&PID_0031\\SN1";
             node.installFlags = DI_NEEDREBOOT;
             node.infPath.error = 1168;
         },
         3010, Line(kCleanVerdict)},
        {"a package the store keeps for a node left for the restart", [] { PlantPackageInUse(true); }, 3010,
         Line(kNodeLabel, "USB\\VID_7F3A&PID_0042&MI_00\\7&1" + kWaits) + Line(kPackageAfterRestartLabel, "oem50.inf") +
             Line(kCleanVerdict)},
        {"a package the store keeps with no node left for the restart", [] { PlantPackageInUse(false); }, 1603,
         Line(kPackageWithoutDeviceLabel, "oem50.inf") + Line(kFoundVerdictLabel, "0 mark=0 nodes=0 packages=1"),
         L"ReportEventW(1, 0, 1003, "},
        {"a device removal that asked for a restart, the node then showing DN_NEED_RESTART only", [] {
             auto& node = TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0031"].nodes.emplace_back();
             node.instanceId.value = L"USB\\VID_7F3A&PID_0031\\SN1";
             node.infPath.error = 1168;
             node.removalWaitsForRestart = true, node.problemWhileWaiting = 0, node.status = DN_NEED_RESTART;
         },
         3010, Line(kNodeLabel, "USB\\VID_7F3A&PID_0031\\SN1, its removal finishes when the computer restarts") +
                   Line(kCleanVerdict)},
        {"another installation in progress", [] {
             FakeMsiInstallProduct(L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}", L"{8C2F6A19-0000-0000-0000-000000000001}",
                                   L"C:\\1.msi", FakeMsiPackage{});
             TheFakeMsi().products.back().installFailure = ERROR_INSTALL_ALREADY_RUNNING;
             FakeMsiInstallProduct(L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}", L"{8C2F6A19-0000-0000-0000-000000000002}",
                                   L"C:\\2.msi", FakeMsiPackage{});
             TheFakeMsi().products.back().installFailure = 1603;
         },
         1618, Line(kFoundVerdictLabel, "2 mark=0 nodes=0 packages=0"), L"ReportEventW(2, 0, 1002, "},
        {"a product that cannot be removed", [] {
             FakeMsiInstallProduct(L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}", L"{8C2F6A19-0000-0000-0000-000000000001}",
                                   L"C:\\1.msi", FakeMsiPackage{});
             TheFakeMsi().products.back().installFailure = 1603;
             TheFakeMsi().products.back().removedResult = ERROR_SUCCESS_REBOOT_REQUIRED;
         },
         1603, Line(kFoundVerdictLabel, "1 mark=0 nodes=0 packages=0"), L"ReportEventW(1, 0, 1003, "},
        {"a package that cannot be removed", [] {
             FakeStoreInf(L"oem7.inf", FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0031")}}}));
             TheFakeSetupApi().uninstallErrors[L"oem7.inf"] = 5;
         },
         1603, Line(kFoundVerdictLabel, "0 mark=0 nodes=0 packages=1"), L"ReportEventW(1, 0, 1003, "},
        {"what is left cannot be told", [] { TheFakeKernel().listError = 5; }, 1603, kIncomplete,
         L"ReportEventW(1, 0, 1003, "},
        {"another maker's package under a scanner node's name, held open sharing nothing", [] {
             TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0031"].nodes = {
                 Node(L"USB\\VID_7F3A&PID_0031\\SN1", L"oem33.inf", L"1", false)};
             FakeInf held = FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_04A9&PID_2222")}}});
             held.openError = 32;  // a sharing violation
             FakeStoreInf(L"oem33.inf", held);
         },
         1603, Line(kUnreadPackageLabel, "oem33.inf. Error: 32") + kIncomplete, L"ReportEventW(1, 0, 1003, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.script();
        EXPECT_EQ(RunProgram({L"-Quiet"}, false), c.exitCode);
        EXPECT_TRUE(RunLogText().ends_with(c.last + "Exit code: " + std::to_string(c.exitCode) + "\n"))
            << RunLogText();
        const auto events = FakeCallsStartingWith(L"ReportEventW");
        EXPECT_TRUE(c.event == nullptr ? events.empty() : events.size() == 1 && events[0].starts_with(c.event));
        const auto& uninstalled = TheFakeSetupApi().uninstalledInfs;
        EXPECT_EQ(std::count(uninstalled.begin(), uninstalled.end(), L"oem33.inf"), 0) << "a package not read is kept";
        for (const auto& node : TheFakeSetupApi().hardwareIds[L"USB\\VID_7F3A&PID_0031"].nodes)
            EXPECT_TRUE(node.quietAtRemoval) << "no installer may wait for a user";
    }
}

const wchar_t* const kFirstOfPair = L"{3A7E05D2-0000-0000-0000-000000000002}";
const wchar_t* const kSecondOfPair = L"{3A7E05D2-0000-0000-0000-000000000003}";

bool Installed(const wchar_t* productCode) {
    for (const auto& product : TheFakeMsi().products)
        if (product.productCode == productCode) return true;
    return false;
}

// The scanner machine with its products' packages as the scanner's are (the
// launch condition to replace, the check action to disable), two products of
// one upgrade code, and registry values beside the mark.
void PlantMachineToInterrupt() {
    PlantScannerMachine();
    for (const wchar_t* path : {L"C:\\windows\\Installer\\1.msi", L"C:\\windows\\Installer\\2.msi"})
        TheFakeMsi().packages[path].installExecuteSequence = FakeScannerSequence();
    TheFakeMsi().packages[L"C:\\windows\\Installer\\1.msi"].launchConditions = {
        {L"VersionNT = 602", L"Not for this Windows."}};
    FakeMsiInstallProduct(L"{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}", kSecondOfPair,
                          L"C:\\windows\\Installer\\3.msi", FakeMsiPackage{{}, {}, FakeScannerSequence(), {}, {}});
    TheFakeRegistry().view32[L"Software\\NerovanDrv"].values[L"InstallDir"] = L"C:\\Nerovan";
    TheFakeRegistry().view64[L"Software\\NerovanDrv"].values[L"DriverName"] = L"other";
}

// What a run can change on the fake machine, as text.
std::wstring MachineState() {
    std::wostringstream state;
    for (const auto& product : TheFakeMsi().products)
        state << L"product " << product.upgradeCode << L' ' << product.productCode << L'\n';
    for (const auto& [path, package] : TheFakeMsi().packages) {
        state << L"package " << path;
        for (const auto& row : package.launchConditions) state << L" [" << row.condition << L']';
        for (const auto& row : package.installExecuteSequence) state << L' ' << row.action << L'=' << row.condition;
        state << L'\n';
    }
    auto& registry = TheFakeRegistry();
    for (const auto& [view, keys] : {std::pair{L"32", &registry.view32}, {L"64", &registry.view64}})
        for (const auto& [key, contents] : *keys)
            for (const auto& [name, data] : contents.values)
                state << view << L' ' << key << L' ' << name << L'=' << data << L'\n';
    for (const auto& [id, script] : TheFakeSetupApi().hardwareIds)
        for (const auto& node : script.nodes)
            state << L"node " << node.instanceId.value << (node.removed ? L" removed" : L"") << L'\n';
    for (const auto& name : TheFakeKernel().folders[L"C:\\windows\\inf"]) state << L"inf " << name << L'\n';
    return state.str();
}

// A run cut off anywhere (a power cut, a closed console) is finished by the
// next /quiet: the plain run and /quiet, each stopped before every call in
// turn (a close aside: it changes nothing on the machine), then /quiet on
// what was left ends CLEAN with the machine as one whole /quiet leaves it, so
// nothing outside the tables was touched. The calls are counted, not listed:
// a call added later is covered as well.
TEST_F(CheckAndQuietTest, ARunCutOffAfterAnyCallIsFinishedByTheNextQuietRun) {
    PlantMachineToInterrupt();
    ASSERT_EQ(RunProgram({L"/quiet"}, false), 0);
    const std::wstring finished = MachineState();
    EXPECT_EQ(TheFakeMsi().products.size(), 1u) << "the other maker's product stays";
    EXPECT_EQ(TheFakeMsi().packages.size(), 1u) << "and its package, no other";
    EXPECT_EQ(TheFakeRegistry().view32[L"Software\\NerovanDrv"].values.size(), 1u) << "InstallDir stays";
    EXPECT_EQ(TheFakeRegistry().view64[L"Software\\NerovanDrv"].values.size(), 1u);
    for (const wchar_t* other : {L"USB\\VID_04A9&PID_0031", L"USB\\VID_04A9&PID_0042&MI_00", L"USB\\VID_7F3A&PID_0042&MI_0G"})
        EXPECT_FALSE(TheFakeSetupApi().hardwareIds[other].nodes[0].removed);

    for (const bool quiet : {false, true}) {
        bool stoppedBetweenProductsOfOneUpgradeCode = false;
        bool stopped = true;
        for (std::size_t n = 1; stopped && !HasFailure(); ++n) {
            SCOPED_TRACE(testing::Message() << (quiet ? "/quiet" : "plain run") << " stopped at call " << n);
            TearDown();
            SetUp();
            PlantMachineToInterrupt();
            FakeStopAtCall(n);
            stopped = false;
            try {
                if (quiet) {
                    RunProgram({L"/quiet"}, false);
                } else {
                    OpenLog();
                    Input("y\n");
                    RunProgram({}, true);
                }
            } catch (const FakeRunStopped&) {
                stopped = true;
            }
            CloseRunLog();  // the program's own state; the kill below drops its handles
            FakeEndProcess();
            if (!Installed(kFirstOfPair) && Installed(kSecondOfPair)) stoppedBetweenProductsOfOneUpgradeCode = true;

            ++TheFakeKernel().tickCount;  // the next run's log gets a name of its own
            const int exitCode = RunProgram({L"/quiet"}, false);
            EXPECT_TRUE(exitCode == 0 || exitCode == 3010) << exitCode;
            EXPECT_TRUE(RunLogText().ends_with(Line(kCleanVerdict) + "Exit code: " + std::to_string(exitCode) + "\n"))
                << RunLogText();
            EXPECT_EQ(MachineState(), finished);
        }
        EXPECT_TRUE(stoppedBetweenProductsOfOneUpgradeCode);
    }
}

TEST_F(CheckAndQuietTest, LogFolderThatCannotBeEnteredIsAnUnwritableWorkingDirectory) {
    EXPECT_EQ(RunProgram({L"/quiet", L"/logdir:" + (dir_ / "missing").wstring()}, false), -1);
    EXPECT_EQ(Console(), kBanner + "Can't create log file\n");
    EXPECT_FALSE(RunLogIsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
    EXPECT_TRUE(FakeCallsStartingWith(L"MsiSetInternalUI").empty());
    EXPECT_EQ(FakeCallsStartingWith(L"ReportEventW"),
              std::vector<std::wstring>{L"ReportEventW(1, 0, 1004, \"Can't create log file\", \"-1\", " +
                                        kQuotedCommandLine + L", \"none\", \"\")"});
}

}  // namespace
