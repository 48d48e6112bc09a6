// The fake Windows platform the unit tests link instead of the real one.
//
// Each operation group keeps a scriptable model (fake_kernel.h, fake_msi.h,
// ...). This header holds what they share: the record of calls made, in
// order, and the count of handles open per kind.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeCallLog {
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
