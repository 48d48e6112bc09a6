#include "fake/fake_eventlog.h"

#include <cstdint>
#include <set>

#include "fake/fake_kernel.h"

namespace {

FakeEventLog eventLog;
std::set<HANDLE> sources;  // open
std::uintptr_t nextSource = 0x3000;
const FakeResetRegistration reset([] { eventLog = FakeEventLog{}; });
const FakeProcessStateRegistration processState([] { sources.clear(); });

}  // namespace

FakeEventLog& TheFakeEventLog() { return eventLog; }

HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) {
    FakeRecordCall(L"RegisterEventSourceW(" + FakeQuoted(serverName) + L", " + FakeQuoted(sourceName) + L")");
    const DWORD failure = FakeFailure() != 0 ? FakeFailure() : eventLog.registerError;
    if (failure != 0) {
        FakeSetLastError(failure);
        return nullptr;
    }
    const auto handle = reinterpret_cast<HANDLE>(nextSource++);
    sources.insert(handle);
    FakeHandleOpened("event-source");
    return handle;
}

BOOL ReportEventW(HANDLE eventLogHandle, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                  DWORD dataSize, LPCWSTR* strings, LPVOID rawData) {
    std::wstring call = L"ReportEventW(" + std::to_wstring(type) + L", " + std::to_wstring(category) + L", " +
                        std::to_wstring(eventId);
    for (WORD i = 0; i < numStrings; ++i) call += L", " + FakeQuoted(strings[i]);
    if (userSid != nullptr || dataSize != 0 || rawData != nullptr) call += L", with data";
    FakeRecordCall(call + L")");
    const DWORD failure = FakeFailure() != 0 ? FakeFailure() : sources.count(eventLogHandle) == 0 ? 6u : 0u;
    if (failure != 0) FakeSetLastError(failure);  // 6: ERROR_INVALID_HANDLE
    return failure == 0;
}

BOOL DeregisterEventSource(HANDLE eventLogHandle) {
    FakeRecordRelease(L"DeregisterEventSource");
    if (sources.erase(eventLogHandle) == 0) {
        ++FakeCalls().badCloses["event-source"];
        return FALSE;
    }
    FakeHandleClosed("event-source");
    return TRUE;
}
