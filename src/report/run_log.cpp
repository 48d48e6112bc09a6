#include "report/run_log.h"

#include <ctime>
#include <iomanip>
#include <sstream>

#include "platform/new_file.h"

namespace {

struct RunLogState {
    std::wstring name;
    // Created new and held without sharing delete for the whole run, so the
    // name the stream opens is this regular file, never a planted link.
    OwnedFile held;
    std::ofstream stream;
};

// Built on first use, so it exists whenever start-up opens it, whatever the
// order in which the program's static objects are initialised.
RunLogState& TheRunLog() {
    static RunLogState state;
    return state;
}

#ifndef _WIN32
std::string NarrowFileName(const std::wstring& name) {
    std::string narrow;
    for (wchar_t c : name) narrow.push_back(static_cast<char>(c));  // the name is ASCII
    return narrow;
}
#endif

}  // namespace

std::wstring BuildRunLogName(const SYSTEMTIME& localTime, DWORD tickCount) {
    std::tm tm{};
    tm.tm_year = localTime.wYear - 1900;
    tm.tm_mon = localTime.wMonth - 1;
    tm.tm_mday = localTime.wDay;
    tm.tm_hour = localTime.wHour;
    tm.tm_min = localTime.wMinute;
    tm.tm_sec = localTime.wSecond;
    tm.tm_wday = localTime.wDayOfWeek;
    wchar_t formatted[80] = {};
    std::wcsftime(formatted, 80, L"%d-%m-%y-%H-%M-%S", &tm);

    std::wostringstream name;
    name << L"nrvDrvCln-" << formatted << L"-";
    name << std::hex << std::setfill(L'0') << std::uppercase << std::setw(3)
         << (tickCount & 0xFFFu);
    name << L".txt";
    return name.str();
}

void OpenRunLog() {
    RunLogState& log = TheRunLog();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    log.name = BuildRunLogName(now, GetTickCount());
    log.held = CreateNewFile(log.name.c_str(), FILE_APPEND_DATA);
    if (!log.held) return;  // a name already there, or a folder that refuses writing
#ifdef _WIN32
    log.stream.open(log.name.c_str(), std::ios::out | std::ios::trunc);
#else
    log.stream.open(NarrowFileName(log.name), std::ios::out | std::ios::trunc);
#endif
    if (!log.stream.is_open()) log.held.reset();
}

bool RunLogIsOpen() { return TheRunLog().stream.is_open(); }

std::ofstream& RunLogStream() { return TheRunLog().stream; }

const std::wstring& RunLogName() { return TheRunLog().name; }

void DiscardRunLog() {
    RunLogState& log = TheRunLog();
    if (!log.stream.is_open()) return;
    log.stream.close();  // a failed close sets the stream's failure state
    log.held.reset();
    DeleteFileW(log.name.c_str());
}

void CloseRunLog() {
    RunLogState& log = TheRunLog();
    if (log.stream.is_open()) log.stream.close();
    log.held.reset();
}
