// Original driver packages that the administrator supplies in a folder, for
// products whose cached package is gone. A package is taken for a product by
// what it holds (its product code and package code), never by its file name.
#pragma once

#include <string>

#include "platform/new_file.h"
#include "platform/platform.h"

// The folder of originals for this run, a full path; "" when none was given.
void SetOriginalPackagesFolder(const std::wstring& folder);
const std::wstring& OriginalPackagesFolder();

struct OriginalPackage {
    std::wstring path;         // "" when none matched
    std::wstring packageCode;  // the one the installer recorded for the product
    // The match, open to read, nobody else writing or deleting it while it is
    // held: the file checked is the file copied. Empty when it could not be
    // opened (openError tells why).
    OwnedFile file;
    DWORD openError = 0;
};

// Looks through the folder (top level, *.msi), opening each package
// read-only, for the one whose product code is the product's and whose
// package code is the one the installer recorded, and that only
// administrators can change. Writes one line for each package of the
// product that holds another build or that others can change (refused), then
// "Original package: <path>" for the match, or a line that the folder has
// none. A file that is not a package is passed over without a line.
OriginalPackage FindOriginalPackage(const wchar_t* productCode);

// Whether the open package holds this product code and package code (GUIDs,
// in any letter case).
bool PackageHoldsCodes(MSIHANDLE database, const wchar_t* productCode, const std::wstring& packageCode);
