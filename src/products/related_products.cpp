#include "products/related_products.h"

#include <string>
#include <vector>

#include "platform/buffer_text.h"
#include "platform/final_path.h"
#include "platform/new_file.h"
#include "platform/platform.h"
#include "products/cache_restore.h"
#include "products/cached_files.h"
#include "products/installer_text.h"
#include "products/original_packages.h"
#include "products/package_database.h"
#include "report/report_writer.h"
#include "report/run_outcome.h"
#include "run/inventory.h"

namespace {

constexpr const char* kCantEnumerate = "Can't enumerate related products";

constexpr DWORD kInstallerLogMode = INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_PROPERTYDUMP;
// The program makes the log file itself, new and empty, and holds it during
// the uninstall: the installer appends to that file instead of replacing it.
constexpr DWORD kInstallerLogAttributes = INSTALLLOGATTRIBUTES_FLUSHEACHLINE | INSTALLLOGATTRIBUTES_APPEND;

// With the installer's user interface off, a package that schedules a
// restart would restart the computer at the end of its uninstall, in the
// middle of the cleanup: the restart is suppressed and reported instead.
constexpr const wchar_t* kUninstallCommandLine = L"REMOVE=ALL REBOOT=ReallySuppress";

// The installer's results that mean the product was removed, one of them
// with a restart still to come.
bool RemovedNeedingRestart(UINT result) {
    return result == ERROR_SUCCESS_REBOOT_REQUIRED || result == ERROR_SUCCESS_REBOOT_INITIATED;
}

// The product codes related to the upgrade code, in the installer's order,
// and the result that ended the enumeration (259 when it ran to its end).
UINT ListProductCodes(const wchar_t* upgradeCode, std::vector<std::wstring>& productCodes) {
    wchar_t productCode[512] = {};
    for (DWORD index = 0;; ++index) {
        const UINT result = MsiEnumRelatedProductsW(upgradeCode, 0, index, productCode);
        if (result != ERROR_SUCCESS) return result;
        productCodes.push_back(TextInBuffer(productCode));
    }
}

// Whether the product's cached package, named by the installer, is gone.
bool CachedPackageMissing(const wchar_t* productCode) {
    const std::wstring path = ProductProperty(productCode, kLocalPackageProperty);
    if (path.empty()) return false;  // the cleanup stops at the path: nothing to look for
    return FileIsGone(path);
}

}  // namespace

void ListRelatedProducts(const wchar_t* upgradeCode, Inventory& inventory) {
    std::vector<std::wstring> productCodes;
    const UINT result = ListProductCodes(upgradeCode, productCodes);
    const bool originals = !OriginalPackagesFolder().empty();
    for (const std::wstring& code : productCodes) {
        ProductFact product{code, ProductProperty(code.c_str(), L"InstalledProductName"),
                            ProductProperty(code.c_str(), L"VersionString"), CachedPackageMissing(code.c_str()), {}, {}};
        if (product.cachedPackageMissing && originals) product.originals = FindOriginalPackage(code.c_str()).search;
        std::vector<AppliedPatch> patches;
        FailureLine failure{};
        const bool patchesRead = ReadMissingPatches(code.c_str(), patches, failure);
        for (const AppliedPatch& patch : patches) {
            product.missingPatches.push_back({patch.code, {}});
            if (originals) product.missingPatches.back().original = FindOriginalPatch(patch.code).search;
        }
        inventory.products.push_back(std::move(product));
        if (!patchesRead) NoteUnread(inventory, InventoryPart::Products, failure);
    }
    if (result != ERROR_NO_MORE_ITEMS) NoteUnread(inventory, InventoryPart::Products, {kCantEnumerate, result, CodeForm::Hex});
}

void PurgeRelatedProducts(const wchar_t* upgradeCode) {
    ReportEndLine();
    ReportLine("Check product upgrade code: ", upgradeCode);

    // Every product is listed before any is removed: a removal shifts the
    // products after it down one index, so removing while enumerating would
    // skip every second one.
    std::vector<std::wstring> productCodes;
    const UINT result = ListProductCodes(upgradeCode, productCodes);

    for (const std::wstring& code : productCodes) RemoveProduct(code.c_str());

    if (result != ERROR_NO_MORE_ITEMS) {
        ReportFailureHex(kCantEnumerate, result);
    }
}

namespace {

// Edits the open package so that it no longer blocks its own removal, and
// closes it.
void PatchAndClose(MSIHANDLE database, const wchar_t* productCode) {
    ReportLine("Driver installer data base has open successfully.");
    PatchPackageDatabase(database, productCode);
    // Closing discards whatever the patching did not commit.
    MsiCloseHandle(database);
}

// Starts the product's installer log and uninstalls it from the package.
void Uninstall(const wchar_t* productCode, const std::wstring& packagePath) {
    // Deleted and made by its bare name, as the run's other files are: the
    // name is looked up in the working directory this process holds open,
    // so no link in that folder's path is followed between the calls.
    const std::wstring logName = std::wstring(productCode) + L"_uinstall.log";
    // Held open until the uninstall ends, sharing writing but not deleting,
    // so the installer writes into this regular file and never through a
    // link planted under its name. The guard appends, not reads: an
    // installer that opens its log sharing writing alone (Wine's does) can
    // then still open it, where a reading guard would leave it without a log.
    const OwnedFile installerLog = ReplaceWithNewFile(logName.c_str(), FILE_APPEND_DATA);
    // The installer service does not share this working directory. It gets
    // the real path of the file held: a link in the folder's path, which a
    // user could retarget meanwhile, is resolved here, once.
    const std::wstring logPath = installerLog ? FinalPathOf(installerLog.get()) : std::wstring();
    if (!logPath.empty()) {
        MsiEnableLogW(kInstallerLogMode, logPath.c_str(), kInstallerLogAttributes);
    } else {
        ReportFailure("Can't create installer log file", GetLastError());
        MsiEnableLogW(0, nullptr, 0);  // no log, rather than the previous product's
    }

    ReportLine("Driver product package cache path: ", packagePath.c_str());

    const UINT result = MsiInstallProductW(packagePath.c_str(), kUninstallCommandLine);
    if (result == ERROR_SUCCESS || RemovedNeedingRestart(result)) {
        ReportLine("Driver product package has remove successfully");
        if (result != ERROR_SUCCESS) ReportRestartNeeded();
    } else {
        if (result == ERROR_INSTALL_ALREADY_RUNNING) NoteInstallerBusy();
        ReportFailure("Can't remove driver product package", result);
    }
}

}  // namespace

void RemoveProduct(const wchar_t* productCode) {
    ReportLine("Found driver product package: ", productCode);

    wchar_t packageBuffer[1024];
    DWORD packagePathSize = 1024;
    UINT result = MsiGetProductInfoW(productCode, kLocalPackageProperty, packageBuffer, &packagePathSize);
    if (result != ERROR_SUCCESS) {
        ReportFailure("Can't get product local cache path property", result);
        return;
    }
    const std::wstring packagePath = TextInBuffer(packageBuffer);

    MSIHANDLE database = 0;
    result = MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_TRANSACT, &database);
    if (result != ERROR_SUCCESS) {
        ReportFailure("Can't open package installer data base", result);
        // With the originals, a cached package that is gone is put back; the
        // product is then removed as if it had never been lost.
        if (!OriginalPackagesFolder().empty() && FileIsGone(packagePath) &&
            RestoreCachedPackage(productCode, packagePath)) {
            result = MsiOpenDatabaseW(packagePath.c_str(), MSIDBOPEN_TRANSACT, &database);
            if (result != ERROR_SUCCESS) ReportFailure("Can't open package installer data base", result);
        }
    }
    if (result == ERROR_SUCCESS) {
        // The uninstall needs each applied patch's cached file too.
        if (!OriginalPackagesFolder().empty()) RestoreCachedPatches(productCode);
        PatchAndClose(database, productCode);
    }
    Uninstall(productCode, packagePath);
}
