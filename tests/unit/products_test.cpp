#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <regex>
#include <string>
#include <vector>

#include "fake/fake_kernel.h"
#include "fake/fake_msi.h"
#include "products/original_packages.h"
#include "products/package_database.h"
#include "products/related_products.h"
#include "run/inventory.h"
#include "run/run_cleanup.h"
#include "unit/clean_machine.h"
#include "unit/report_fixture.h"

namespace {

const wchar_t* const kRow1 = L"{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}";
const wchar_t* const kRow2 = L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}";  // also the patched product
const wchar_t* const kRow3 = L"{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}";
const wchar_t* const kPatched = L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}";  // as the installer lists it
const wchar_t* const kPackage = L"C:\\windows\\Installer\\5e93a1.msi";
const wchar_t* const kDescription = L"This driver can't be installed on this version of Windows.";

const std::wstring kConditionQuery = L"SELECT `Condition`, `Description` FROM `LaunchCondition`";
const std::wstring kInsert =
    L"INSERT INTO `LaunchCondition` (`Condition`, `Description`) VALUES (?, ?)";
const std::wstring kDelete = L"DELETE FROM `LaunchCondition` WHERE `Condition`='VersionNT = 602'";
const std::wstring kActionQuery =
    L"SELECT * FROM `InstallExecuteSequence` WHERE `Action`='CheckDriverUninstallResult'";
const std::wstring kUpdate =
    L"UPDATE  `InstallExecuteSequence` SET `Condition` = '0' WHERE `Action`='CheckDriverUninstallResult'";

// Report lines of a patched product at kPackage.
const std::string kFound = "Found driver product package: {5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}";
const std::string kOpened = "Driver installer data base has open successfully.";
const std::string kDescribed =
    "Invalid condition description string: This driver can't be installed on this version of Windows.";
const std::string kChanged = "Driver installer data base has changed successfully.";
const std::string kCachePath = "Driver product package cache path: C:\\windows\\Installer\\5e93a1.msi";
const std::string kRemoved = "Driver product package has remove successfully";
const std::string kNotRemoved = "Can't remove driver product package. Error: 1603";
const std::string kRestart = "Restart the computer to finish the removal.";
const std::string kInvalidCondition =
    "Can't make changes in package installer data base (InvalidCondition).";
const std::string kCheckUninstallAction =
    "Can't make changes in package installer data base (CheckUninstallAction).";

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

FakeMsiFailure Fail(const wchar_t* operation, UINT code, const std::wstring& statement = L"",
                    UINT field = 0) {
    return {operation, code, statement, field};
}

FakeMsiPackage Package(bool launchCondition, bool checkAction,
                       const std::wstring& description = kDescription) {
    FakeMsiPackage package;
    if (launchCondition)
        package.launchConditions = {{L"VersionNT = 602", description},
                                    {L"Privileged", L"Administrator rights are needed."}};
    package.installExecuteSequence = FakeScannerSequence();
    if (!checkAction) std::erase_if(package.installExecuteSequence, [](const FakeSequenceRow& row) {
        return row.action == L"CheckDriverUninstallResult";
    });
    return package;
}

// The package after a commit of every edit the cleanup makes.
FakeMsiPackage Patched(FakeMsiPackage package, bool launchCondition, bool checkAction) {
    if (launchCondition) {
        const std::wstring description = package.launchConditions[0].description;
        package.launchConditions.erase(package.launchConditions.begin());
        package.launchConditions.push_back({L"Installed OR VersionNT >= 602", description});
    }
    if (checkAction)
        for (auto& row : package.installExecuteSequence)
            if (row.action == L"CheckDriverUninstallResult") row.condition = L"0";
    return package;
}

class ProductsTest : public ReportFixture {
protected:
    // Patches the package at kPackage as the product with that code.
    void Patch(const wchar_t* productCode) {
        MSIHANDLE database = 0;
        ASSERT_EQ(MsiOpenDatabaseW(kPackage, MSIDBOPEN_TRANSACT, &database), 0u);
        PatchPackageDatabase(database, productCode);
        MsiCloseHandle(database);
    }
    std::size_t Commits() { return FakeCallsStartingWith(L"MsiDatabaseCommit").size(); }
};

TEST_F(ProductsTest, CommitsExactlyWhenTheConditionWasReplacedOrTheActionDisabled) {
    struct Case {
        bool launchCondition, checkAction, updateFails, committed;
        std::vector<std::string> lines;
    };
    const std::string updateFailed =
        "Can't execute update to InstallExecuteSequence table in package installer data base. Error: 1627";
    const Case cases[] = {
        {true, false, false, true, {kDescribed, kChanged}},
        {true, true, false, true, {kDescribed, kChanged}},
        {true, true, true, true, {kDescribed, updateFailed, kCheckUninstallAction, kChanged}},
        {false, false, false, false, {}},
        {false, true, false, true, {kChanged}},
        {false, true, true, false, {updateFailed, kCheckUninstallAction}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "condition " << c.launchCondition << ", action "
                                        << c.checkAction << ", update fails " << c.updateFails);
        TearDown();
        SetUp();
        const FakeMsiPackage original = Package(c.launchCondition, c.checkAction);
        TheFakeMsi().packages[kPackage] = original;
        if (c.updateFails) TheFakeMsi().failures.push_back(Fail(L"MsiViewExecute", 1627, kUpdate));
        Patch(kRow2);
        EXPECT_EQ(Console(), Join(c.lines));
        EXPECT_EQ(Commits(), c.committed ? 1u : 0u);
        const FakeMsiPackage expected =
            c.committed ? Patched(original, c.launchCondition, c.checkAction && !c.updateFails)
                        : original;
        EXPECT_EQ(TheFakeMsi().packages[kPackage], expected);
    }
}

TEST_F(ProductsTest, EachFailingInstallerCallIsReportedAndTheRemovalGoesOn) {
    struct Case {
        FakeMsiFailure failure;
        std::vector<std::string> lines;
    };
    const std::string q = " in package installer data base. Error: ";
    const Case cases[] = {
        {Fail(L"MsiGetProductInfoW", 1610),
         {kFound, "Can't get product local cache path property. Error: 1610"}},
        {Fail(L"MsiOpenDatabaseW", 110),
         {kFound, "Can't open package installer data base. Error: 110", kCachePath, kNotRemoved}},
        {Fail(L"MsiDatabaseOpenViewW", 1615, kConditionQuery),
         {kFound, kOpened, "Can't query condition table" + q + "1615", kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiViewExecute", 1627, kConditionQuery),
         {kFound, kOpened, "Can't execute query condition table" + q + "1627", kChanged, kCachePath,
          kNotRemoved}},
        {Fail(L"MsiViewFetch", 1627, kConditionQuery), {kFound, kOpened, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiRecordGetStringW", 1627, kConditionQuery, 1),
         {kFound, kOpened, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiRecordGetStringW", 1627, kConditionQuery, 2),
         {kFound, kOpened, "Invalid condition description string: ", kChanged, kCachePath, kRemoved}},
        {Fail(L"MsiDatabaseOpenViewW", 1615, kInsert),
         {kFound, kOpened, kDescribed, "Can't open insert to condition table" + q + "1615",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiViewExecute", 1627, kInsert),
         {kFound, kOpened, kDescribed, "Can't execute insert to condition table" + q + "1627",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiCreateRecord", 0),
         {kFound, kOpened, kDescribed, "Can't execute insert to condition table" + q + "14",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiRecordSetStringW", 87, L"", 2),
         {kFound, kOpened, kDescribed, "Can't execute insert to condition table" + q + "87",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiDatabaseOpenViewW", 1615, kDelete),
         {kFound, kOpened, kDescribed, "Can't open delete to condition table" + q + "1615",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiViewExecute", 1627, kDelete),
         {kFound, kOpened, kDescribed, "Can't execute delete to condition table" + q + "1627",
          kInvalidCondition, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiDatabaseOpenViewW", 1615, kActionQuery),
         {kFound, kOpened, kDescribed, "Can't query InstallExecuteSequence" + q + "1615", kChanged,
          kCachePath, kNotRemoved}},
        {Fail(L"MsiViewExecute", 1627, kActionQuery),
         {kFound, kOpened, kDescribed, "Can't execute query InstallExecuteSequence" + q + "1627",
          kChanged, kCachePath, kNotRemoved}},
        // A fetch failing otherwise than with "no more items" counts as the action's row.
        {Fail(L"MsiViewFetch", 1627, kActionQuery),
         {kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved}},
        {Fail(L"MsiDatabaseOpenViewW", 1615, kUpdate),
         {kFound, kOpened, kDescribed,
          "Can't open update to condition InstallExecuteSequence" + q + "1615",
          kCheckUninstallAction, kChanged, kCachePath, kNotRemoved}},
        {Fail(L"MsiDatabaseCommit", 1627),
         {kFound, kOpened, kDescribed, "Can't commit changes" + q + "1627", kCachePath, kNotRemoved}},
        {Fail(L"MsiEnableLogW", 1627), {kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved}},
        {Fail(L"MsiInstallProductW", 1618),
         {kFound, kOpened, kDescribed, kChanged, kCachePath,
          "Can't remove driver product package. Error: 1618"}},
        // Removed, with a restart still to come.
        {Fail(L"MsiInstallProductW", 3010),
         {kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved, kRestart}},
        {Fail(L"MsiInstallProductW", 1641),
         {kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved, kRestart}},
        {Fail(L"MsiInstallProductW", 3011),
         {kFound, kOpened, kDescribed, kChanged, kCachePath,
          "Can't remove driver product package. Error: 3011"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.failure.operation.begin(), c.failure.operation.end())
                                        << " failing on " << std::string(c.failure.statement.begin(), c.failure.statement.end()));
        TearDown();
        SetUp();
        OpenLog();
        FakeMsiInstallProduct(kRow2, kRow2, kPackage, Package(true, true));
        TheFakeMsi().failures.push_back(c.failure);
        RemoveProduct(kPatched);
        EXPECT_EQ(Console(), Join(c.lines));
        EXPECT_EQ(RunLogText(), Join(c.lines));
        const bool uninstallAttempted = c.lines.size() > 2;
        EXPECT_EQ(TheFakeMsi().installs.size(), uninstallAttempted ? 1u : 0u);
        EXPECT_EQ(TheFakeMsi().logSettings.size(), uninstallAttempted ? 1u : 0u);
    }
}

TEST_F(ProductsTest, TheInstallerLogIsMadeNewAndHeldUntilTheUninstallEnds) {
    // Made by its bare name in the working directory; the installer is
    // handed the real path of the file made.
    const std::wstring name = L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}_uinstall.log";
    struct Case {
        const char* what;
        bool there;
        DWORD createError;
        const wchar_t* realFolder;  // where the working directory really is ("": that cannot be read)
        const char* failure;        // the line of an uninstall without a log
    };
    const Case cases[] = {
        {"a free name", false, 0, L"C:\\run", nullptr},
        // An older log, or a link planted under its name: the name goes first.
        {"a name already there", true, 0, L"C:\\run", nullptr},
        // A name that cannot be made new: the uninstall runs without a log.
        {"a name that cannot be made", true, ERROR_FILE_EXISTS, L"C:\\run", "Can't create installer log file. Error: 80"},
        {"a working directory on a share", false, 0, L"\\\\server\\share\\logs", nullptr},
        // No log, rather than one by a path that may lead elsewhere.
        {"a real path that cannot be read", false, 0, L"", "Can't create installer log file. Error: 6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        OpenLog();
        FakeMsiInstallProduct(kRow2, kRow2, kPackage, Package(true, true));
        if (c.there) TheFakeKernel().files[name] = "planted";
        if (c.createError != 0) TheFakeKernel().createErrors[name] = c.createError;
        TheFakeKernel().finalPaths[TheFakeKernel().currentDirectory] = c.realFolder;
        FakeSetFaultHook(*c.realFolder != L'\0' ? nullptr : +[](std::wstring_view operation) {
            FakeFault fault;
            fault.failure = operation.starts_with(L"GetFinalPathNameByHandleW") ? 6 : 0;  // ERROR_INVALID_HANDLE
            return fault;
        });

        RemoveProduct(kPatched);
        FakeSetFaultHook(nullptr);

        std::vector<std::string> lines{kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved};
        if (c.failure != nullptr) lines.insert(lines.begin() + 4, c.failure);
        const std::wstring logSetting = c.failure != nullptr ? L"MsiEnableLogW(0x0, null, 0)"
                                        : L"MsiEnableLogW(0x1400, \"" + std::wstring(c.realFolder) + L"\\" + name + L"\", 3)";
        EXPECT_EQ(Console(), Join(lines));
        EXPECT_EQ(FakeCallsStartingWith(L"MsiEnableLogW"), std::vector<std::wstring>{logSetting});
        const auto& calls = FakeCalls().calls;
        const auto at = [&](const std::wstring& call) {
            return std::find(calls.begin(), calls.end(), call) - calls.begin();
        };
        const std::wstring create = L"CreateFileW(\"" + name + L"\", 0x4, 0x3, 1, 0x200080)";
        EXPECT_EQ(at(L"DeleteFileW(\"" + name + L"\")") + 1, at(create));
        EXPECT_EQ(FakeCallsStartingWith(L"MsiInstallProductW").size(), 1u);
        if (c.createError == 0) {
            EXPECT_EQ(TheFakeKernel().files[name], "");
            EXPECT_LT(at(create), at(logSetting));
            EXPECT_LT(at(FakeCallsStartingWith(L"MsiInstallProductW")[0]), at(L"CloseHandle(\"" + name + L"\")"));
        }
    }
}

TEST_F(ProductsTest, EveryRelatedProductIsListedFirstThenRemovedInOrder) {
    const wchar_t* const products[] = {L"{11111111-2222-3333-4444-555555555555}",
                                       L"{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}",
                                       L"{99999999-8888-7777-6666-555555555555}"};
    for (std::size_t count : {2u, 3u}) {
        SCOPED_TRACE(testing::Message() << count << " products");
        TearDown();
        SetUp();
        std::vector<std::string> lines{"", "Check product upgrade code: {8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}"};
        std::vector<std::wstring> codes;  // as the installer lists them
        for (std::size_t i = 0; i < count; ++i) {
            const std::wstring path = L"C:\\windows\\Installer\\" + std::to_wstring(i) + L".msi";
            FakeMsiInstallProduct(kRow3, products[i], path, Package(false, true));
            std::wstring& code = codes.emplace_back(products[i]);
            for (auto& ch : code) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
            lines.push_back("Found driver product package: " + std::string(code.begin(), code.end()));
            lines.insert(lines.end(), {kOpened, kChanged});
            lines.push_back("Driver product package cache path: C:\\windows\\Installer\\" +
                            std::to_string(i) + ".msi");
            lines.push_back(kRemoved);
        }
        PurgeRelatedProducts(kRow3);
        EXPECT_EQ(Console(), Join(lines));
        EXPECT_TRUE(TheFakeMsi().products.empty());
        // The enumeration ran to its end before the first removal.
        const auto& calls = FakeCalls().calls;
        std::size_t enumerations = 0;
        while (enumerations < calls.size() && calls[enumerations].starts_with(L"MsiEnumRelatedProductsW"))
            ++enumerations;
        EXPECT_EQ(enumerations, count + 1);
        // Each uninstall wrote to the log named after its own product.
        ASSERT_EQ(TheFakeMsi().installs.size(), count);
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(TheFakeMsi().installs[i].logFile, L"C:\\run\\" + codes[i] + L"_uinstall.log");
    }
}

TEST_F(ProductsTest, EnumerationFailureCodeAloneIsHexadecimal) {
    OpenLog();
    // Row 1: one product, then the enumeration fails with 1603 (0x643).
    FakeMsiInstallProduct(kRow1, L"{6B1D2E40-0000-0000-0000-000000000001}", L"C:\\a.msi",
                          Package(false, false));
    TheFakeMsi().enumerationEnd[kRow1] = 1603;
    // Row 2: fails at once with 87; row 3: a product whose removal fails with 1603.
    TheFakeMsi().enumerationEnd[kRow2] = 87;
    FakeMsiInstallProduct(kRow3, L"{8C2F6A19-0000-0000-0000-000000000003}", L"C:\\c.msi",
                          Package(false, true));
    TheFakeMsi().products.back().installFailure = 1603;
    for (const wchar_t* code : {kRow1, kRow2, kRow3}) PurgeRelatedProducts(code);
    const std::string expected = Join({
        "", "Check product upgrade code: {6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}",
        "Found driver product package: {6B1D2E40-0000-0000-0000-000000000001}", kOpened,
        "Driver product package cache path: C:\\a.msi", kRemoved,
        "Can't enumerate related products. Error: 643",
        "", "Check product upgrade code: {5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}",
        "Can't enumerate related products. Error: 57",
        "", "Check product upgrade code: {8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}",
        "Found driver product package: {8C2F6A19-0000-0000-0000-000000000003}", kOpened, kChanged,
        "Driver product package cache path: C:\\c.msi", kNotRemoved,
    });
    EXPECT_EQ(Console(), expected);
    EXPECT_EQ(RunLogText(), expected);
}

TEST_F(ProductsTest, OnlyThePatchedProductCodeInAnyLetterCaseHasItsConditionReplaced) {
    struct Case {
        const wchar_t* productCode;
        bool patched;
    };
    const Case cases[] = {
        {L"{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}", true},
        {L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}", true},
        {L"{5e93a1c7-0d42-4b6f-a2e8-7c19d3f5046b}", true},
        {L"{5e93A1c7-0D42-4B6f-a2E8-7c19D3f5046B}", true},
        {L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046C}", false},
        {L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B} ", false},
        {L"5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B", false},
        {L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046}", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.productCode).size());
        TearDown();
        SetUp();
        const FakeMsiPackage original = Package(true, true);
        TheFakeMsi().packages[kPackage] = original;
        Patch(c.productCode);
        EXPECT_EQ(Console(), c.patched ? Join({kDescribed, kChanged}) : Join({kChanged}));
        EXPECT_EQ(TheFakeMsi().packages[kPackage], Patched(original, c.patched, true));
        // Other products' launch conditions are not even read.
        EXPECT_EQ(FakeCallsStartingWith(L"MsiDatabaseOpenViewW(\"SELECT `Condition`").size(),
                  c.patched ? 1u : 0u);
    }
}

TEST_F(ProductsTest, TheReplacedConditionKeepsItsDescriptionWhole) {
    std::wstring longText;
    while (longText.size() < 300) longText += L"It's the scanner's driver; ";
    longText.resize(300);
    const std::wstring descriptions[] = {L"can't", L"'", L"''; DROP `LaunchCondition`", L"",
                                         std::wstring(258, L'd') + L"'",  // fills the first buffer
                                         std::wstring(259, L'e') + L"'", longText};
    for (const auto& description : descriptions) {
        SCOPED_TRACE(description.size());
        TearDown();
        SetUp();
        const FakeMsiPackage original = Package(true, false, description);
        TheFakeMsi().packages[kPackage] = original;
        Patch(kRow2);
        EXPECT_EQ(Console(), Join({"Invalid condition description string: " +
                                       std::string(description.begin(), description.end()),
                                   kChanged}));
        EXPECT_EQ(TheFakeMsi().packages[kPackage], Patched(original, true, false));
    }
}

TEST_F(ProductsTest, OnlyTheExactVersionConditionMatches) {
    for (const wchar_t* condition : {L"VersionNT=602", L"VersionNT = 602 ", L" VersionNT = 602",
                                     L"versionnt = 602", L"VersionNT = 6020"}) {
        TearDown();
        SetUp();
        FakeMsiPackage package = Package(false, false);
        package.launchConditions = {{condition, kDescription}};
        TheFakeMsi().packages[kPackage] = package;
        Patch(kRow2);
        EXPECT_EQ(Console(), "");
        EXPECT_EQ(Commits(), 0u);
    }
}

TEST_F(ProductsTest, ARunRemovesTheScannerProductsWithALogEach) {
    OpenLog();
    Input("y\n");
    FakeMsiInstallProduct(kRow2, kRow2, kPackage, Package(true, true));
    FakeMsiInstallProduct(kRow3, L"{8c2f6a19-1111-4705-b1a6-93d0e7254c8a}", L"C:\\b.msi",
                          Package(false, false));
    TheFakeMsi().products.back().removedResult = ERROR_SUCCESS_REBOOT_REQUIRED;
    TheFakeKernel().currentDirectory = L"C:\\Users\\admin\\run";
    const FakeMsiPackage unrelated = Package(true, true);
    FakeMsiInstallProduct(L"{00000000-0000-0000-0000-000000000000}",
                          L"{00000000-0000-0000-0000-000000000001}", L"C:\\other.msi", unrelated);
    ASSERT_EQ(RunCleanup(), 0);
    // Every upgrade code is checked; two of them find a product.
    std::string report = kProductsOnCleanMachine;
    const auto after = [&report](const char* code, const std::vector<std::string>& lines) {
        const std::string check = std::string("Check product upgrade code: ") + code + "\n";
        report.insert(report.find(check) + check.size(), Join(lines));
    };
    after("{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}",
          {kFound, kOpened, kDescribed, kChanged, kCachePath, kRemoved});
    after("{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}",
          {"Found driver product package: {8C2F6A19-1111-4705-B1A6-93D0E7254C8A}", kOpened,
           "Driver product package cache path: C:\\b.msi", kRemoved, kRestart});
    report += kRegistryOnCleanMachine + kDevicesOnCleanMachine;
    const std::string console = Console();
    EXPECT_EQ(console.substr(console.find("[y/N]? ") + 7), report + "Press any key to continue\n");
    EXPECT_EQ(RunLogText(), "Nerovan Driver Cleanup utility v." NRV_VERSION "\n\n" + report);

    // The installer logs by their full path in the working directory: the
    // installer service does not share it.
    const std::vector<std::wstring> logs{
        L"C:\\Users\\admin\\run\\{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}_uinstall.log",
        L"C:\\Users\\admin\\run\\{8C2F6A19-1111-4705-B1A6-93D0E7254C8A}_uinstall.log"};
    const std::vector<std::wstring> paths{kPackage, L"C:\\b.msi"};
    ASSERT_EQ(TheFakeMsi().installs.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(TheFakeMsi().logSettings[i].mode, 0x1400u);
        EXPECT_EQ(TheFakeMsi().logSettings[i].attributes, 3u);  // flushed each line, appended to the new file
        EXPECT_EQ(TheFakeMsi().installs[i].packagePath, paths[i]);
        EXPECT_EQ(TheFakeMsi().installs[i].commandLine, L"REMOVE=ALL REBOOT=ReallySuppress");
        EXPECT_EQ(TheFakeMsi().installs[i].logFile, logs[i]);
    }
    EXPECT_EQ(FakeCallsStartingWith(L"MsiGetProductInfoW").front(),
              L"MsiGetProductInfoW(\"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}\", \"LocalPackage\", 1024)");
    EXPECT_EQ(FakeCallsStartingWith(L"MsiOpenDatabaseW").front(),
              L"MsiOpenDatabaseW(\"C:\\windows\\Installer\\5e93a1.msi\", 1)");
    // Only the unrelated product is left, its package untouched.
    ASSERT_EQ(TheFakeMsi().products.size(), 1u);
    EXPECT_EQ(TheFakeMsi().products[0].localPackage, L"C:\\other.msi");
    EXPECT_EQ(TheFakeMsi().packages.size(), 1u);
    EXPECT_EQ(TheFakeMsi().packages[L"C:\\other.msi"], unrelated);
    EXPECT_FALSE(TheFakeMsi().restartedComputer);
}

// A product whose cached package is gone, and a folder of originals in
// which the file names tell nothing: a text file, another product's package,
// another build of this one, and its own build.
void PlantProductWithoutCache() {
    FakeMsiInstallProduct(kRow2, kRow2, kPackage, Package(true, true));
    TheFakeMsi().packages.erase(kPackage);
    TheFakeKernel().folders[L"C:\\kit"].push_back(L"notes.msi");
    TheFakeKernel().files[L"C:\\kit\\notes.msi"] = "not a package";
    FakeMsiPackage package = Package(true, true);
    for (const auto& [name, product, build] :
         {std::tuple{L"other.msi", L"{00000000-0000-0000-0000-000000000001}", kFakePackageCode},
          {L"new build.msi", kRow2, L"{B0000000-0000-4000-8000-000000000002}"}, {L"driver 7.msi", kRow2, kFakePackageCode}}) {
        package.productCode = product;
        package.packageCode = build;
        FakePlaceOriginalPackage(L"C:\\kit", name, package);
    }
}

const std::wstring kTemporary = L"C:\\windows\\Installer\\NrvDriverCleanup.tmp";
const std::string kRestored = "Cached package restored from: C:\\kit\\driver 7.msi";

TEST_F(ProductsTest, AProductWhoseCachedPackageIsGoneIsRemovedFromItsRestoredOriginal) {
    const std::string refused =
        "Original package refused, another build: C:\\kit\\new build.msi, package code "
        "{B0000000-0000-4000-8000-000000000002}, installed {C0DEC0DE-0000-4000-8000-000000000001}";
    const std::vector<std::string> found{kFound, "Can't open package installer data base. Error: 110", refused,
                                         "Original package: C:\\kit\\driver 7.msi"};
    const std::vector<std::string> kept{kCachePath, "Can't remove driver product package. Error: 1619"};
    const auto lines = [&](std::vector<std::string> more, const std::string& cachePath = kCachePath) {
        more.insert(more.begin(), found.begin(), found.end());
        if (more.back() != kRemoved) more.insert(more.end(), {cachePath, kept[1]});
        return more;
    };
    const std::vector<std::string> removed{kRestored, kOpened, kDescribed, kChanged, kCachePath, kRemoved};
    const auto refusedAs = [&](std::vector<std::string> more) {
        more.insert(more.begin(), found.begin(), found.begin() + 3);
        more.insert(more.end(), kept.begin(), kept.end());
        return more;
    };
    const std::vector<std::string> othersCanChange{
        "Original package refused, others can change it: C:\\kit\\driver 7.msi",
        "No original package of this product in: C:\\kit"};
    static const auto original = [] { return &TheFakeKernel().security[L"C:\\kit\\driver 7.msi"]; };
    static const auto allow = [](ACCESS_MASK mask, const wchar_t* sid) { original()->dacl.push_back({0, 0, mask, sid}); };
    struct Case {
        const char* what;
        void (*script)();
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"its original", [] {}, lines(removed)},
        {"the Windows directory in other letters", [] { TheFakeKernel().windowsDirectory = L"C:\\WINDOWS"; }, lines(removed)},
        {"a leftover temporary file", [] { TheFakeKernel().files[kTemporary] = "the half of a package"; }, lines(removed)},
        // Only to where the installer keeps its cache: no other folder, no stream.
        {"a cache registered elsewhere", [] { TheFakeKernel().windowsDirectory = L"D:\\windows"; }, lines({"Can't restore cached package. Error: 161"})},
        {"a cache registered as a stream", [] { TheFakeMsi().products[0].localPackage = L"C:\\windows\\Installer\\5e93a1.msi:x"; },
         lines({"Can't restore cached package. Error: 161"}, "Driver product package cache path: C:\\windows\\Installer\\5e93a1.msi:x")},
        // What another process put back meanwhile is never replaced.
        {"a file under the cached name meanwhile", [] { TheFakeKernel().othersCreate[kTemporary] = {kPackage, "another's"}; },
         lines({"Can't restore cached package. Error: 183"})},
        {"a write cut short", [] { TheFakeKernel().writeErrors[kTemporary] = 112; }, lines({"Can't restore cached package. Error: 112"})},
        {"another build alone", [] { std::erase(TheFakeKernel().folders[L"C:\\kit"], L"driver 7.msi"); },
         refusedAs({"No original package of this product in: C:\\kit"})},
        // Held before its codes are read: what is read is what is restored.
        {"the original swapped before it is held",
         [] { TheFakeKernel().contentOnOpen[L"C:\\kit\\driver 7.msi"] = TheFakeKernel().files[L"C:\\kit\\new build.msi"]; },
         refusedAs({std::regex_replace(refused, std::regex("new build"), "driver 7"), "No original package of this product in: C:\\kit"})},
        // Who may change the original decides, not what it holds.
        {"owned by a user", [] { original()->owner = L"S-1-5-21-1-2-3-1107"; }, refusedAs(othersCanChange)},
        {"Everyone may modify it", [] { allow(0x1301FF, L"S-1-1-0"); }, refusedAs(othersCanChange)},
        {"Users may write it", [] { allow(FILE_WRITE_DATA, L"S-1-5-32-545"); }, refusedAs(othersCanChange)},
        {"Authenticated Users may append", [] { allow(FILE_APPEND_DATA, L"S-1-5-11"); }, refusedAs(othersCanChange)},
        {"a domain user may change its DACL", [] { allow(WRITE_DAC, L"S-1-5-21-1-2-3-1107"); }, refusedAs(othersCanChange)},
        {"no DACL", [] { original()->hasDacl = false; }, refusedAs(othersCanChange)},
        {"an inherit-only entry for Users", [] { original()->dacl.push_back({0, INHERIT_ONLY_ACE | 3, GENERIC_ALL, L"S-1-5-32-545"}); },
         lines(removed)},
        {"owned by the account that runs the program",
         [] { original()->owner = TheFakeKernel().processUser; allow(0x1F01FF, TheFakeKernel().processUser.c_str()); },
         lines(removed)},
        // The installer runs a cached package that is there: no original then.
        {"the cached package there but unopenable",
         [] {
             TheFakeMsi().packages[kPackage] = Package(true, true);
             TheFakeMsi().failures = {Fail(L"MsiOpenDatabaseW", 110)};
         },
         {found[0], found[1], kCachePath, kNotRemoved}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        PlantProductWithoutCache();
        const FakeMsiPackage package = TheFakeMsi().packages[L"C:\\kit\\driver 7.msi"];
        c.script();
        SetOriginalPackagesFolder(L"C:\\kit");
        RemoveProduct(kPatched);
        EXPECT_EQ(Console(), Join(c.lines));
        EXPECT_EQ(TheFakeMsi().products.empty(), c.lines.back() == kRemoved);
        // The originals are only read, and held so that nobody writes them
        // meanwhile; the restore leaves no temporary file.
        EXPECT_EQ(TheFakeMsi().packages[L"C:\\kit\\driver 7.msi"], package);
        for (const auto& call : FakeCallsStartingWith(L"MsiOpenDatabaseW(\"C:\\kit")) EXPECT_TRUE(call.ends_with(L", 0)"));
        for (const auto& call : FakeCallsStartingWith(L"CreateFileW(\"C:\\kit"))
            EXPECT_NE(call.find(L", 0x80000000, 0x1, 3, "), std::wstring::npos) << call;
        EXPECT_EQ(TheFakeKernel().files.count(kTemporary), 0u);
        if (Console().find("Error: 161\n") != std::string::npos) { EXPECT_TRUE(FakeCallsStartingWith(L"CreateFileW(\"C:\\windows").empty()); }
        if (Console().find("Error: 183\n") != std::string::npos) { EXPECT_EQ(TheFakeKernel().files[kPackage], "another's"); }
    }
}

// A restore stopped before any of its calls (a kill, a power cut) leaves
// under the cached name nothing, the whole original, or it patched and
// committed since; the next run removes the product.
TEST_F(ProductsTest, ARestoreStoppedAnywhereIsFinishedByTheNextRun) {
    std::size_t stops = 0;
    for (bool stopped = true; stopped && !HasFailure();) {
        SCOPED_TRACE(testing::Message() << "stopped at call " << stops + 1);
        TearDown();
        SetUp();
        PlantProductWithoutCache();
        SetOriginalPackagesFolder(L"C:\\kit");
        FakeStopAtCall(++stops);
        try {
            RemoveProduct(kPatched);
            stopped = false;
        } catch (const FakeRunStopped&) {}
        FakeEndProcess();
        EXPECT_TRUE(TheFakeKernel().files.count(kPackage) == 0 || TheFakeMsi().packages.count(kPackage) != 0 ||
                    TheFakeKernel().files[kPackage] == TheFakeKernel().files[L"C:\\kit\\driver 7.msi"]);
        RemoveProduct(kPatched);
        EXPECT_TRUE(TheFakeMsi().products.empty());
    }
    EXPECT_GT(stops, 10u);
}

// A product whose cached package is there, and one of its patches whose
// cached file is gone: its original among other patches in the folder.
TEST_F(ProductsTest, ACachedPatchThatIsGoneIsNamedAndRestored) {
    const std::string missing = "Cached patch missing: {9A7C0001-0000-4000-8000-0000000000F1}";
    const std::string none = "No original of this patch in: C:\\kit";
    struct Case {
        const char* what;
        const wchar_t* folder;
        void (*script)();
        std::vector<std::string> search;  // the lines after the missing patch's
    };
    const Case cases[] = {
        {"no folder", L"", [] {}, {}},
        {"others can change it", L"C:\\kit",
         [] { TheFakeKernel().security[L"C:\\kit\\fix 1.msp"].dacl.push_back({0, 0, FILE_WRITE_DATA, L"S-1-5-32-545"}); },
         {"Original package refused, others can change it: C:\\kit\\fix 1.msp", none}},
        {"none matches", L"C:\\kit", [] { std::erase(TheFakeKernel().folders[L"C:\\kit"], L"fix 1.msp"); }, {none}},
        {"its original", L"C:\\kit", [] {}, {"Original package: C:\\kit\\fix 1.msp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        FakeMsiInstallProduct(kRow2, kRow2, kPackage, Package(true, true));
        TheFakeMsi().products[0].patches = {{L"{9A7C0001-0000-4000-8000-0000000000F1}", L"C:\\windows\\Installer\\7f.msp"}};
        FakeMsiPackage patch;
        patch.patch = true;
        for (const auto& [name, code] : {std::pair{L"other.msp", L"{9A7C0002-0000-4000-8000-0000000000F2}"},
                                         {L"fix 1.msp", L"{9A7C0001-0000-4000-8000-0000000000F1}"}}) {
            patch.packageCode = code + std::wstring(L"{9A7C0000-0000-4000-8000-0000000000F0}");  // and one it made obsolete
            FakePlaceOriginalPackage(L"C:\\kit", name, patch);
        }
        c.script();
        SetOriginalPackagesFolder(c.folder);
        TakeInventory();
        const std::string inventory = Console();
        const std::string search = Join({missing}) + Join(c.search);
        EXPECT_EQ(inventory, Join({"Driver product: {5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}, Nerovan Scanner Driver, version 3.2.0"}) +
                                 search + "NRV-CHECK: FOUND products=1 mark=0 nodes=0 packages=0\n");
        // The cleanup says the same (without a folder, nothing), restores the
        // original, then removes the product as usual.
        RemoveProduct(kPatched);
        const bool restored = c.search.size() == 1 && c.search[0].starts_with("Original package: ");
        EXPECT_EQ(Console().substr(inventory.size()),
                  Join({kFound}) + (*c.folder != L'\0' ? search : "") + (restored ? "Cached patch restored from: C:\\kit\\fix 1.msp\n" : "") +
                      Join({kOpened, kDescribed, kChanged, kCachePath, restored ? kRemoved : "Can't remove driver product package. Error: 1612"}));
    }
}

}  // namespace
