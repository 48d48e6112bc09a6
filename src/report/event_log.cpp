#include "report/event_log.h"

DWORD WriteApplicationEvent(WORD type, DWORD eventId, const std::vector<std::wstring>& strings) {
    const HANDLE source = RegisterEventSourceW(nullptr, kEventSourceName);
    if (source == nullptr) return GetLastError();
    std::vector<LPCWSTR> texts;
    for (const std::wstring& text : strings) texts.push_back(text.c_str());
    const BOOL written = ReportEventW(source, type, 0, eventId, nullptr, static_cast<WORD>(texts.size()), 0,
                                      texts.data(), nullptr);
    const DWORD error = written ? 0 : GetLastError();
    DeregisterEventSource(source);
    return error;
}
