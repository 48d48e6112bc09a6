#include "products/cache_restore.h"

#include <vector>

#include "platform/ascii_case.h"
#include "platform/new_file.h"
#include "platform/windows_directory.h"
#include "products/cached_files.h"
#include "products/original_packages.h"
#include "report/report_writer.h"
#include "run/inventory.h"

namespace {

// A name that stays in the folder: no path, no stream, not the folder itself.
bool IsPlainFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Whether the path names a file directly in the installer's folder, where
// only administrators create names.
bool InInstallerFolder(const std::wstring& path) {
    const std::wstring windowsDirectory = WindowsDirectory();
    const std::size_t slash = path.rfind(L'\\');
    return !windowsDirectory.empty() && slash != std::wstring::npos &&
           LowerAscii(path.substr(0, slash)) == LowerAscii(windowsDirectory + L"\\Installer") &&
           IsPlainFileName(path.substr(slash + 1));
}

// Restores the found original with its line, or writes the failure.
bool Restore(const OriginalPackage& original, const std::wstring& cachedPath, const char* restored, const char* failed) {
    DWORD error = 0;
    if (!RestoreCachedFile(original.file.get(), cachedPath, error)) {
        ReportFailure(failed, error);
        return false;
    }
    ReportLine(restored, original.search.path.c_str());
    return true;
}

}  // namespace

bool RestoreCachedFile(HANDLE original, const std::wstring& cachedPath, DWORD& error) {
    if (!InInstallerFolder(cachedPath)) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    const std::wstring temporary = cachedPath.substr(0, cachedPath.rfind(L'\\') + 1) + kRestoreTemporaryName;
    bool restored = false;
    {
        const OwnedFile file = ReplaceWithNewFile(temporary.c_str(), GENERIC_WRITE);
        // On the disk before it takes the cached name, so that not even a
        // power cut leaves a part of it under that name.
        restored = file && CopyFileContent(original, file.get()) && FlushFileBuffers(file.get());
        if (!restored) error = GetLastError();
    }
    // Without MOVEFILE_REPLACE_EXISTING: a cache someone put back meanwhile stays.
    if (restored && !MoveFileExW(temporary.c_str(), cachedPath.c_str(), 0)) {
        restored = false;
        error = GetLastError();
    }
    if (!restored) DeleteFileW(temporary.c_str());
    return restored;
}

bool RestoreCachedPackage(const wchar_t* productCode, const std::wstring& cachedPath) {
    const OriginalPackage original = FindOriginalPackage(productCode);
    ReportOriginalSearch(original.search);
    return original.file &&
           Restore(original, cachedPath, "Cached package restored from: ", "Can't restore cached package");
}

void RestoreCachedPatches(const wchar_t* productCode) {
    std::vector<AppliedPatch> patches;
    FailureLine failure{};
    const bool read = ReadMissingPatches(productCode, patches, failure);
    for (const AppliedPatch& patch : patches) {
        ReportLine(kCachedPatchMissingLabel, patch.code.c_str());
        const OriginalPackage original = FindOriginalPatch(patch.code);
        ReportOriginalSearch(original.search);
        if (original.file) Restore(original, patch.localPackage, "Cached patch restored from: ", "Can't restore cached patch");
    }
    if (!read) ReportFailure(failure);
}
