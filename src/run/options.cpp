#include "run/options.h"

#include "platform/ascii_case.h"

namespace {

// Sets a flag that must not be set yet.
bool SetOnce(bool& flag) {
    if (flag) return false;
    flag = true;
    return true;
}

bool ReadOption(const std::wstring& argument, Options& options) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return false;
    const std::wstring name = LowerAscii(argument.substr(1));
    if (name == L"?" || name == L"help") return SetOnce(options.help);
    if (name == L"check") return SetOnce(options.check);
    if (name == L"quiet") return SetOnce(options.quiet);
    constexpr std::size_t kLogdirLength = 7;  // "logdir:"
    if (name.size() > kLogdirLength && name.starts_with(L"logdir:")) {
        if (!SetOnce(options.hasLogFolder)) return false;
        options.logFolder = argument.substr(1 + kLogdirLength);  // as given, letter case kept
        // A Windows path holds no '"': a trailing one is the C runtime's
        // reading of "\"" that ends a quoted "/logdir:C:\logs\"; it was a backslash.
        if (options.logFolder.back() == L'"') options.logFolder.back() = L'\\';
        return true;
    }
    return false;
}

}  // namespace

bool ParseOptions(const std::vector<std::wstring>& arguments, Options& options) {
    options = Options{};
    for (const std::wstring& argument : arguments)
        if (!ReadOption(argument, options)) return false;
    return !(options.check && (options.quiet || options.hasLogFolder));
}

bool CommandLineHasArguments(const wchar_t* commandLine) {
    if (commandLine == nullptr) return false;
    const wchar_t* c = commandLine;
    if (*c == L'"') {
        // A quoted program name ends at the next quote, whatever follows.
        for (++c; *c != L'\0' && *c != L'"'; ++c) {
        }
        if (*c == L'"') ++c;
    } else {
        for (; *c != L'\0' && *c != L' ' && *c != L'\t'; ++c) {
        }
    }
    for (; *c == L' ' || *c == L'\t'; ++c) {
    }
    return *c != L'\0';
}

const char* UsageText() {
    return "Nerovan Driver Cleanup utility v." NRV_VERSION "\n"
           "\n"
           "Usage: NrvDriverCleanupx64.exe [/check | /quiet] [/logdir:<folder>]\n"
           "       (NrvDriverCleanupx86.exe on 32-bit Windows)\n"
           "\n"
           "  (no option)       Asks, then removes the scanner's driver products, registry mark,\n"
           "                    device nodes and driver packages. Exit code 0, or -1 when it\n"
           "                    cannot start.\n"
           "  /check            Lists what is left of the scanner and changes nothing; writes no\n"
           "                    file. The last line is NRV-CHECK: CLEAN, FOUND ... or INCOMPLETE;\n"
           "                    exit code 0, 1 or 2.\n"
           "  /quiet            Removes without asking, also the scanner's driver packages no\n"
           "                    device uses, then lists what is left. Exit code 0 clean, 3010\n"
           "                    clean after a restart, 1618 another installation is in progress\n"
           "                    (try again), 1603 something is left, -1 cannot start.\n"
           "  /logdir:<folder>  Writes the run log, installer logs and setup-log copies to\n"
           "                    <folder> instead of the working directory.\n"
           "  /?, /help         Shows this text.\n"
           "\n"
           "Options may start with / or -, in any letter case. Anything else: this text on\n"
           "standard error and exit code 87, with nothing done.\n";
}
