#include "fake/fake_registry.h"

#include <cstdint>
#include <cwchar>

namespace {

constexpr REGSAM kWow64_64Key = 0x0100;  // KEY_WOW64_64KEY
constexpr LONG kErrorInvalidHandle = 6;

struct OpenedKey {
    bool view32;
    std::wstring path;
};

struct Handles {
    std::map<HKEY, OpenedKey> open;
    std::uintptr_t next = 0x1000;
};

FakeRegistry registry;
Handles handles;
const FakeResetRegistration reset([] { registry = FakeRegistry{}; });
const FakeProcessStateRegistration processState([] { handles = Handles{}; });

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%x", static_cast<unsigned>(value));
    return text;
}

std::wstring KeyName(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return L"HKLM";
    const auto found = handles.open.find(key);
    if (found == handles.open.end()) return L"unknown key";
    return L"HKLM\\" + found->second.path + (found->second.view32 ? L" (32)" : L" (64)");
}

std::map<std::wstring, FakeRegistryKey>& View(bool view32) {
    return view32 ? registry.view32 : registry.view64;
}

}  // namespace

FakeRegistry& TheFakeRegistry() { return registry; }

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM samDesired, PHKEY result) {
    FakeRecordCall(L"RegOpenKeyExW(" + KeyName(key) + L", " + FakeQuoted(subKey) + L", " +
                   std::to_wstring(options) + L", " + Hex(samDesired) + L")");
    if (const DWORD failure = FakeFailure()) return static_cast<LONG>(failure);
    if (key != HKEY_LOCAL_MACHINE || subKey == nullptr) return kErrorInvalidHandle;
    if (registry.openError != 0) return registry.openError;
    const bool view32 = (samDesired & KEY_WOW64_32KEY) != 0 && (samDesired & kWow64_64Key) == 0;
    if (View(view32).count(subKey) == 0) return ERROR_FILE_NOT_FOUND;
    const auto handle = reinterpret_cast<HKEY>(handles.next++);
    handles.open[handle] = OpenedKey{view32, subKey};
    FakeHandleOpened("registry-key");
    *result = handle;
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName) {
    FakeRecordCall(L"RegDeleteKeyValueW(" + KeyName(key) + L", " + FakeQuoted(subKey) + L", " +
                   FakeQuoted(valueName) + L")");
    if (const DWORD failure = FakeFailure()) return static_cast<LONG>(failure);
    const auto opened = handles.open.find(key);
    if (opened == handles.open.end()) return kErrorInvalidHandle;
    if (registry.deleteStatus) return *registry.deleteStatus;
    std::wstring path = opened->second.path;
    if (subKey != nullptr) path += L"\\" + std::wstring(subKey);
    auto& view = View(opened->second.view32);
    const auto target = view.find(path);
    if (target == view.end()) return ERROR_FILE_NOT_FOUND;
    return target->second.values.erase(valueName == nullptr ? L"" : valueName) == 1
               ? ERROR_SUCCESS
               : ERROR_FILE_NOT_FOUND;
}

LONG RegCloseKey(HKEY key) {
    FakeRecordRelease(L"RegCloseKey(" + KeyName(key) + L")");
    const auto opened = handles.open.find(key);
    if (opened == handles.open.end()) {
        ++FakeCalls().badCloses["registry-key"];
        return kErrorInvalidHandle;
    }
    handles.open.erase(opened);
    FakeHandleClosed("registry-key");
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    FakeRecordCall(L"RegQueryValueExW(" + KeyName(key) + L", " + FakeQuoted(valueName) + L", " +
                   (reserved == nullptr && type == nullptr && data == nullptr && dataSize == nullptr
                        ? L"presence only"
                        : L"with buffers") +
                   L")");
    if (const DWORD failure = FakeFailure()) return static_cast<LONG>(failure);
    const auto opened = handles.open.find(key);
    if (opened == handles.open.end()) return kErrorInvalidHandle;
    if (registry.queryStatus) return *registry.queryStatus;
    const auto& values = View(opened->second.view32)[opened->second.path].values;
    return values.count(valueName == nullptr ? L"" : valueName) == 1 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
