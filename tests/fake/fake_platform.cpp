#include "fake/fake_platform.h"

#include <algorithm>
#include <cwchar>

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

FakeFaultHook faultHook = nullptr;
FakeFault currentFault;

}  // namespace

FakeCallLog& FakeCalls() {
    static FakeCallLog log;
    return log;
}

void FakeRecordCall(std::wstring call) {
    FakeFaultPoint(call);
    if (FakeCalls().recording) FakeCalls().calls.push_back(std::move(call));
    if (callsBeforeStop != 0 && --callsBeforeStop == 0) throw FakeRunStopped{};
}

void FakeRecordRelease(std::wstring call) {
    if (FakeCalls().recording) FakeCalls().calls.push_back(std::move(call));
}

void FakeSetFaultHook(FakeFaultHook hook) { faultHook = hook; }

DWORD FakeFaultPoint(std::wstring_view operation) {
    currentFault = faultHook == nullptr ? FakeFault{} : faultHook(operation);
    return currentFault.failure;
}

DWORD FakeFailure() { return currentFault.failure; }

FakeTextAnswer FakeWriteText(wchar_t* buffer, std::size_t capacity, std::wstring_view text, bool cut) {
    if (currentFault.text == FakeFault::Text::Other) text = currentFault.other;
    FakeTextAnswer answer{text.size() < capacity, static_cast<DWORD>(text.size())};
    if ((currentFault.text == FakeFault::Text::FillTerminated || currentFault.text == FakeFault::Text::FillUnterminated) &&
        capacity > 0) {
        // The text, then filler, to the buffer's last unit.
        const std::size_t units = std::min(text.size(), capacity);
        std::wmemcpy(buffer, text.data(), units);
        std::wmemset(buffer + units, L'x', capacity - units);
        const bool terminated = currentFault.text == FakeFault::Text::FillTerminated;
        if (terminated) buffer[capacity - 1] = L'\0';
        answer = {true, static_cast<DWORD>(terminated ? capacity - 1 : capacity)};
    } else if (answer.fits || (cut && capacity > 0)) {
        const std::size_t units = answer.fits ? text.size() : capacity - 1;
        std::wmemcpy(buffer, text.data(), units);
        buffer[units] = L'\0';
    }
    if (currentFault.size != 0) answer = {false, currentFault.size};
    return answer;
}

void FakeStopAtCall(std::size_t n) { callsBeforeStop = n; }

void FakeEndProcess() {
    callsBeforeStop = 0;
    currentFault = FakeFault{};
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
