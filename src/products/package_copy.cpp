#include "products/package_copy.h"

#include <memory>

#include "platform/new_file.h"
#include "platform/platform.h"
#include "platform/windows_directory.h"
#include "report/report_writer.h"

namespace {

// Full control for SYSTEM and the Administrators group, inherited by what is
// made inside; no other entry, none inherited from the parent (P).
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// How many names are tried: the temporary folder is one where other users
// may make folders, so a name may be taken, by chance or on purpose.
constexpr unsigned kFolderNameTries = 100;

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::wstring Hex(DWORD value) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (int shift = 28; shift >= 0; shift -= 4) text.push_back(kDigits[(value >> shift) & 0xF]);
    return text;
}

// The new folder's path, or "" with the error in error.
std::wstring MakeProtectedFolder(DWORD& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        error = GetLastError();
        return {};
    }
    const std::unique_ptr<void, LocalFreer> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};

    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) {
        error = GetLastError();
        return {};
    }
    const std::wstring stem = windowsDirectory + L"\\Temp\\NrvDriverCleanup-" + Hex(GetTickCount()) + L"-";
    for (unsigned n = 0; n < kFolderNameTries; ++n) {
        // A name already there, a link included, is never used.
        const std::wstring folder = stem + std::to_wstring(n);
        if (CreateDirectoryW(folder.c_str(), &attributes)) return folder;
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

}  // namespace

bool CopyOriginalPackage(const std::wstring& original, PackageCopy& copy) {
    copy = PackageCopy{};
    DWORD error = 0;
    const OwnedFile from = OpenFileToRead(original.c_str());
    if (!from) error = GetLastError();
    const std::wstring folder = from ? MakeProtectedFolder(error) : std::wstring();
    if (folder.empty()) {
        ReportFailure("Can't copy original package", error);
        return false;
    }
    const std::wstring file = folder + L"\\" + FileName(original);
    bool copied = false;
    {
        const OwnedFile to = CreateNewFile(file.c_str(), GENERIC_WRITE);
        copied = to && CopyFileContent(from.get(), to.get());
        if (!copied) error = GetLastError();
    }
    if (!copied) {
        ReportFailure("Can't copy original package", error);
        DeletePackageCopy({folder, file});
        return false;
    }
    copy = {folder, file};
    return true;
}

void DeletePackageCopy(const PackageCopy& copy) {
    DeleteFileW(copy.file.c_str());
    RemoveDirectoryW(copy.folder.c_str());
}
