#include "products/package_copy.h"


#include "platform/ascii_case.h"
#include "platform/final_path.h"
#include "platform/local_memory.h"
#include "platform/platform.h"
#include "platform/windows_directory.h"
#include "products/file_trust.h"
#include "report/report_writer.h"

namespace {

// Full control for SYSTEM and the Administrators group, inherited by what is
// made inside; no other entry, none inherited from the parent (P).
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// How many names are tried. Every user may make folders in the temporary
// folder, but nobody can guess a name: one already there is never used.
constexpr unsigned kFolderNameTries = 4;
constexpr unsigned kNameBytes = 16;

// ERROR_REPARSE_POINT_ENCOUNTERED, the answer when the folder opened is not
// the one made (the mingw-w64 headers do not define it).
constexpr DWORD kNotTheFolderMade = 4395;

// 128 bits from the system's generator, as hex digits; "" when it fails.
std::wstring UnguessableName() {
    BYTE bytes[kNameBytes] = {};
    if (!RtlGenRandom(bytes, kNameBytes)) return {};
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (const BYTE byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

// Whether the folder opened is the one made at path: a folder, no link, at
// that very path, and only administrators can change it. A name that was a
// link when the folder was made led elsewhere, and the name may be another
// user's.
bool IsTheFolderMade(HANDLE folder, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(folder, &information)) return false;
    return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
           LowerAscii(FinalPathOf(folder)) == LowerAscii(path) && OnlyAdministratorsCanChange(folder);
}

// Makes the folder and opens it; false with the error in error.
bool MakeProtectedFolder(PackageCopy& copy, DWORD& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        error = GetLastError();
        return false;
    }
    const LocalMemory owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};

    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) {
        error = GetLastError();
        return false;
    }
    for (unsigned n = 0; n < kFolderNameTries; ++n) {
        const std::wstring name = UnguessableName();
        if (name.empty()) {
            error = GetLastError();
            return false;
        }
        copy.folder = windowsDirectory + L"\\Temp\\NrvDriverCleanup-" + name;
        if (CreateDirectoryW(copy.folder.c_str(), &attributes)) break;
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || n + 1 == kFolderNameTries) return false;
    }
    // The folder itself, never what a link there leads to; sharing neither
    // delete nor rename while it is held.
    const HANDLE folder = CreateFileW(copy.folder.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    copy.folderHandle.reset(folder);
    if (!IsTheFolderMade(folder, copy.folder)) {
        copy.folderHandle.reset();
        error = kNotTheFolderMade;
        return false;
    }
    return true;
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// A name that stays inside the folder: no path, no stream, not the folder itself.
bool IsPlainFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

}  // namespace

bool CopyOriginalPackage(const OriginalPackage& original, const std::wstring& name, PackageCopy& copy) {
    copy = PackageCopy{};
    DWORD error = original.openError;
    if (!original.file || !MakeProtectedFolder(copy, error)) {
        ReportFailure("Can't copy original package", error);
        copy = PackageCopy{};
        return false;
    }
    copy.file = copy.folder + L"\\" + (IsPlainFileName(name) ? name : FileName(original.search.path));
    bool copied = false;
    {
        const OwnedFile to = CreateNewFile(copy.file.c_str(), GENERIC_WRITE);
        copied = to && CopyFileContent(original.file.get(), to.get());
        if (!copied) error = GetLastError();
    }
    if (!copied) {
        ReportFailure("Can't copy original package", error);
        DeletePackageCopy(copy);
        return false;
    }
    return true;
}

void DeletePackageCopy(PackageCopy& copy) {
    DeleteFileW(copy.file.c_str());
    // Through the handle held since the folder was made and checked: the
    // folder goes when the handle is closed, and its name was never free.
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(copy.folderHandle.get(), FileDispositionInfo, &disposition, sizeof disposition);
    copy.folderHandle.reset();
}
