// Fake Windows Installer (msi.dll): installed products by upgrade code, their
// cached packages (the two tables the cleanup edits), handles per object,
// logging and uninstalls, and failures to inject.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fake/fake_platform.h"

// Codes the installer returns, as the fake uses them.
inline constexpr UINT kMsiInvalidHandle = 6;
inline constexpr UINT kMsiInvalidParameter = 87;
inline constexpr UINT kMsiOpenFailed = 110;
inline constexpr UINT kMsiInstallFailure = 1603;
inline constexpr UINT kMsiUnknownProduct = 1605;
inline constexpr UINT kMsiUnknownProperty = 1608;
inline constexpr UINT kMsiBadQuerySyntax = 1615;
inline constexpr UINT kMsiPackageOpenFailed = 1619;
inline constexpr UINT kMsiFunctionFailed = 1627;
inline constexpr UINT kMsiOtherBuild = 1638;
inline constexpr UINT kMsiSourceAbsent = 1612;
inline constexpr UINT kMsiUnknownPatch = 1647;

// The package code every installed product has unless a test gives another.
inline constexpr const wchar_t* kFakePackageCode = L"{C0DEC0DE-0000-4000-8000-000000000001}";

struct FakeLaunchCondition {
    std::wstring condition;
    std::wstring description;
    bool operator==(const FakeLaunchCondition&) const = default;
};

struct FakeSequenceRow {
    std::wstring action;
    std::wstring condition;
    int sequence = 0;
    bool operator==(const FakeSequenceRow&) const = default;
};

// A package database: what the cleanup reads and edits.
struct FakeMsiPackage {
    bool hasLaunchConditionTable = true;
    std::vector<FakeLaunchCondition> launchConditions;
    std::vector<FakeSequenceRow> installExecuteSequence;
    // Its product code (Property table) and package code (summary
    // information); "" for those of the installed product whose cached
    // package it is.
    std::wstring productCode;
    std::wstring packageCode;
    // A patch package (.msp): opened only with MSIDBOPEN_PATCHFILE; its
    // packageCode is its revision number, the patch code first.
    bool patch = false;
    bool operator==(const FakeMsiPackage&) const = default;
};

// A patch applied to a product, and the path of its cached file (present
// when FakeKernel::files or FakeMsi::packages has it).
struct FakeMsiPatch {
    std::wstring code, localPackage;
    bool operator==(const FakeMsiPatch&) const = default;
};

struct FakeMsiProduct {
    std::wstring upgradeCode;
    std::wstring productCode;   // as the package has it; the installer lists it in upper case
    std::wstring localPackage;  // path of the cached package (a key of FakeMsi::packages)
    UINT installFailure = 0;    // non-zero: the uninstall fails with it whatever the package
    // What an uninstall that removed the product returns: 0, or 3010 / 1641
    // when its package scheduled a restart.
    UINT removedResult = 0;
    std::wstring name = L"Nerovan Scanner Driver";  // InstalledProductName
    std::wstring version = L"3.2.0";                 // VersionString
    std::wstring packageCode = kFakePackageCode;     // PackageCode
    // Per machine; its uninstall fails (1612) while a patch's cached file is gone.
    std::vector<FakeMsiPatch> patches = {};
    bool operator==(const FakeMsiProduct&) const = default;
};

// A failure to inject: every call of operation (on a view or record of
// statement, when given; on field, when given) returns code. MsiCreateRecord
// then returns 0.
struct FakeMsiFailure {
    std::wstring operation;
    UINT code = 0;
    std::wstring statement;
    UINT field = 0;
};

struct FakeMsiLogSetting {
    DWORD mode = 0;
    std::wstring file;
    DWORD attributes = 0;
};

struct FakeMsiInstall {
    std::wstring packagePath;
    std::wstring commandLine;
    std::wstring logFile;  // the log in force for this call ("" for none)
    UINT result = 0;
};

struct FakeMsi {
    int setInternalUICalls = 0;

    // Installed products, in the order the installer lists them.
    std::vector<FakeMsiProduct> products;
    // What MsiEnumRelatedProductsW returns after the last product of an
    // upgrade code (259 unless given here).
    std::map<std::wstring, UINT> enumerationEnd;
    // Cached package files by path: their content as last committed.
    std::map<std::wstring, FakeMsiPackage> packages;

    // Conditions that are false on this machine (a Windows 10), and actions
    // that fail the installation when they run: the uninstall returns 1603
    // while the package holds either.
    std::vector<std::wstring> falseConditions{L"VersionNT = 602"};
    std::vector<std::wstring> failingActions{L"CheckDriverUninstallResult"};

    std::vector<FakeMsiFailure> failures;

    std::vector<FakeMsiLogSetting> logSettings;  // every MsiEnableLogW call
    std::vector<FakeMsiInstall> installs;        // every MsiInstallProductW call
    // Set when an uninstall whose package schedules a restart was not told
    // to suppress it: with no user interface Windows then restarts at once.
    bool restartedComputer = false;
};

FakeMsi& TheFakeMsi();

// The execute sequence of a scanner package: its uninstall is blocked by
// the check action.
std::vector<FakeSequenceRow> FakeScannerSequence();

// Installs a product: registered under the upgrade code, its cached package
// at packagePath.
void FakeMsiInstallProduct(const std::wstring& upgradeCode, const std::wstring& productCode,
                           const std::wstring& packagePath, FakeMsiPackage package);

// Places an original package file at folder\\name: a file the kernel lists
// and copies (its content names the package), which the installer opens.
void FakePlaceOriginalPackage(const std::wstring& folder, const std::wstring& name, FakeMsiPackage package);

// Handle kinds counted by the fake platform.
inline const std::string kMsiDatabaseKind = "msi-database";
inline const std::string kMsiViewKind = "msi-view";
inline const std::string kMsiRecordKind = "msi-record";
inline const std::string kMsiSummaryKind = "msi-summary";
