#include <cwchar>
#include <set>

#include "fake/fake_kernel.h"
#include "fake/fake_setupapi.h"

namespace {

struct Ole32Model {
    FakeOle32 script;
    std::set<wchar_t*> allocations;
};

Ole32Model ole32;
const FakeResetRegistration reset([] { ole32.script = FakeOle32{}; });
const FakeProcessStateRegistration processState([] {
    for (wchar_t* allocation : ole32.allocations) delete[] allocation;
    ole32.allocations.clear();
});

}  // namespace

FakeOle32& TheFakeOle32() { return ole32.script; }

std::wstring FakeGuidText(const GUID& guid) {
    wchar_t text[39];
    std::swprintf(text, std::size(text), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    const std::wstring guid = FakeGuidText(clsid);
    FakeRecordCall(L"StringFromCLSID(" + guid + L")");
    const DWORD failure = FakeFailure();
    if (ole32.script.stringFromClsidResult != S_OK || failure != 0) {
        *text = nullptr;
        return failure != 0 ? static_cast<HRESULT>(failure | 0x80000000u) : ole32.script.stringFromClsidResult;
    }
    *text = new wchar_t[guid.size() + 1];
    std::wmemcpy(*text, guid.c_str(), guid.size() + 1);
    ole32.allocations.insert(*text);
    FakeHandleOpened("cotaskmem");
    return S_OK;
}

void CoTaskMemFree(LPVOID memory) {
    auto* text = static_cast<wchar_t*>(memory);
    const bool allocated = ole32.allocations.count(text) != 0;
    FakeRecordRelease(L"CoTaskMemFree(" +
                   std::wstring(text == nullptr ? L"null" : allocated ? text : L"unknown") + L")");
    if (text == nullptr) return;
    if (!allocated) {
        ++FakeCalls().badCloses["cotaskmem"];
        return;
    }
    ole32.allocations.erase(text);
    delete[] text;
    FakeHandleClosed("cotaskmem");
}
