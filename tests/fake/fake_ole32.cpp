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

// Written digit by digit: swprintf would cost the benchmark most of its time.
std::wstring FakeGuidText(const GUID& guid) {
    std::wstring text = L"{";
    auto hex = [&](unsigned long value, int digits, const wchar_t* after) {
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(value >> shift) & 0xF];
        text += after;
    };
    hex(guid.Data1, 8, L"-");
    hex(guid.Data2, 4, L"-");
    hex(guid.Data3, 4, L"-");
    for (int i = 0; i < 8; ++i) hex(guid.Data4[i], 2, i == 1 ? L"-" : L"");
    return text + L'}';
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
