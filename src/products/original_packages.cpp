#include "products/original_packages.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/buffer_text.h"
#include "products/file_trust.h"
#include "products/installer_text.h"

namespace {

std::wstring packagesFolder;

constexpr const wchar_t* kSelectProductCode = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'";
constexpr std::size_t kGuidLength = 38;

// MSIDBOPEN_READONLY + MSIDBOPEN_PATCHFILE, as msiquery.h means it (the mode
// is a pointer's value), without arithmetic on a null pointer.
const LPCWSTR kReadOnlyPatch = reinterpret_cast<LPCWSTR>(reinterpret_cast<std::uintptr_t>(MSIDBOPEN_READONLY) +
                                                         MSIDBOPEN_PATCHFILE * sizeof(*MSIDBOPEN_READONLY));

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
                                      productCode) == ERROR_SUCCESS;
            MsiCloseHandle(record);
        }
    }
    MsiCloseHandle(view);
    return found;
}

// The revision number of the summary information: a package's package code;
// a patch's patch code, followed by the codes of the patches it makes obsolete.
bool ReadRevisionNumber(MSIHANDLE database, std::wstring& revision) {
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationW(database, nullptr, 0, &summary) != ERROR_SUCCESS) return false;
    const UINT result = ReadInstallerText(
        [&](wchar_t* buffer, DWORD* size) {
            UINT type = 0;
            int number = 0;
            FILETIME time{};
            return MsiSummaryInfoGetPropertyW(summary, PID_REVNUMBER, &type, &number, &time, buffer, size);
        },
        revision);
    MsiCloseHandle(summary);
    return result == ERROR_SUCCESS;
}

bool EndsWith(const std::wstring& name, const wchar_t* extension) {
    return name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == extension;
}

// The codes of the package or patch at path, opened read-only: a package's
// product code and package code, a patch's patch code (productCode left
// empty); false when it is no such file the installer can open.
bool ReadCodesOfFile(const std::wstring& path, bool patch, std::wstring& productCode, std::wstring& packageCode) {
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(path.c_str(), patch ? kReadOnlyPatch : MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return false;
    bool read = (patch || ReadProductCode(database, productCode)) && ReadRevisionNumber(database, packageCode);
    if (patch) packageCode = packageCode.substr(0, kGuidLength);
    MsiCloseHandle(database);
    return read;
}

// The names of the files at the folder's top level with the extension, in
// the file system's order.
std::vector<std::wstring> FilesOfKind(const std::wstring& folder, const wchar_t* extension) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE first = FindFirstFileW((folder + L"\\*" + extension).c_str(), &entry);
    if (first == INVALID_HANDLE_VALUE) return names;  // none, or the folder cannot be read
    const OpenFind find(first);
    do {
        const std::wstring name = TextInBuffer(entry.cFileName);
        // The pattern also matches a short name: "x.msix" may be listed.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && EndsWith(name, extension)) names.push_back(name);
    } while (FindNextFileW(find.get(), &entry));
    return names;
}

// Opens the file to restore it, sharing reading alone: while it is held,
// nobody writes, renames, replaces or deletes it, and the installer can
// still open it to read its codes.
OwnedFile OpenOriginal(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return OwnedFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// The search of the folder: for a product's package (productCode given) or a patch.
OriginalPackage Find(const wchar_t* productCode, bool patch, const std::wstring& packageCode) {
    OriginalPackage original;
    OriginalSearch& search = original.search;
    search.folder = packagesFolder;
    search.patch = patch;
    search.packageCode = packageCode;
    for (const std::wstring& name : FilesOfKind(packagesFolder, patch ? L".msp" : L".msi")) {
        const std::wstring path = packagesFolder + L"\\" + name;
        // Held before it is read: what is read is what would be restored.
        OwnedFile file = OpenOriginal(path);
        std::wstring product;
        std::wstring package;
        if (!file || !ReadCodesOfFile(path, patch, product, package) || (!patch && !SameGuid(product, productCode)))
            continue;
        if (search.packageCode.empty() || !SameGuid(package, search.packageCode)) {
            // Another patch is no refusal; another build of the product is.
            if (!patch) search.refused.push_back({path, true, package});
            continue;
        }
        // The codes can be read by anyone: who may write the file decides.
        if (!OnlyAdministratorsCanChange(file.get())) {
            search.refused.push_back({path, false, {}});
            continue;
        }
        search.path = path;
        original.file = std::move(file);
        break;
    }
    return original;
}

}  // namespace

void SetOriginalPackagesFolder(const std::wstring& folder) { packagesFolder = folder; }

const std::wstring& OriginalPackagesFolder() { return packagesFolder; }

OriginalPackage FindOriginalPackage(const wchar_t* productCode) {
    return Find(productCode, false, ProductProperty(productCode, kPackageCodeProperty));
}

OriginalPackage FindOriginalPatch(const std::wstring& patchCode) { return Find(nullptr, true, patchCode); }
