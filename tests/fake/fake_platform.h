// The fake Windows platform the unit tests link instead of the real one.
//
// Each operation group keeps a scriptable model (fake_kernel.h, fake_msi.h,
// ...). This header holds what they share: the record of calls made, in
// order, and the count of handles open per kind.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

struct FakeCallLog {
    bool recording = true;                     // false: calls are not kept (the benchmark)
    std::vector<std::wstring> calls;           // e.g. L"MsiSetInternalUI(2, null)"
    std::map<std::string, int> openHandles;    // kind -> currently open
    std::map<std::string, int> badCloses;      // kind -> closes of unknown handles
};

FakeCallLog& FakeCalls();

void FakeRecordCall(std::wstring call);
// Records a call that only gives back what the process holds (a handle's
// close, a free): it changes nothing on the machine, so a stop never lands
// on one (closes also run from destructors, where nothing may be thrown).
void FakeRecordRelease(std::wstring call);
// A text argument as a call record shows it: "text", or null.
std::wstring FakeQuoted(const wchar_t* text);
void FakeHandleOpened(const std::string& kind);
// Returns false (and counts a bad close) when no handle of that kind is open.
bool FakeHandleClosed(const std::string& kind);
int FakeOpenHandleCount();  // all kinds together
int FakeBadCloseCount();

// Calls recorded whose text starts with prefix, in order.
std::vector<std::wstring> FakeCallsStartingWith(const std::wstring& prefix);

// Resets every operation group's model and the call log.
void ResetFakePlatform();

// A run stopped as a kill stops it, between two calls: the call a stop lands
// on throws this instead of running. Program code never catches it.
struct FakeRunStopped {};
// Arms a stop at the n-th call recorded from now on, releases not counted;
// 0 disarms. A stop fires once.
void FakeStopAtCall(std::size_t n);

// Ends the process as a kill ends it: what it held (handles, the installer
// log setting, edits not committed) is forgotten; the machine stays as it is.
void FakeEndProcess();

// Each group registers its reset here, and apart what a process holds.
void FakeRegisterReset(void (*reset)());
void FakeRegisterProcessState(void (*forget)());

struct FakeResetRegistration {
    explicit FakeResetRegistration(void (*reset)()) { FakeRegisterReset(reset); }
};
struct FakeProcessStateRegistration {
    explicit FakeProcessStateRegistration(void (*forget)()) { FakeRegisterProcessState(forget); }
};

// A fault injected into one call, as a faulty or hostile Windows might answer
// (the fuzzer's; the unit tests inject none).
struct FakeFault {
    DWORD failure = 0;  // non-zero: the call fails with this code
    // A text answer fills the whole buffer, its terminator in the last unit
    // or nowhere, or is another text.
    enum class Text { AsModelled, FillTerminated, FillUnterminated, Other } text = Text::AsModelled;
    std::wstring other;
    DWORD size = 0;     // non-zero: the text answered as too long, needing this length
};
// Asked at each operation's start; null (the default): every call as modelled.
using FakeFaultHook = FakeFault (*)(std::wstring_view operation);
void FakeSetFaultHook(FakeFaultHook hook);

// Each operation starts with FakeRecordCall, which asks the hook, or with
// FakeFaultPoint if the log leaves it out. The fault stays the call's:
// FakeFailure is its code (0: none), FakeWriteText applies its text and size.
DWORD FakeFaultPoint(std::wstring_view operation);
DWORD FakeFailure();

// A text answer in a caller's buffer of capacity units: the text and its
// terminator when they fit; else nothing, or with cut as much as fits and a
// terminator. length is the text's length, as the call reports it.
struct FakeTextAnswer {
    bool fits = false;
    DWORD length = 0;
};
FakeTextAnswer FakeWriteText(wchar_t* buffer, std::size_t capacity, std::wstring_view text, bool cut = false);
