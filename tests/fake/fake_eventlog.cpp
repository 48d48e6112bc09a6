#include "fake/fake_eventlog.h"

#include <cstdint>
#include <map>

#include "fake/fake_kernel.h"

namespace {

FakeEventLog eventLog;
std::map<HANDLE, std::wstring> sources;  // open handle -> source name
std::uintptr_t nextSource = 0x3000;
const FakeResetRegistration reset([] { eventLog = FakeEventLog{}; });
const FakeProcessStateRegistration processState([] { sources.clear(); });

}  // namespace

FakeEventLog& TheFakeEventLog() { return eventLog; }

HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) {
    FakeRecordCall(L"RegisterEventSourceW(" + FakeQuoted(serverName) + L", " + FakeQuoted(sourceName) + L")");
    DWORD failure = FakeFailure();
    if (failure == 0) failure = eventLog.registerError;
    if (failure != 0) {
        FakeSetLastError(failure);
        return nullptr;
    }
    const auto handle = reinterpret_cast<HANDLE>(nextSource++);
    sources[handle] = sourceName == nullptr ? L"" : sourceName;
    FakeHandleOpened("event-source");
    return handle;
}

BOOL ReportEventW(HANDLE eventLogHandle, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                  DWORD dataSize, LPCWSTR* strings, LPVOID rawData) {
    FakeRecordCall(L"ReportEventW(" + std::to_wstring(type) + L", " + std::to_wstring(category) + L", " +
                   std::to_wstring(eventId) + L", " + std::to_wstring(numStrings) + L" strings" +
                   (userSid == nullptr && dataSize == 0 && rawData == nullptr ? L"" : L", with data") + L")");
    DWORD failure = FakeFailure();
    if (failure == 0) failure = eventLog.reportError;
    const auto source = sources.find(eventLogHandle);
    if (failure == 0 && source == sources.end()) failure = 6;  // ERROR_INVALID_HANDLE
    if (failure != 0) {
        FakeSetLastError(failure);
        return FALSE;
    }
    FakeEvent event{source->second, type, eventId, {}};
    for (WORD i = 0; i < numStrings; ++i) event.strings.emplace_back(strings[i]);
    eventLog.events.push_back(event);
    return TRUE;
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
