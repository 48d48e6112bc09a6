#include "fake/fake_msi.h"

namespace {

FakeMsi msi;
const FakeResetRegistration reset([] { msi = FakeMsi{}; });

}  // namespace

FakeMsi& TheFakeMsi() { return msi; }

INSTALLUILEVEL MsiSetInternalUI(INSTALLUILEVEL level, HWND* window) {
    FakeRecordCall(L"MsiSetInternalUI(" + std::to_wstring(static_cast<int>(level)) + L", " +
                   (window == nullptr ? L"null" : L"window") + L")");
    ++msi.setInternalUICalls;
    return INSTALLUILEVEL_NONE;
}
