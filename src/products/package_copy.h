// A private copy of an original package, for the installer to run: the
// original lies in a folder the administrator chose, which others may be able
// to write, and its custom actions run as SYSTEM.
#pragma once

#include <string>

#include "platform/new_file.h"
#include "products/original_packages.h"

struct PackageCopy {
    std::wstring folder;  // made new for this copy alone
    std::wstring file;    // the copy in it
    // The folder itself, held without sharing delete until it is deleted, so
    // that nobody renames or replaces it while the copy is in use.
    OwnedFile folderHandle;
};

// Makes a new folder, under a name nobody can guess, in the Windows
// temporary folder, that only SYSTEM and Administrators can write (its
// protected DACL set as it is made, inherited by the copy); checks that what
// was made is that folder and nothing a link led to, and copies the open
// original into it, under the name given, through the program's own handles.
// On failure writes one line with the error code, leaves nothing behind (a
// folder that is not the program's own is neither written nor deleted) and
// returns false.
bool CopyOriginalPackage(const OriginalPackage& original, const std::wstring& name, PackageCopy& copy);

// Deletes the copy, then the folder through the handle held on it.
void DeletePackageCopy(PackageCopy& copy);
