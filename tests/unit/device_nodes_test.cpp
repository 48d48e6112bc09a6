#include <gtest/gtest.h>

#include "devices/device_nodes.h"
#include "devices/driver_packages.h"
#include "fake/fake_setupapi.h"
#include "run/run_cleanup.h"
#include "unit/clean_machine.h"
#include "unit/report_fixture.h"

namespace {

const wchar_t* const kId = L"USB\\VID_7F3A&PID_0031";
const wchar_t* const kOneId[] = {kId, nullptr};
const char* const kCheckLine = "Check device with HardwareId: USB\\VID_7F3A&PID_0031";
const GUID kImageClass{0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};
const char* const kImageLine =
    "Find device with class: {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} Instance: 7";
constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x8007000E);

// A node of the image class, its instance id the device id and DevInst + 1.
FakeDeviceNode Node(DWORD devInst, const wchar_t* inf, const wchar_t* version, const std::wstring& id = kId) {
    FakeDeviceNode node;
    node.classGuid = kImageClass;
    node.devInst = devInst;
    node.instanceId.value = id + L"\\" + std::to_wstring(devInst + 1);
    node.infPath.value = inf;
    node.version.value = version;
    return node;
}

// The report of a node Node(devInst, inf, version) removed.
std::string Removed(DWORD devInst, const std::string& inf, const std::string& version) {
    return Lines({"", ("Find device with class: {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} Instance: " +
                       std::to_string(devInst)).c_str(),
                  ("Device instance id: USB\\VID_7F3A&PID_0031\\" + std::to_string(devInst + 1)).c_str(),
                  ("Device inf file path: " + inf).c_str(), ("Device driver version: " + version).c_str(),
                  "Device node has removed successfully"});
}

const std::string kRestart = Lines({"Restart the computer to finish the removal."});

// A node whose install parameters, read after its removal, hold flags (or
// cannot be read: error).
FakeDeviceNode Installed(FakeDeviceNode node, DWORD flags, DWORD error) {
    node.installFlags = flags;
    node.installParamsError = error;
    return node;
}

FakeDeviceNode Scanner() { return Node(7, L"oem9.inf", L"2.1.0.5"); }

template <typename Change>
FakeDeviceNode Scanner(Change change) {
    FakeDeviceNode node = Scanner();
    change(node);
    return node;
}

class DeviceNodesTest : public ReportFixture {
protected:
    void ExpectReport(const std::string& expected) {
        EXPECT_EQ(Console(), expected);
        EXPECT_EQ(RunLogText(), expected);
    }
};

struct ReportCase {
    const char* what;
    FakeDeviceSetScript script;
    HRESULT guidResult;
    std::string report;
    InfNameSet gathered;
    std::size_t destroys;
    std::size_t removals;  // the nodes selected
};

TEST_F(DeviceNodesTest, ReportsTheSetAndEachMemberRowByRow) {
    const std::string head = Lines({"", kCheckLine});
    const ReportCase cases[] = {
        {"set not created", {5, {}, ERROR_NO_MORE_ITEMS}, S_OK,
         head + Lines({"Can't create device information set. Error: 5"}), {}, 0, 0},
        {"nothing ever registered under the enumerator", {ERROR_INVALID_DATA, {}, ERROR_NO_MORE_ITEMS}, S_OK,
         head, {}, 0, 0},
        {"empty set", {}, S_OK, head, {}, 1, 0},
        {"every query succeeds", {0, {Scanner()}, ERROR_NO_MORE_ITEMS}, S_OK, head + Removed(7, "oem9.inf", "2.1.0.5"),
         {L"oem9.inf"}, 2, 1},
        {"enumeration fails after two members", {0, {Node(0, L"oem1.inf", L"1"), Node(1, L"oem2.inf", L"2")}, 87}, S_OK,
         head + Removed(0, "oem1.inf", "1") + Removed(1, "oem2.inf", "2") +
             Lines({"Can't enumerate device information set. Error: 87"}),
         {L"oem1.inf", L"oem2.inf"}, 2, 2},
        {"class GUID without text; a node whose instance id ends with 259 is kept",
         {0, {Scanner([](auto& n) { n.instanceId = {L"USB\\VID_7F3A&PID_0031\\SN0", ERROR_NO_MORE_ITEMS}; }), Scanner()},
          ERROR_NO_MORE_ITEMS},
         kOutOfMemory,
         head + Lines({"Can't get device instance id. Error: 259", "", "Find device with class: error Instance: 7",
                       "Device instance id: USB\\VID_7F3A&PID_0031\\8", "Device inf file path: oem9.inf",
                       "Device driver version: 2.1.0.5", "Device node has removed successfully"}),
         {L"oem9.inf"}, 2, 1},
        {"instance id too long (kept); INF path missing, version missing, removal refused",
         {0, {Scanner([](auto& n) { n.instanceId.value = std::wstring(600, L'X'); }), Scanner([](auto& n) {
              n.infPath.error = 1168;
              n.version.error = 1168;
              n.removeError = 5;
          })},
          ERROR_NO_MORE_ITEMS},
         S_OK,
         head + Lines({"Can't get device instance id. Error: 122", "", kImageLine,
                       "Device instance id: USB\\VID_7F3A&PID_0031\\8",
                       "Can't get device inf file path. Error: 1168", "Can't remove device node. Error: 5"}),
         {}, 2, 1},
        // The set's flag is taken away once read: the node after it tells its own.
        {"removals that finish with a restart, by the node's flags or the set's, and one whose parameters cannot be read",
         {0,
          {Installed(Node(0, L"oem1.inf", L"1"), DI_NEEDREBOOT | 0x10, 0), Installed(Node(1, L"oem2.inf", L"2"), DI_NEEDRESTART, 0),
           [] { auto n = Node(2, L"oem3.inf", L"3"); n.removalWaitsForRestart = n.restartFlagOnSet = true; return n; }(),
           Installed(Node(3, L"oem4.inf", L"4"), DI_NEEDREBOOT, 87)},
          ERROR_NO_MORE_ITEMS},
         S_OK,
         head + Removed(0, "oem1.inf", "1") + kRestart + Removed(1, "oem2.inf", "2") + kRestart +
             Removed(2, "oem3.inf", "3") + kRestart + Removed(3, "oem4.inf", "4"),
         {L"oem1.inf", L"oem2.inf", L"oem3.inf", L"oem4.inf"}, 2, 4},
        {"empty INF path", {0, {Node(7, L"", L"2.1.0.5")}, ERROR_NO_MORE_ITEMS}, S_OK, head + Removed(7, "", "2.1.0.5"),
         {L""}, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        OpenLog();
        // The set's failures are the enumerator's; the nodes the id's.
        TheFakeSetupApi().hardwareIds[L"USB"] = {c.script.createError, {}, c.script.endError};
        TheFakeSetupApi().hardwareIds[kId].nodes = c.script.nodes;
        TheFakeOle32().stringFromClsidResult = c.guidResult;
        InfNameSet gathered;
        RemoveScannerDevices(kOneId, gathered);
        ExpectReport(c.report);
        EXPECT_EQ(gathered, c.gathered);
        const auto setupCalls = FakeCallsStartingWith(L"Setup");
        EXPECT_EQ(FakeCallsStartingWith(L"SetupDiDestroyDeviceInfoList").size(), c.destroys);
        if (c.destroys != 0) {
            EXPECT_EQ(setupCalls.back(), L"SetupDiDestroyDeviceInfoList(set" + std::to_wstring(c.destroys) + L")");
        }
        const std::size_t visited = FakeCallsStartingWith(L"SetupDiCallClassInstaller").size();
        EXPECT_EQ(visited, c.removals) << "every node selected gets its removal";
        EXPECT_EQ(FakeCallsStartingWith(L"CoTaskMemFree").size(), c.guidResult == S_OK ? visited : 0)
            << "each GUID text the platform made is freed, and only those";
    }
}

TEST_F(DeviceNodesTest, PassesTheBuildsRecordSizeAndReadsTheInfBeforeTheRemoval) {
    TheFakeSetupApi().hardwareIds[kId].nodes = {Scanner()};
    InfNameSet gathered;
    RemoveScannerDevices(kOneId, gathered);

    const std::wstring cbSize = std::to_wstring(sizeof(SP_DEVINFO_DATA));
    const std::wstring paramsSize = std::to_wstring(sizeof(SP_DEVINSTALL_PARAMS_W));
    const std::wstring bytes = std::to_wstring(512 * sizeof(WCHAR));
    const std::wstring driverKey = L"{A8B865DD-2E3D-4094-AD97-E593A70C75D6}";
    const std::wstring guid = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
    const std::vector<std::wstring> expected = {
        L"SetupDiGetClassDevsW(null, \"USB\", null, 4)",
        L"SetupDiEnumDeviceInfo(set1, 0, cbSize " + cbSize + L")",
        L"SetupDiGetDeviceInstanceIdW(set1, member 0, 512, null)",
        L"SetupDiEnumDeviceInfo(set1, 1, cbSize " + cbSize + L")",
        L"SetupDiDestroyDeviceInfoList(set1)",
        L"SetupDiCreateDeviceInfoList(null, null)",
        L"SetupDiOpenDeviceInfoW(set2, \"USB\\VID_7F3A&PID_0031\\8\", null, 0, cbSize " + cbSize + L")",
        L"StringFromCLSID(" + guid + L")",
        L"CoTaskMemFree(" + guid + L")",
        L"SetupDiGetDeviceInstanceIdW(set2, member 0, 512, null)",
        L"SetupDiGetDevicePropertyW(set2, member 0, " + driverKey + L" 5, type, " + bytes +
            L", null, 0)",
        L"SetupDiGetDevicePropertyW(set2, member 0, " + driverKey + L" 3, type, " + bytes +
            L", null, 0)",
        L"SetupDiCallClassInstaller(5, set2, member 0)",
        L"SetupDiGetDeviceInstallParamsW(set2, member 0, cbSize " + paramsSize + L")",
        L"SetupDiGetDeviceInstallParamsW(set2, null, cbSize " + paramsSize + L")",
        L"SetupDiDestroyDeviceInfoList(set2)",
    };
    EXPECT_EQ(FakeCalls().calls, expected);
}

TEST_F(DeviceNodesTest, TextFillingTheWholeBufferIsReadNoFurther) {
    // A platform that returns a full buffer without a NUL: the text ends with
    // the buffer (the version query then overwrites only its own units).
    TheFakeSetupApi().hardwareIds[kId].nodes = {Scanner([](auto& n) {
        n.infPath = {std::wstring(512, L'N'), 0, false};
        n.version = {L"2.1", 0, false};
    })};
    InfNameSet gathered;
    RemoveScannerDevices(kOneId, gathered);
    const std::string id = "Device instance id: USB\\VID_7F3A&PID_0031\\8";
    const std::string inf = "Device inf file path: " + std::string(512, 'N');
    const std::string version = "Device driver version: 2.1" + std::string(509, 'N');

    EXPECT_EQ(Console(), Lines({"", kCheckLine, "", kImageLine, id.c_str(), inf.c_str(),
                                version.c_str(), "Device node has removed successfully"}));
    EXPECT_EQ(gathered, InfNameSet{std::wstring(512, L'N')});
}

TEST_F(DeviceNodesTest, GathersInfNamesOnceEachInCodeUnitOrderAcrossHardwareIds) {
    auto& ids = TheFakeSetupApi().hardwareIds;
    ids[kId].nodes = {Node(0, L"oem9.inf", L"1"), Node(1, L"oem10.inf", L"1")};
    const wchar_t* const twoIds[] = {kId, L"USB\\VID_7F3A&PID_8064", nullptr};
    ids[twoIds[1]].nodes = {Node(0, L"OEM9.inf", L"1", twoIds[1]), Node(1, L"oem9.inf", L"1", twoIds[1]),
                            Node(2, L"", L"1", twoIds[1]), Node(3, L"oem9.inf.", L"1", twoIds[1])};
    InfNameSet gathered;
    RemoveScannerDevices(twoIds, gathered);
    const std::vector<std::wstring> order(gathered.begin(), gathered.end());
    EXPECT_EQ(order, (std::vector<std::wstring>{L"", L"OEM9.inf", L"oem10.inf", L"oem9.inf",
                                                L"oem9.inf."}));
}

TEST_F(DeviceNodesTest, RunGathersAcrossAllIdsThenRemovesThePackagesInSetOrder) {
    const std::string last = TestTable("hardware-id").back();
    const std::wstring lastId(last.begin(), last.end());
    auto& ids = TheFakeSetupApi().hardwareIds;
    ids[kId].nodes = {Node(3, L"oem9.inf", L"1.0")};
    ids[lastId].nodes = {Node(4, L"oem10.inf", L"2.0", lastId)};
    for (const wchar_t* name : {L"oem9.inf", L"oem10.inf"})
        FakeStoreInf(name, FakeInfOf({{L"Models", {FakeModel(L"USB\\VID_7F3A&PID_0031")}}}));
    TheFakeSetupApi().uninstallErrors[L"oem10.inf"] = ERROR_FILE_NOT_FOUND;
    OpenLog();
    Input("y\n");
    ASSERT_EQ(RunCleanup(), 0);
    const std::string tail = "\nCheck device with HardwareId: " + last + "\n" + Lines({
        "", "Find device with class: {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} Instance: 4",
        ("Device instance id: " + last + "\\5").c_str(), "Device inf file path: oem10.inf",
        "Device driver version: 2.0", "Device node has removed successfully",
        "Remove driver package for inf file: oem10.inf", "Can't remove device inf file. Error: 2",
        "Remove driver package for inf file: oem9.inf",
        "Device inf file has removed successfully"});
    const std::string log = RunLogText();
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
    EXPECT_EQ(FakeCallsStartingWith(L"SetupDiGetClassDevsW").size(), 1u) << "one set of USB nodes for every id";
    EXPECT_EQ(TheFakeSetupApi().uninstalledInfs, std::vector<std::wstring>{L"oem9.inf"});
    EXPECT_TRUE(FakeCallsStartingWith(L"SetupSetNonInteractiveMode").empty()) << "an administrator sits at it";
    EXPECT_TRUE(FakeCallsStartingWith(L"SetupDiSetDeviceInstallParamsW").empty());
}

}  // namespace
