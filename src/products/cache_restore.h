// A cached package or patch that is gone, put back where the installer
// registered it, from an original the administrator supplied, the way
// Microsoft's KB969052 ("Restore the missing Windows Installer cache files and
// resolve problems that occur during a SQL Server update") restores SQL
// Server's: the installer then uses it as its cache, with no source to
// resolve.
#pragma once

#include <string>

#include "platform/platform.h"

// The name a restored file is written under, beside the cached name, before
// it is renamed to that name.
inline constexpr const wchar_t* kRestoreTemporaryName = L"NrvDriverCleanup.tmp";

// Restores the open original under cachedPath, which must be a plain file
// name directly in <Windows directory>\Installer (compared ignoring ASCII
// case; otherwise nothing is written, ERROR_BAD_PATHNAME). The content goes
// through the program's own handles into a new file under the temporary name
// (whatever is under it deleted first), made in the folder so that it gets
// the folder's permissions, then renamed to cachedPath, never replacing what
// is there: a run killed at any point leaves under cachedPath nothing or the
// whole file. True, or false with the error, the temporary file deleted.
bool RestoreCachedFile(HANDLE original, const std::wstring& cachedPath, DWORD& error);

// With a folder of originals, for a product whose cached package is gone:
// looks for the original, writes the search's lines and restores it with its
// line; true when the cached package is back.
bool RestoreCachedPackage(const wchar_t* productCode, const std::wstring& cachedPath);

// With a folder of originals: for each patch applied to the product whose
// cached file is gone, its line, the search for its original and the restore.
void RestoreCachedPatches(const wchar_t* productCode);
