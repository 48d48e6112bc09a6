#include "report/report_writer.h"

#include <iostream>
#include <sstream>
#include <string>

#include "report/run_log.h"
#include "report/run_outcome.h"

std::string NarrowText(const wchar_t* text) {
    std::string narrow;
    for (; *text != L'\0'; ++text) {
        const auto unit = static_cast<std::uint32_t>(*text);
        // Characters outside the 8-bit range cannot be written; control
        // characters (line ends among them, and DEL and the C1 controls such
        // as U+0085 next line) in a text from the system would break the
        // report into lines the program never wrote.
        const bool writable = (unit >= 0x20u && unit < 0x7Fu) || (unit >= 0xA0u && unit <= 0xFFu);
        narrow.push_back(writable ? static_cast<char>(static_cast<unsigned char>(unit)) : '?');
    }
    return narrow;
}

namespace {

// What the console received since KeepReport, while kept.
struct Kept {
    bool on = false;
    std::ostringstream text;
};

Kept& TheKept() {
    static Kept kept;
    return kept;
}

template <typename Write>
void ToConsole(Write write) {
    write(std::cout);
    if (TheKept().on) write(TheKept().text);
}

// Writes to the console, then to the run log if it is open at this moment.
template <typename Write>
void ToBoth(Write write) {
    ToConsole(write);
    if (RunLogIsOpen()) write(RunLogStream());
}

}  // namespace

void KeepReport() {
    TheKept().on = true;
    TheKept().text.str("");
}

std::string KeptReport() {
    TheKept().on = false;
    return TheKept().text.str();
}

void RunLogLine(const std::string& text) {
    if (RunLogIsOpen()) RunLogStream() << text << '\n' << std::flush;
}

void ReportText(const wchar_t* text) {
    const std::string narrow = NarrowText(text);
    ToBoth([&](std::ostream& out) { out << narrow; });
}

void ReportText(const char* text) {
    ToBoth([&](std::ostream& out) { out << text; });
}

void ReportUnsigned(std::uint32_t value) {
    ToBoth([&](std::ostream& out) { out << value; });
}

void ReportEndLine() {
    ToBoth([](std::ostream& out) { out << '\n' << std::flush; });
}

void ReportLine(const char* text) {
    ReportText(text);
    ReportEndLine();
}

void ReportLine(const char* label, const wchar_t* text) {
    ReportText(label);
    ReportText(text);
    ReportEndLine();
}

namespace {

// Every failure line has this one shape; only the code's form differs.
template <typename WriteCode>
void ReportFailureLine(const char* what, WriteCode writeCode) {
    ToBoth([&](std::ostream& out) {
        out << what << ". Error: ";
        writeCode(out);
    });
    ReportEndLine();
}

}  // namespace

void ReportFailure(const char* what, std::uint32_t code) {
    ReportFailureLine(what, [&](std::ostream& out) { out << code; });
}

void ReportFailureSigned(const char* what, std::int32_t code) {
    ReportFailureLine(what, [&](std::ostream& out) { out << code; });
}

void ReportFailureHex(const char* what, std::uint32_t code) {
    ReportFailureLine(what, [&](std::ostream& out) { out << std::hex << code << std::dec; });
}

void ReportFailure(const FailureLine& failure) {
    switch (failure.form) {
    case CodeForm::Decimal: ReportFailure(failure.what, failure.code); break;
    case CodeForm::Signed: ReportFailureSigned(failure.what, static_cast<std::int32_t>(failure.code)); break;
    case CodeForm::Hex: ReportFailureHex(failure.what, failure.code); break;
    }
}

void ReportRestartNeeded() {
    ReportLine("Restart the computer to finish the removal.");
    NoteRestartNeeded();
}

void ConsoleText(const char* text) {
    ToConsole([&](std::ostream& out) { out << text; });
}

void ConsoleEndLine() {
    ToConsole([](std::ostream& out) { out << '\n' << std::flush; });
}

void ConsoleLine(const char* text) {
    ConsoleText(text);
    ConsoleEndLine();
}
