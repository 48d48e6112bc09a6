// Original driver packages that the administrator supplies in a folder, for
// products whose cached package, or one of whose cached patches, is gone. A
// package is taken for a product by what it holds (its product code and
// package code), a patch by its patch code, never by the file name.
#pragma once

#include <string>
#include <vector>

#include "platform/new_file.h"
#include "platform/platform.h"

// The folder of originals for this run, a full path; "" when none was given.
void SetOriginalPackagesFolder(const std::wstring& folder);
const std::wstring& OriginalPackagesFolder();

// An original the search passed over, though it holds what was looked for.
struct OriginalRefusal {
    std::wstring path;
    bool anotherBuild = false;  // otherwise: others can change it
    std::wstring packageCode;   // another build's
};

// What the search saw, as its lines tell it.
struct OriginalSearch {
    std::wstring folder;
    bool patch = false;        // a patch (*.msp), else a product's package (*.msi)
    // The package code the installer recorded for the product, or the patch
    // code of the patch.
    std::wstring packageCode;
    std::vector<OriginalRefusal> refused;  // in the folder's order
    std::wstring path;         // the match; "" when none matched
};

struct OriginalPackage {
    OriginalSearch search;
    // The match, opened before its codes were read and held since, to read,
    // nobody else writing, renaming or deleting it: the file checked is the
    // file restored. Empty when nothing matched.
    OwnedFile file;
};

// Looks through the folder (top level, *.msi), holding each file and reading
// its codes, for the package whose product code is the product's and whose
// package code is the one the installer recorded, and that only
// administrators can change; writes nothing. A package of the product that
// holds another build or that others can change is refused; a file that is
// not a package, or cannot be opened, is passed over.
OriginalPackage FindOriginalPackage(const wchar_t* productCode);

// The same for a patch (top level, *.msp): the patch package whose patch code
// (the first GUID of its revision number) is the one given.
OriginalPackage FindOriginalPatch(const std::wstring& patchCode);
