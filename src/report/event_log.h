// The Application event log, under the program's own source name.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The source the program writes as. install.cmd registers it with the
// installed program as its message file, so that Event Viewer shows the
// message table's texts; unregistered, the event still carries its strings.
inline constexpr const wchar_t* kEventSourceName = L"NrvDriverCleanup";

// Writes one event of this type and id, with these strings (the message's
// %1, %2, ...). Returns 0, or the error code of the call that failed.
DWORD WriteApplicationEvent(WORD type, DWORD eventId, const std::vector<std::wstring>& strings);
