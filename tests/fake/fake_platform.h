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

// Each group registers its reset here (see FAKE_REGISTER_RESET).
void FakeRegisterReset(void (*reset)());

struct FakeResetRegistration {
    explicit FakeResetRegistration(void (*reset)()) { FakeRegisterReset(reset); }
};
