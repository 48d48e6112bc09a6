#include "devices/scanner_packages.h"

#include <memory>
#include <type_traits>

#include "devices/oem_inf_name.h"
#include "platform/ascii_case.h"
#include "platform/buffer_text.h"
#include "platform/platform.h"
#include "platform/windows_directory.h"
#include "report/report_writer.h"

namespace {

// An id longer than this is no scanner's (theirs are 21 characters, and a
// suffix of a few more).
constexpr DWORD kFieldLength = 512;
// A models line lists a hardware id and a few compatible ids; a line with
// more fields than this is read no further.
constexpr DWORD kMaxFields = 256;

constexpr const char* kCantListPackages = "Can't list driver packages";

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using OpenFind = std::unique_ptr<void, FindCloser>;

struct InfCloser {
    void operator()(HINF inf) const { SetupCloseInfFile(inf); }
};
using OpenInf = std::unique_ptr<std::remove_pointer_t<HINF>, InfCloser>;

// What reading field index of a line gave: the field, the end of the line,
// a field too long for the buffer, or a failure (its error set).
enum class Field { Read, End, TooLong, Failed };

Field ReadField(INFCONTEXT& line, DWORD index, std::wstring& field, DWORD& error) {
    wchar_t buffer[kFieldLength];
    if (SetupGetStringFieldW(&line, index, buffer, kFieldLength, nullptr)) {
        field = TextInBuffer(buffer);
        return Field::Read;
    }
    error = GetLastError();
    // No field of that index: Windows' error, or none at all (Wine).
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_SUCCESS) return Field::End;
    return error == ERROR_INSUFFICIENT_BUFFER ? Field::TooLong : Field::Failed;
}

// The first line of the section; false when it has none (then error is 0)
// or the query fails.
bool FirstLine(HINF inf, const std::wstring& section, INFCONTEXT& line, DWORD& error) {
    error = 0;
    if (SetupFindFirstLineW(inf, section.c_str(), nullptr, &line)) return true;
    if (const DWORD failure = GetLastError(); failure != ERROR_LINE_NOT_FOUND && failure != ERROR_SECTION_NOT_FOUND)
        error = failure;
    return false;
}

// The next line; false after the last (error 0) or when the query fails.
bool NextLine(INFCONTEXT& line, DWORD& error) {
    error = 0;
    if (SetupFindNextLine(&line, &line)) return true;
    if (const DWORD failure = GetLastError(); failure != ERROR_LINE_NOT_FOUND) error = failure;
    return false;
}

// Notes whether the models section lists a scanner id, and whether it lists
// any other id. Fields 2 and on of each line are the hardware id and the
// compatible ids. A query that fails gives its error: what was read is then
// no evidence.
DWORD ReadModels(HINF inf, const std::wstring& section, const wchar_t* const* hardwareIds,
                 bool& scanner, bool& other) {
    INFCONTEXT line{};
    DWORD error = 0;
    if (!FirstLine(inf, section, line, error)) return error;
    do {
        for (DWORD index = 2; index < kMaxFields; ++index) {
            std::wstring id;
            const Field field = ReadField(line, index, id, error);
            if (field == Field::End) break;
            if (field == Field::Failed) return error;
            if (field == Field::TooLong) {
                other = true;  // no id of ours is that long
                continue;
            }
            if (id.empty()) continue;
            (IsScannerId(hardwareIds, id) ? scanner : other) = true;
        }
    } while (NextLine(line, error));
    return error;
}

// Reads the Manufacturer section: field 1 of each line names a models
// section, fields 2 and on its platform decorations ("NTamd64", ...), each
// of which names a section of its own. The error of the first query that
// fails, or 0.
DWORD ReadInf(HINF inf, const wchar_t* const* hardwareIds, bool& scanner, bool& other) {
    INFCONTEXT line{};
    DWORD error = 0;
    if (!FirstLine(inf, L"Manufacturer", line, error)) return error;
    do {
        std::wstring models;
        const Field name = ReadField(line, 1, models, error);
        if (name == Field::Failed) return error;
        if (name != Field::Read || models.empty()) continue;
        if ((error = ReadModels(inf, models, hardwareIds, scanner, other)) != 0) return error;
        for (DWORD index = 2; index < kMaxFields; ++index) {
            std::wstring decoration;
            const Field field = ReadField(line, index, decoration, error);
            if (field == Field::End) break;
            if (field == Field::Failed) return error;
            if (field == Field::TooLong || decoration.empty()) continue;
            if ((error = ReadModels(inf, models + L"." + decoration, hardwareIds, scanner, other)) != 0) return error;
        }
    } while (NextLine(line, error));
    return error;
}

// What the INF file under the name in the INF folder says it installs:
// whether it lists a scanner id, and whether it lists any other id. The
// error when SetupAPI cannot open it (another process holding it, sharing
// nothing, makes that fail with 32) or a query of it fails.
std::optional<DWORD> ReadPackage(const std::wstring& infFolder, const std::wstring& name,
                                 const wchar_t* const* hardwareIds, bool& scanner, bool& other) {
    const std::wstring path = infFolder + name;
    const HINF opened = SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        // Read whole, it is no Windows NT INF file: no package Windows could
        // install from, as one listing no id. Only administrators can change
        // a file in the INF folder.
        const DWORD error = GetLastError();
        if (error == ERROR_WRONG_INF_STYLE) return std::nullopt;
        return error;
    }
    const OpenInf inf(opened);
    if (const DWORD error = ReadInf(inf.get(), hardwareIds, scanner, other)) return error;
    return std::nullopt;
}

void ClassifyPackage(const std::wstring& infFolder, const std::wstring& name,
                     const wchar_t* const* hardwareIds, ScannerPackages& found) {
    bool scanner = false;
    bool other = false;
    if (const auto error = ReadPackage(infFolder, name, hardwareIds, scanner, other)) {
        found.unreadable.push_back({name, *error});
        return;
    }
    if (scanner) (other ? found.shared : found.scannerOnly).insert(name);
}

}  // namespace

bool IsScannerId(const wchar_t* const* hardwareIds, const std::wstring& id) {
    for (; *hardwareIds != nullptr; ++hardwareIds) {
        std::size_t length = 0;
        if (StartsWithIgnoringCase(id, *hardwareIds, length) &&
            (id.size() == length || id[length] == L'&'))
            return true;
    }
    return false;
}

PackageMaker MakerOfPackage(const wchar_t* const* hardwareIds, const std::wstring& name, DWORD& error) {
    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) {
        error = GetLastError();
        return PackageMaker::Unread;
    }
    bool scanner = false;
    bool other = false;
    if (const auto failure = ReadPackage(windowsDirectory + L"\\inf\\", name, hardwareIds, scanner, other)) {
        error = *failure;
        return PackageMaker::Unread;
    }
    return other && !scanner ? PackageMaker::Another : PackageMaker::Scanner;
}

std::wstring FileNameKey(const std::wstring& name) { return LowerAscii(name); }

InfNameSet PackagesWithoutDevice(const ScannerPackages& found, const InfNameSet& nodeNames) {
    InfNameSet keys;
    for (const std::wstring& name : nodeNames) keys.insert(FileNameKey(name));
    InfNameSet without;
    for (const std::wstring& name : found.scannerOnly)
        if (keys.count(FileNameKey(name)) == 0) without.insert(name);
    return without;
}

std::optional<FailureLine> FindScannerPackages(const wchar_t* const* hardwareIds, ScannerPackages& found) {
    const std::wstring windowsDirectory = WindowsDirectory();
    if (windowsDirectory.empty()) return FailureLine{"Can't get Windows directory", GetLastError()};
    const std::wstring infFolder = windowsDirectory + L"\\inf\\";
    const std::wstring pattern = infFolder + L"oem*.inf";
    WIN32_FIND_DATAW entry{};
    const HANDLE first = FindFirstFileW(pattern.c_str(), &entry);
    if (first == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;  // no package added to the store
        return FailureLine{kCantListPackages, error};
    }
    const OpenFind find(first);
    do {
        // The pattern also matches names like oem.inf, and long names
        // through their short ones.
        const std::wstring name = TextInBuffer(entry.cFileName);
        if (IsOemInfName(name)) ClassifyPackage(infFolder, name, hardwareIds, found);
    } while (FindNextFileW(find.get(), &entry));
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) return FailureLine{kCantListPackages, error};
    return std::nullopt;
}
