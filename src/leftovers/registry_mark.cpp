#include "leftovers/registry_mark.h"

#include <memory>
#include <type_traits>

#include "platform/platform.h"
#include "report/report_writer.h"
#include "run/inventory.h"

namespace {

constexpr const wchar_t* kMarkKeyPath = L"Software\\NerovanDrv";
constexpr const wchar_t* kMarkValueName = L"DriverName";
// The mark lives in the 32-bit view (the one 32-bit programs see), so the
// 64-bit program asks for that view explicitly.
constexpr REGSAM kMarkKeyAccess = KEY_READ | KEY_SET_VALUE | KEY_WOW64_32KEY;
static_assert(kMarkKeyAccess == 0x2021B);
// Looking only: no right to change the key.
constexpr REGSAM kMarkKeyLookAccess = KEY_READ | KEY_WOW64_32KEY;

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using OpenKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace

void RemoveRegistryMark() {
    ReportEndLine();
    ReportLine("Check registry entries");

    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMarkKeyPath, 0, kMarkKeyAccess, &opened) !=
        ERROR_SUCCESS)
        return;
    const OpenKey key(opened);
    ReportLine("Registry mark found");

    const LONG status = RegDeleteKeyValueW(key.get(), nullptr, kMarkValueName);
    if (status == ERROR_SUCCESS) {
        ReportLine("Driver mark has removes successfully");
    } else if (status != ERROR_FILE_NOT_FOUND) {
        ReportFailureSigned("Can't delete driver mark value", status);
    }
}

void FindRegistryMark(Inventory& inventory) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMarkKeyPath, 0, kMarkKeyLookAccess, &opened);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND)
            NoteUnread(inventory, InventoryPart::Mark,
                       {"Can't open driver mark key", static_cast<std::uint32_t>(status), CodeForm::Signed});
        return;
    }
    const OpenKey key(opened);
    const LONG query = RegQueryValueExW(key.get(), kMarkValueName, nullptr, nullptr, nullptr, nullptr);
    if (query == ERROR_SUCCESS) {
        inventory.mark = true;
    } else if (query != ERROR_FILE_NOT_FOUND) {
        NoteUnread(inventory, InventoryPart::Mark,
                   {"Can't read driver mark value", static_cast<std::uint32_t>(query), CodeForm::Signed});
    }
}
