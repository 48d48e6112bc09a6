// Drives the whole run over the fake platform, on a machine the fuzzer's
// bytes plant, with the faults and standard input they choose, and checks
// after each run what tests/README.md lists. A console line is one of the
// program's own: its fixed texts, with a number or a platform text where the
// line takes one, or a failure line of the one shape every failure has.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_machine.h"
#include "report/run_log.h"
#include "run/inventory.h"
#include "run/run_program.h"
#include "run/tables.h"

namespace {

enum class Tail { None, Decimal, Signed, Hex, Text, UpgradeCode, HardwareId, DeviceClass, Counts };

struct LineForm {
    std::string_view text;
    Tail tail;
};

Tail TailOf(LabelTail tail) {
    switch (tail) {
    case LabelTail::None: return Tail::None;
    case LabelTail::Text: return Tail::Text;
    case LabelTail::Counts: return Tail::Counts;
    }
    return Tail::None;
}

// The cleanup's lines, then the inventory's, from its labels.
const std::vector<LineForm> kLineForms = [] {
    std::vector<LineForm> forms = {
        {"Nerovan Driver Cleanup utility v." NRV_VERSION, Tail::None},
        {"Can't determinate process architecture", Tail::None},
        {"Can't create log file", Tail::None},
        {"You should use x64 version of utility.", Tail::None},
        {"NOTE: Make sure that you connect Nerovan scanner to computer at least once.", Tail::None},
        {"PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!", Tail::None},
        {"Press any key to continue", Tail::None},
        {"Check product upgrade code: ", Tail::UpgradeCode},
        {"Found driver product package: ", Tail::Text},
        {"Driver installer data base has open successfully.", Tail::None},
        {"Driver product package cache path: ", Tail::Text},
        {"Driver product package has remove successfully", Tail::None},
        {"Restart the computer to finish the removal.", Tail::None},
        {"Invalid condition description string: ", Tail::Text},
        {"Can't make changes in package installer data base (InvalidCondition).", Tail::None},
        {"Can't make changes in package installer data base (CheckUninstallAction).", Tail::None},
        {"Driver installer data base has changed successfully.", Tail::None},
        {"Check registry entries", Tail::None},
        {"Registry mark found", Tail::None},
        {"Driver mark has removes successfully", Tail::None},
        {"Check device with HardwareId: ", Tail::HardwareId},
        {"Find device with class: ", Tail::DeviceClass},
        {"Device instance id: ", Tail::Text},
        {"Device inf file path: ", Tail::Text},
        {"Device driver version: ", Tail::Text},
        {"Device node has removed successfully", Tail::None},
        {"Remove driver package for inf file: ", Tail::Text},
        {"Device inf file has removed successfully", Tail::None},
        {"Cached package restored from: ", Tail::Text},
        {"Cached patch restored from: ", Tail::Text},
    };
    for (const InventoryLabel& label : kInventoryLabels) forms.push_back({label.text, TailOf(label.tail)});
    return forms;
}();

constexpr std::string_view kPrompt = "Do you want to continue [y/N]? ";

bool AllOf(std::string_view text, std::string_view allowed, bool allowEmpty = false) {
    if (text.empty()) return allowEmpty;
    return text.find_first_not_of(allowed) == std::string_view::npos;
}

bool InTable(std::string_view text, const wchar_t* const* table) {
    for (; *table != nullptr; ++table) {
        std::string narrow;
        for (const wchar_t* c = *table; *c != L'\0'; ++c) narrow.push_back(static_cast<char>(*c));
        if (narrow == text) return true;
    }
    return false;
}

bool PlatformText(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) return false;  // a platform text must not make lines of its own
    }
    return true;
}

bool TailFits(Tail tail, std::string_view rest) {
    switch (tail) {
    case Tail::None: return rest.empty();
    case Tail::Decimal: return AllOf(rest, "0123456789") && (rest.size() == 1 || rest[0] != '0');
    case Tail::Signed:
        return AllOf(rest.substr(rest.starts_with('-') ? 1 : 0), "0123456789");
    case Tail::Hex: return AllOf(rest, "0123456789abcdef");
    case Tail::Text: return PlatformText(rest);
    case Tail::UpgradeCode: return InTable(rest, UpgradeCodeTable);
    case Tail::HardwareId: return InTable(rest, HardwareIdTable);
    case Tail::Counts:
        return std::regex_match(std::string(rest),
                                std::regex(R"((0|[1-9]\d*) mark=[01] nodes=(0|[1-9]\d*) packages=(0|[1-9]\d*))"));
    case Tail::DeviceClass: {
        const std::size_t instance = rest.rfind(" Instance: ");
        return instance != std::string_view::npos && PlatformText(rest.substr(0, instance)) &&
               TailFits(Tail::Decimal, rest.substr(instance + 11));
    }
    }
    return false;
}

// A failure line: "Can't " and what failed, in the program's own words, then
// ". Error: " and the code (decimal, signed decimal or hexadecimal).
bool IsFailureLine(std::string_view line) {
    constexpr std::string_view kSeparator = ". Error: ";
    const std::size_t separator = line.find(kSeparator);
    if (!line.starts_with("Can't ") || separator == std::string_view::npos) return false;
    const std::string_view what = line.substr(0, separator);
    const std::string_view code = line.substr(separator + kSeparator.size());
    return AllOf(what, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz '") &&
           (TailFits(Tail::Signed, code) || TailFits(Tail::Hex, code));
}

bool IsProgramLine(std::string_view line) {
    if (line.empty() || IsFailureLine(line)) return true;
    if (line.starts_with(kPrompt)) return IsProgramLine(line.substr(kPrompt.size()));
    for (const auto& form : kLineForms)
        if (line.starts_with(form.text) && TailFits(form.tail, line.substr(form.text.size())))
            return true;
    return false;
}

[[noreturn]] void Broken(const std::string& what, const std::string& console) {
    std::fprintf(stderr, "invariant broken: %s\n--- console ---\n%s\n", what.c_str(),
                 console.c_str());
    std::abort();
}

// The console without the dialogue: what the run log must hold.
std::string ReportOf(std::string console) {
    const std::string warnings =
        "NOTE: Make sure that you connect Nerovan scanner to computer at least once.\n\n"
        "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!\n";
    const std::string dialogue = warnings + std::string(kPrompt);
    if (const std::size_t at = console.find(dialogue); at != std::string::npos)
        console.erase(at, dialogue.size());
    else if (const std::size_t alone = console.find(warnings); alone != std::string::npos)
        console.erase(alone, warnings.size());
    const std::string pause = "Press any key to continue\n";
    if (console.ends_with(pause)) console.erase(console.size() - pause.size());
    return console;
}

// A /quiet run log without its own lines: the first two (the date and time,
// the command line) and the last (the exit code, after the line of an event
// it could not write); "" when they are not as they should be.
std::string QuietReportOf(std::string log, int exitCode) {
    for (const char* first : {"Started: ", "Command line: "}) {
        if (!log.starts_with(first)) return "";
        log.erase(0, log.find('\n') + 1);
    }
    const std::string last = "Exit code: " + std::to_string(exitCode) + "\n";
    if (!log.ends_with(last)) return "";
    log.erase(log.size() - last.size());
    const std::size_t event = log.rfind("Can't write the run's event. Error: ");
    if (event != std::string::npos && log.find('\n', event) == log.size() - 1) log.erase(event);
    return log;
}

std::string StandardInput() {
    switch (FuzzByte() % 8) {
    case 0: return "n\n";
    case 1: return "";
    case 2: return "yes\nq";
    case 3: {
        std::string input;
        const std::uint8_t length = FuzzByte() % 8;
        for (std::uint8_t i = 0; i < length; ++i) input.push_back(static_cast<char>(FuzzByte()));
        return input;
    }
    default: return "y\n";
    }
}

// Which run the input drives, from its last byte (so that inputs written
// for the plain run keep their meaning): the plain run, /check or /quiet.
enum class Mode { Plain, Check, Quiet };

Mode ModeOf(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t last = size == 0 ? 0 : data[size - 1];
    return last % 4 == 2 ? Mode::Check : last % 4 == 3 ? Mode::Quiet : Mode::Plain;
}

bool LastLineIsAVerdict(const std::string& text) {
    const std::size_t start = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
    return text.compare(start == std::string::npos ? 0 : start + 1, 11, "NRV-CHECK: ") == 0;
}

bool Declines(const std::string& input) {
    const std::size_t answer = input.find_first_not_of(" \t\n\v\f\r");
    return answer == std::string::npos || (input[answer] != 'y' && input[answer] != 'Y');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/nrv-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::filesystem::current_path(pattern);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzStart(data, size);
    PlantMachine();
    const Machine before = TheMachine();
    const Mode mode = ModeOf(data, size);

    std::ostringstream console;
    std::ostringstream errors;
    const std::string standardInput = StandardInput();
    std::istringstream input(standardInput);
    std::streambuf* oldCout = std::cout.rdbuf(console.rdbuf());
    std::streambuf* oldCerr = std::cerr.rdbuf(errors.rdbuf());
    std::streambuf* oldCin = std::cin.rdbuf(input.rdbuf());
    std::cin.clear();

    int exitCode = 0;
    switch (mode) {
    case Mode::Plain:
        OpenRunLog();
        exitCode = RunProgram({}, true);
        break;
    case Mode::Check:
        exitCode = RunProgram(FuzzChance(2) ? std::vector<std::wstring>{L"/check", L"/packages:C:\\kit"}
                                            : std::vector<std::wstring>{L"/check"},
                              false);
        break;
    case Mode::Quiet: {
        std::vector<std::wstring> arguments{L"/quiet"};
        if (FuzzChance(4)) arguments.push_back(L"/logdir:C:\\x");
        if (FuzzChance(2)) arguments.push_back(L"/packages:C:\\kit\\");
        exitCode = RunProgram(arguments, false);
        break;
    }
    }
    const bool logKept = RunLogIsOpen();
    CloseRunLog();
    FakeSetFaultHook(nullptr);
    Machine after = TheMachine();
    after.files.erase(RunLogName());

    std::cout.rdbuf(oldCout);
    std::cerr.rdbuf(oldCerr);
    std::cin.rdbuf(oldCin);
    std::cin.clear();
    std::cout.clear();

    const std::string text = console.str();
    const std::filesystem::path logPath(RunLogName());
    std::ifstream logFile(logPath, std::ios::binary);
    const std::string log = logKept ? std::string(std::istreambuf_iterator<char>(logFile), {}) : "";
    std::filesystem::remove(logPath);

    if (FakeOpenHandleCount() != 0) Broken("a handle or platform memory was left open", text);
    if (FakeBadCloseCount() != 0) Broken("a handle closed that was not open", text);
    if (TheFakeMsi().restartedComputer) Broken("an uninstall that may restart the computer", text);
    if (exitCode != 87 && !errors.str().empty()) Broken("something on standard error", text);
    Machine others = OthersOf(after);
    // A package whose INF the platform answered with made-up text is no
    // evidence of its maker; one whose reading failed is kept.
    if (FuzzTextFaulted()) others.infFiles = OthersOf(before).infFiles, others.folders = OthersOf(before).folders;
    if (others != OthersOf(before)) Broken("another maker's things changed", text);
    const bool declined = mode == Mode::Plain && Declines(standardInput);
    if ((mode == Mode::Check || declined || exitCode == 87) && after != before)
        Broken(declined ? "a declined run changed the machine" : "a run that only looks changed the machine", text);
    if (mode == Mode::Quiet && exitCode == 0 && !FuzzFaulted() && ScannerLeft(after))
        Broken("a clean /quiet left something of the scanner", text);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!IsProgramLine(line)) Broken("not a line of the program: " + line, text);
    const std::string report = mode == Mode::Quiet ? QuietReportOf(log, exitCode) : log;
    if (logKept && report != ReportOf(text)) Broken("the run log differs from the report", text + "\n--- log ---\n" + log);
    switch (mode) {
    case Mode::Plain:
        if (exitCode != 0 && exitCode != -1) Broken("exit code " + std::to_string(exitCode), text);
        break;
    case Mode::Check:
        if ((exitCode < 0 || exitCode > 2) && exitCode != 87) Broken("exit code of /check " + std::to_string(exitCode), text);
        if (logKept || std::distance(std::filesystem::directory_iterator("."), {}) != 0)
            Broken("/check wrote a file", text);
        if (exitCode != 87 && !LastLineIsAVerdict(text)) Broken("/check without its verdict", text);
        if (input.rdbuf()->in_avail() != static_cast<std::streamsize>(standardInput.size()))
            Broken("/check read standard input", text);
        break;
    case Mode::Quiet:
        if (exitCode != 0 && exitCode != 3010 && exitCode != 1618 && exitCode != 1603 && exitCode != -1 &&
            exitCode != 87)
            Broken("exit code of /quiet " + std::to_string(exitCode), text);
        if (exitCode != -1 && exitCode != 87 && !LastLineIsAVerdict(report)) Broken("/quiet's log without the verdict", text);
        if (input.rdbuf()->in_avail() != static_cast<std::streamsize>(standardInput.size()))
            Broken("/quiet read standard input", text);
        break;
    }
    // What the run made is given back within it, or LibFuzzer takes it for a leak.
    ResetFakePlatform();
    return 0;
}
