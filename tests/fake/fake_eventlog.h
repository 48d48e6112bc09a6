// Fake event logging (advapi32): each event reported is in the call record,
// ReportEventW(type, category, id, "string", ...).
#pragma once

#include "fake/fake_platform.h"

struct FakeEventLog {
    DWORD registerError = 0;  // non-zero: RegisterEventSourceW fails with it
};

FakeEventLog& TheFakeEventLog();
