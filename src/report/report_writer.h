// The report: every fragment goes to the console and, while the run log is
// open, to the run log as well. Ending a line ends and flushes both.
//
// Text reaches both outputs as 8-bit characters: a wide character from 32 to
// 255 becomes the byte of that value; any other character is written as "?",
// so a name the system returns can never silence an output or make a line
// of its own.
#pragma once

#include <cstdint>
#include <string>

// A text of the system as the report writes it.
std::string NarrowText(const wchar_t* text);

// A text of the system (a name, a path): wide, narrowed as said above.
void ReportText(const wchar_t* text);
// The program's own texts are plain ASCII.
void ReportText(const char* text);
void ReportUnsigned(std::uint32_t value);
void ReportEndLine();

// A whole report line of one text, or of a label and a text of the system.
void ReportLine(const char* text);
void ReportLine(const char* label, const wchar_t* text);

// A whole failure line: what failed, ". Error: ", and the error code in
// decimal (a platform's unsigned code), signed decimal (a registry status) or
// lower-case hexadecimal without prefix. Later numbers are decimal again.
void ReportFailure(const char* what, std::uint32_t code);
void ReportFailureSigned(const char* what, std::int32_t code);
void ReportFailureHex(const char* what, std::uint32_t code);

// A failure line as a value, written later (ReportFailure) in one of those
// forms: what the inventory could not read waits for its place in the list.
enum class CodeForm { Decimal, Signed, Hex };
struct FailureLine {
    const char* what;
    std::uint32_t code;
    CodeForm form = CodeForm::Decimal;
};
void ReportFailure(const FailureLine& failure);

// The line that tells the user a removal finishes only with a restart.
void ReportRestartNeeded();

// What reaches the console from here on is kept as well, until KeptReport
// hands it over and stops keeping (a second KeepReport starts afresh): an
// unattended run's event quotes the lines of its inventory.
void KeepReport();
std::string KeptReport();

// A line of the run log alone (when it is open), never on the console.
void RunLogLine(const std::string& text);

// The dialogue, which goes to the console alone.
void ConsoleText(const char* text);
void ConsoleEndLine();
void ConsoleLine(const char* text);
