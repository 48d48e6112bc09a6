// The run log: a text file in the working directory named after the start
// time, open for the whole run, holding every report line.
#pragma once

#include <fstream>
#include <string>

#include "platform/platform.h"

// "nrvDrvCln-" + local time as %d-%m-%y-%H-%M-%S + "-" + the low 12 bits of
// the tick count as three upper-case hex digits + ".txt" (35 characters).
std::wstring BuildRunLogName(const SYSTEMTIME& localTime, DWORD tickCount);

// Builds the name from the clock and creates the file new (text mode): a name
// already there, a link included, leaves the run log closed. Called once
// while the program starts; reports nothing.
void OpenRunLog();

bool RunLogIsOpen();

// The stream the report writes to while the run log is open.
std::ofstream& RunLogStream();

// The name built at start-up (empty before OpenRunLog).
const std::wstring& RunLogName();

// Closes the run log and deletes its file; does nothing when it is not open.
void DiscardRunLog();

// Closes the run log, flushing what is pending; the file stays.
void CloseRunLog();
