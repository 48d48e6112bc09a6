#include "fake/fake_platform.h"

#include <numeric>

namespace {

std::vector<void (*)()>& Resets() {
    static std::vector<void (*)()> resets;
    return resets;
}

std::vector<void (*)()>& ProcessStates() {
    static std::vector<void (*)()> forgets;
    return forgets;
}

// The armed stop: calls left before it (0: none armed).
std::size_t callsBeforeStop = 0;

}  // namespace

FakeCallLog& FakeCalls() {
    static FakeCallLog log;
    return log;
}

void FakeRecordCall(std::wstring call) {
    FakeCalls().calls.push_back(std::move(call));
    if (callsBeforeStop != 0 && --callsBeforeStop == 0) throw FakeRunStopped{};
}

void FakeRecordRelease(std::wstring call) { FakeCalls().calls.push_back(std::move(call)); }

void FakeStopAtCall(std::size_t n) { callsBeforeStop = n; }

void FakeEndProcess() {
    callsBeforeStop = 0;
    FakeCalls().openHandles.clear();
    for (auto forget : ProcessStates()) forget();
}

std::wstring FakeQuoted(const wchar_t* text) {
    return text == nullptr ? L"null" : L"\"" + std::wstring(text) + L"\"";
}

void FakeHandleOpened(const std::string& kind) { ++FakeCalls().openHandles[kind]; }

bool FakeHandleClosed(const std::string& kind) {
    int& open = FakeCalls().openHandles[kind];
    if (open <= 0) {
        ++FakeCalls().badCloses[kind];
        return false;
    }
    --open;
    return true;
}

int FakeOpenHandleCount() {
    int total = 0;
    for (const auto& [kind, open] : FakeCalls().openHandles) total += open;
    return total;
}

int FakeBadCloseCount() {
    int total = 0;
    for (const auto& [kind, count] : FakeCalls().badCloses) total += count;
    return total;
}

std::vector<std::wstring> FakeCallsStartingWith(const std::wstring& prefix) {
    std::vector<std::wstring> matching;
    for (const auto& call : FakeCalls().calls)
        if (call.rfind(prefix, 0) == 0) matching.push_back(call);
    return matching;
}

void FakeRegisterReset(void (*reset)()) { Resets().push_back(reset); }

void FakeRegisterProcessState(void (*forget)()) { ProcessStates().push_back(forget); }

void ResetFakePlatform() {
    FakeEndProcess();
    FakeCalls() = FakeCallLog{};
    for (auto reset : Resets()) reset();
}
