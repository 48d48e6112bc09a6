// A private copy of an original package, for the installer to run: the
// original lies in a folder the administrator chose, which others may be able
// to write, and its custom actions run as SYSTEM.
#pragma once

#include <string>

struct PackageCopy {
    std::wstring folder;  // made new for this copy alone
    std::wstring file;    // the copy in it, under the original's file name
};

// Makes a new folder in the Windows temporary folder that only SYSTEM and
// Administrators can write (its protected DACL set as it is made, inherited
// by the copy) and copies the original into it through the program's own
// handles. On failure writes one line with the error code, leaves nothing
// behind and returns false.
bool CopyOriginalPackage(const std::wstring& original, PackageCopy& copy);

// Deletes the copy and its folder.
void DeletePackageCopy(const PackageCopy& copy);
