#include "products/cached_files.h"

#include "platform/buffer_text.h"
#include "platform/platform.h"
#include "products/installer_text.h"

bool FileIsGone(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ReadMissingPatches(const wchar_t* productCode, std::vector<AppliedPatch>& patches, FailureLine& failure) {
    for (DWORD index = 0;; ++index) {
        wchar_t patchCode[39] = {};
        wchar_t userSid[256] = {};
        DWORD userSidSize = 256;
        MSIINSTALLCONTEXT context = MSIINSTALLCONTEXT_MACHINE;
        // No user named and every context: the machine's and this user's,
        // as MsiEnumRelatedProductsW lists products. The context and user
        // the patch is found in are the product's.
        UINT result = MsiEnumPatchesExW(productCode, nullptr, MSIINSTALLCONTEXT_ALL, MSIPATCHSTATE_APPLIED, index,
                                        patchCode, nullptr, &context, userSid, &userSidSize);
        if (result == ERROR_NO_MORE_ITEMS) return true;
        if (result != ERROR_SUCCESS) {
            failure = {"Can't enumerate product patches", result};
            return false;
        }
        AppliedPatch patch{TextInBuffer(patchCode), {}};
        const std::wstring user = TextInBuffer(userSid);
        // A per-machine product is named without a user.
        const LPCWSTR sid = context == MSIINSTALLCONTEXT_MACHINE ? nullptr : user.c_str();
        result = ReadInstallerText(
            [&](wchar_t* buffer, DWORD* size) {
                return MsiGetPatchInfoExW(patch.code.c_str(), productCode, sid, context, kLocalPackageProperty, buffer, size);
            },
            patch.localPackage);
        if (result != ERROR_SUCCESS) {
            failure = {"Can't get patch local cache path property", result};
            return false;
        }
        if (FileIsGone(patch.localPackage)) patches.push_back(std::move(patch));
    }
}
