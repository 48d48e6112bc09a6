// The installer's cache of a product: its cached package and the cached
// files of the patches applied to it, each of which an uninstall needs.
#pragma once

#include <string>
#include <vector>

#include "report/report_writer.h"

// Whether the file is not there (file or path not found). The installer runs
// a cached file whenever it exists: an original is of use only when it is
// gone, not when it exists but cannot be opened (held by another process,
// damaged).
bool FileIsGone(const std::wstring& path);

// A patch applied to an installed product, and the path of its cached file.
struct AppliedPatch {
    std::wstring code;
    std::wstring localPackage;
};

// Reads the patches applied to the product whose cached file is gone
// (FileIsGone), in the installer's order, in the context (per-machine, or
// this user's) the installer lists it in. False, with the failure line, when
// a query failed: the patches read before stay.
bool ReadMissingPatches(const wchar_t* productCode, std::vector<AppliedPatch>& patches, FailureLine& failure);
