#include "report/report_writer.h"

#include <iostream>
#include <string>

#include "report/run_log.h"

namespace {

std::string Narrow(const wchar_t* text) {
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

// Writes to the console, then to the run log if it is open at this moment.
template <typename Write>
void ToBoth(Write write) {
    write(std::cout);
    if (RunLogIsOpen()) write(RunLogStream());
}

}  // namespace

void ReportText(const wchar_t* text) {
    const std::string narrow = Narrow(text);
    ToBoth([&](std::ostream& out) { out << narrow; });
}

void ReportText(const char* text) {
    ToBoth([&](std::ostream& out) { out << text; });
}

void ReportUnsigned(std::uint32_t value) {
    ToBoth([&](std::ostream& out) { out << value; });
}

void ReportSigned(std::int32_t value) {
    ToBoth([&](std::ostream& out) { out << value; });
}

void ReportHex(std::uint32_t value) {
    ToBoth([&](std::ostream& out) { out << std::hex << value << std::dec; });
}

void ReportEndLine() {
    ToBoth([](std::ostream& out) { out << '\n' << std::flush; });
}

void ReportCodeLine(const wchar_t* text, std::uint32_t code) {
    ReportText(text);
    ReportUnsigned(code);
    ReportEndLine();
}

void ReportCodeLine(const char* text, std::uint32_t code) {
    ReportText(text);
    ReportUnsigned(code);
    ReportEndLine();
}

void ReportLine(const wchar_t* text) {
    ReportText(text);
    ReportEndLine();
}

void ReportLine(const char* text) {
    ReportText(text);
    ReportEndLine();
}

void ReportRestartNeeded() {
    ReportLine("Restart the computer to finish the removal.");
}

void ConsoleText(const wchar_t* text) { std::cout << Narrow(text); }

void ConsoleText(const char* text) { std::cout << text; }

void ConsoleEndLine() { std::cout << '\n' << std::flush; }

void ConsoleLine(const wchar_t* text) {
    ConsoleText(text);
    ConsoleEndLine();
}

void ConsoleLine(const char* text) {
    ConsoleText(text);
    ConsoleEndLine();
}
