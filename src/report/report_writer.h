// The report: every fragment goes to the console and, while the run log is
// open, to the run log as well. Ending a line ends and flushes both.
//
// Text reaches both outputs as 8-bit characters: a wide character from 32 to
// 255 becomes the byte of that value; any other character is written as "?",
// so a name the system returns can never silence an output or make a line
// of its own.
#pragma once

#include <cstdint>

void ReportText(const wchar_t* text);
void ReportText(const char* text);
void ReportUnsigned(std::uint32_t value);
void ReportSigned(std::int32_t value);
// One number in lower-case hexadecimal without prefix; later numbers are
// decimal again.
void ReportHex(std::uint32_t value);
void ReportEndLine();

// A whole report line of a failure text followed by its error code.
void ReportCodeLine(const wchar_t* text, std::uint32_t code);
void ReportCodeLine(const char* text, std::uint32_t code);

// Convenience: a whole report line of one text.
void ReportLine(const wchar_t* text);
void ReportLine(const char* text);

// The line that tells the user a removal finishes only with a restart.
void ReportRestartNeeded();

// The dialogue, which goes to the console alone.
void ConsoleText(const wchar_t* text);
void ConsoleText(const char* text);
void ConsoleEndLine();
void ConsoleLine(const wchar_t* text);
void ConsoleLine(const char* text);
