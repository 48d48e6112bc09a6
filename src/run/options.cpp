#include "run/options.h"

#include "platform/ascii_case.h"

namespace {

// Sets a flag that must not be set yet.
bool SetOnce(bool& flag) {
    if (flag) return false;
    flag = true;
    return true;
}

// Whether the option's name (lower case, without its '/') is prefix followed
// by a folder.
bool NamesFolder(const std::wstring& name, const std::wstring& prefix) {
    return name.size() > prefix.size() && name.starts_with(prefix);
}

// Reads the folder that follows "/<prefix>"; false when it is given twice.
bool ReadFolder(const std::wstring& argument, const std::wstring& prefix, bool& given, std::wstring& folder) {
    if (!SetOnce(given)) return false;
    folder = argument.substr(1 + prefix.size());  // as given, letter case kept
    // A Windows path holds no '"': a trailing one is the C runtime's
    // reading of "\"" that ends a quoted "/logdir:C:\logs\"; it was a backslash.
    if (folder.back() == L'"') folder.back() = L'\\';
    return true;
}

bool ReadOption(const std::wstring& argument, Options& options) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return false;
    const std::wstring name = LowerAscii(argument.substr(1));
    if (name == L"?" || name == L"help") return SetOnce(options.help);
    if (name == L"check") return SetOnce(options.check);
    if (name == L"quiet") return SetOnce(options.quiet);
    if (NamesFolder(name, L"logdir:")) return ReadFolder(argument, L"logdir:", options.hasLogFolder, options.logFolder);
    if (NamesFolder(name, L"packages:")) {
        if (options.hasPackagesFolder) options.mistake = "The option /packages: is given twice.";
        return ReadFolder(argument, L"packages:", options.hasPackagesFolder, options.packagesFolder);
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

namespace {

const wchar_t* SkipProgramName(const wchar_t* commandLine) {
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
    return c;
}

}  // namespace

bool CommandLineHasArguments(const wchar_t* commandLine) {
    return commandLine != nullptr && *SkipProgramName(commandLine) != L'\0';
}

std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine) {
    std::vector<std::wstring> arguments;
    if (commandLine == nullptr) return arguments;
    const wchar_t* c = SkipProgramName(commandLine);
    while (*c != L'\0') {
        std::wstring argument;
        bool quoted = false;
        for (; *c != L'\0' && (quoted || (*c != L' ' && *c != L'\t')); ++c) {
            if (*c == L'"') {
                quoted = !quoted;
            } else {
                argument.push_back(*c);
            }
        }
        arguments.push_back(argument);
        for (; *c == L' ' || *c == L'\t'; ++c) {
        }
    }
    return arguments;
}

std::wstring FolderWithoutFinalBackslash(std::wstring folder) {
    while (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':') folder.pop_back();
    return folder;
}

const char* UsageText() {
    return "Nerovan Driver Cleanup utility v." NRV_VERSION "\n"
           "\n"
           "Usage: NrvDriverCleanupx64.exe [/check | /quiet] [/logdir:<folder>]\n"
           "                               [/packages:<folder>]\n"
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
           "  /packages:<folder>\n"
           "                    The vendor's original driver packages (*.msi): a driver product\n"
           "                    whose cached package is gone is removed with its original, the\n"
           "                    one with the same product code and package code. Also with\n"
           "                    /check, which names it.\n"
           "  /?, /help         Shows this text.\n"
           "\n"
           "Options may start with / or -, in any letter case. Anything else: this text on\n"
           "standard error and exit code 87, with nothing done.\n";
}
