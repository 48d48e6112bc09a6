#include "products/original_packages.h"

#include <memory>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/buffer_text.h"
#include "products/file_trust.h"
#include "products/installer_text.h"

namespace {

std::wstring packagesFolder;

constexpr const wchar_t* kSelectProductCode = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'";

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using OpenFind = std::unique_ptr<void, FindCloser>;

bool SameGuid(const std::wstring& a, const std::wstring& b) { return LowerAscii(a) == LowerAscii(b); }

// The product code in the package's Property table.
bool ReadProductCode(MSIHANDLE database, std::wstring& productCode) {
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(database, kSelectProductCode, &view) != ERROR_SUCCESS) return false;
    bool found = false;
    if (MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        if (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            found = ReadInstallerText([&](wchar_t* buffer, DWORD* size) { return MsiRecordGetStringW(record, 1, buffer, size); },
                             productCode);
            MsiCloseHandle(record);
        }
    }
    MsiCloseHandle(view);
    return found;
}

// The package code: the revision number of the summary information.
bool ReadPackageCode(MSIHANDLE database, std::wstring& packageCode) {
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationW(database, nullptr, 0, &summary) != ERROR_SUCCESS) return false;
    const bool read = ReadInstallerText(
        [&](wchar_t* buffer, DWORD* size) {
            UINT type = 0;
            int number = 0;
            FILETIME time{};
            return MsiSummaryInfoGetPropertyW(summary, PID_REVNUMBER, &type, &number, &time, buffer, size);
        },
        packageCode);
    MsiCloseHandle(summary);
    return read;
}

bool EndsWithMsi(const std::wstring& name) {
    return name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == L".msi";
}

// The codes of the package at path, opened read-only; false when it is no
// package the installer can open.
bool ReadCodesOfFile(const std::wstring& path, std::wstring& productCode, std::wstring& packageCode) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return false;
    const bool read = ReadProductCode(database, productCode) && ReadPackageCode(database, packageCode);
    MsiCloseHandle(database);
    return read;
}

// The names of the *.msi files at the folder's top level, in the file
// system's order.
std::vector<std::wstring> PackageFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE first = FindFirstFileW((folder + L"\\*.msi").c_str(), &entry);
    if (first == INVALID_HANDLE_VALUE) return names;  // none, or the folder cannot be read
    const OpenFind find(first);
    do {
        const std::wstring name = TextInBuffer(entry.cFileName);
        // The pattern also matches a short name: "x.msix" may be listed.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && EndsWithMsi(name)) names.push_back(name);
    } while (FindNextFileW(find.get(), &entry));
    return names;
}

// Opens the file to copy it, sharing reading alone: while it is held, nobody
// writes, replaces or deletes it.
OwnedFile OpenOriginal(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return OwnedFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

}  // namespace

void SetOriginalPackagesFolder(const std::wstring& folder) { packagesFolder = folder; }

const std::wstring& OriginalPackagesFolder() { return packagesFolder; }

OriginalPackage FindOriginalPackage(const wchar_t* productCode) {
    OriginalPackage original;
    OriginalSearch& search = original.search;
    search.folder = packagesFolder;
    search.packageCode = ProductProperty(productCode, kPackageCodeProperty);
    for (const std::wstring& name : PackageFiles(packagesFolder)) {
        const std::wstring path = packagesFolder + L"\\" + name;
        std::wstring product;
        std::wstring package;
        if (!ReadCodesOfFile(path, product, package) || !SameGuid(product, productCode)) continue;
        if (!search.packageCode.empty() && SameGuid(package, search.packageCode)) {
            // Both codes can be read by anyone: who may write the file decides.
            OwnedFile file = OpenOriginal(path);
            if (!file) {
                original.openError = GetLastError();  // the copy reports it
            } else if (!OnlyAdministratorsCanChange(file.get())) {
                search.refused.push_back({path, false, {}});
                continue;
            }
            search.path = path;
            original.file = std::move(file);
            break;
        }
        search.refused.push_back({path, true, package});
    }
    return original;
}

bool PackageHoldsCodes(MSIHANDLE database, const wchar_t* productCode, const std::wstring& packageCode) {
    std::wstring product;
    std::wstring package;
    return ReadProductCode(database, product) && ReadPackageCode(database, package) &&
           SameGuid(product, productCode) && !packageCode.empty() && SameGuid(package, packageCode);
}
