#include "products/related_products.h"

#include <string>
#include <vector>

#include "platform/buffer_text.h"
#include "platform/final_path.h"
#include "platform/new_file.h"
#include "platform/platform.h"
#include "products/installer_text.h"
#include "products/original_packages.h"
#include "products/package_copy.h"
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

// Whether the file is not there. The installer runs the cached package
// whenever that file exists, whatever path it is given: an original is of
// use only when the cached package is gone, not when it exists but cannot be
// opened (held by another process, damaged).
bool FileIsGone(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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
    for (const std::wstring& code : productCodes) {
        ProductFact product{code, ProductProperty(code.c_str(), L"InstalledProductName"),
                            ProductProperty(code.c_str(), L"VersionString"), CachedPackageMissing(code.c_str()), {}};
        if (product.cachedPackageMissing && !OriginalPackagesFolder().empty())
            product.originals = FindOriginalPackage(code.c_str()).search;
        inventory.products.push_back(std::move(product));
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

// The cached package cannot be opened: the product is uninstalled from a
// private copy of its original, when the folder holds it; otherwise the
// uninstall is tried from the cached package as it stands.
void UninstallFromOriginal(const wchar_t* productCode, const std::wstring& cachedPath) {
    const OriginalPackage original = FindOriginalPackage(productCode);
    ReportOriginalSearch(original.search);
    PackageCopy copy;
    // Named as the product was installed: a maintenance run from a package
    // under another name may fail (1316).
    if (original.search.path.empty() ||
        !CopyOriginalPackage(original, ProductProperty(productCode, kPackageNameProperty), copy)) {
        Uninstall(productCode, cachedPath);
        return;
    }
    MSIHANDLE database = 0;
    const UINT result = MsiOpenDatabaseW(copy.file.c_str(), MSIDBOPEN_TRANSACT, &database);
    if (result != ERROR_SUCCESS) {
        ReportFailure("Can't open package installer data base", result);
        Uninstall(productCode, cachedPath);
    } else if (!PackageHoldsCodes(database, productCode, original.search.packageCode)) {
        // What runs is what was checked: the original changed while it was copied.
        MsiCloseHandle(database);
        ReportLine("Original package changed while copied: ", original.search.path.c_str());
        Uninstall(productCode, cachedPath);
    } else {
        PatchAndClose(database, productCode);
        Uninstall(productCode, copy.file);
    }
    DeletePackageCopy(copy);
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
        if (!OriginalPackagesFolder().empty() && FileIsGone(packagePath)) {
            UninstallFromOriginal(productCode, packagePath);
            return;
        }
    } else {
        PatchAndClose(database, productCode);
    }
    Uninstall(productCode, packagePath);
}
