// Original driver packages that the administrator supplies in a folder, for
// products whose cached package is gone. A package is taken for a product by
// what it holds (its product code and package code), never by its file name.
#pragma once

#include <string>
#include <vector>

#include "platform/new_file.h"
#include "platform/platform.h"

// The folder of originals for this run, a full path; "" when none was given.
void SetOriginalPackagesFolder(const std::wstring& folder);
const std::wstring& OriginalPackagesFolder();

// An original the search passed over, though it holds the product.
struct OriginalRefusal {
    std::wstring path;
    bool anotherBuild = false;  // otherwise: others can change it
    std::wstring packageCode;   // another build's
};

// What the search saw, as its lines tell it.
struct OriginalSearch {
    std::wstring folder;
    std::wstring packageCode;  // the one the installer recorded for the product
    std::vector<OriginalRefusal> refused;  // in the folder's order
    std::wstring path;         // the match; "" when none matched
};

struct OriginalPackage {
    OriginalSearch search;
    // The match, open to read, nobody else writing or deleting it while it is
    // held: the file checked is the file copied. Empty when it could not be
    // opened (openError tells why).
    OwnedFile file;
    DWORD openError = 0;
};

// Looks through the folder (top level, *.msi), opening each package
// read-only, for the one whose product code is the product's and whose
// package code is the one the installer recorded, and that only
// administrators can change; writes nothing. A package of the product that
// holds another build or that others can change is refused; a file that is
// not a package is passed over.
OriginalPackage FindOriginalPackage(const wchar_t* productCode);

// Whether the open package holds this product code and package code (GUIDs,
// in any letter case).
bool PackageHoldsCodes(MSIHANDLE database, const wchar_t* productCode, const std::wstring& packageCode);
