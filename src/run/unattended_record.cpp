#include "run/unattended_record.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/event_log.h"
#include "report/report_writer.h"
#include "report/run_folder.h"
#include "report/run_log.h"
#include "run/run_event_ids.h"

namespace {

struct Outcome {
    int exitCode;
    WORD type;
    DWORD eventId;
};

// The last row is also the outcome of any other code.
constexpr Outcome kOutcomes[] = {
    {0, EVENTLOG_INFORMATION_TYPE, NRV_EVENT_CLEAN},
    {static_cast<int>(ERROR_SUCCESS_REBOOT_REQUIRED), EVENTLOG_WARNING_TYPE, NRV_EVENT_RESTART},
    {static_cast<int>(ERROR_INSTALL_ALREADY_RUNNING), EVENTLOG_WARNING_TYPE, NRV_EVENT_INSTALLER_BUSY},
    {static_cast<int>(ERROR_INSTALL_FAILURE), EVENTLOG_ERROR_TYPE, NRV_EVENT_LEFT},
    {-1, EVENTLOG_ERROR_TYPE, NRV_EVENT_NOT_STARTED},
};

// ReportEventW takes no longer string ("ReportEventW function").
constexpr std::size_t kLongestEventString = 31839;

const Outcome& OutcomeOf(int exitCode) {
    for (const Outcome& outcome : kOutcomes)
        if (outcome.exitCode == exitCode) return outcome;
    return kOutcomes[std::size(kOutcomes) - 1];
}

std::string LocalDateTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[64];  // room for any WORD values
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{now.wYear}, unsigned{now.wMonth},
                  unsigned{now.wDay}, unsigned{now.wHour}, unsigned{now.wMinute}, unsigned{now.wSecond});
    return text;
}

// The report's 8-bit text back to wide (each byte is the character of that
// value), its lines ended by CR LF as Event Viewer shows them, cut to what an
// event string may hold.
std::wstring EventString(const std::string& lines) {
    std::wstring wide;
    for (const char c : lines) {
        if (c == '\n') wide += L'\r';
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    if (wide.ends_with(L"\r\n")) wide.resize(wide.size() - 2);
    if (wide.size() > kLongestEventString) wide.resize(kLongestEventString);
    return wide;
}

std::string LastLine(const std::string& text) {
    const std::string lines = text.ends_with('\n') ? text.substr(0, text.size() - 1) : text;
    const std::size_t end = lines.rfind('\n');
    return end == std::string::npos ? lines : lines.substr(end + 1);
}

}  // namespace

void BeginUnattendedRecord() {
    RunLogLine("Started: " + LocalDateTime());
    RunLogLine("Command line: " + NarrowText(GetCommandLineW()));
    KeepReport();
}

void EndUnattendedRecord(int exitCode) {
    const std::string kept = KeptReport();
    const Outcome& outcome = OutcomeOf(exitCode);
    std::wstring commandLine = GetCommandLineW();
    if (commandLine.size() > kLongestEventString) commandLine.resize(kLongestEventString);
    // A run that could not start its passes took no inventory: its verdict
    // is the line that said why.
    const std::vector<std::wstring> strings{
        EventString(LastLine(kept)), std::to_wstring(exitCode), commandLine,
        RunLogIsOpen() ? RunFolderFile(RunLogName()) : L"none", EventString(exitCode == -1 ? "" : kept)};
    if (const DWORD error = WriteApplicationEvent(outcome.type, outcome.eventId, strings))
        RunLogLine("Can't write the run's event. Error: " + std::to_string(error));
    RunLogLine("Exit code: " + std::to_string(exitCode));
}
