// Fake event logging (advapi32): the events the program reports.
#pragma once

#include <string>
#include <vector>

#include "fake/fake_platform.h"

struct FakeEvent {
    std::wstring source;
    WORD type;
    DWORD id;
    std::vector<std::wstring> strings;
};

struct FakeEventLog {
    std::vector<FakeEvent> events;  // written, in order
    // Non-zero: RegisterEventSourceW, or ReportEventW, fails with this code.
    DWORD registerError = 0;
    DWORD reportError = 0;
};

FakeEventLog& TheFakeEventLog();
