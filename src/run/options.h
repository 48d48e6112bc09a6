// The command line: Windows-style options, read before anything is written.
#pragma once

#include <string>
#include <vector>

struct Options {
    bool help = false;   // /? or /help
    bool check = false;  // /check: the inventory alone
    bool quiet = false;  // /quiet: the cleanup without a question
    bool hasLogFolder = false;
    std::wstring logFolder;  // /logdir:<folder>
    bool hasPackagesFolder = false;
    std::wstring packagesFolder;  // /packages:<folder>, as given
    // A mistake that one line names better than the usage does.
    const char* mistake = nullptr;
};

// Reads the arguments after the program's name: "/name" or "-name", in any
// letter case, each at most once. False for anything else (an unknown
// option, a stray argument, /logdir without a folder) and for /check with
// /quiet or /logdir: a mistyped command must never start a cleanup.
bool ParseOptions(const std::vector<std::wstring>& arguments, Options& options);

// Whether the process's command line holds anything after the program's
// name, read as the C runtime reads it.
bool CommandLineHasArguments(const wchar_t* commandLine);

// The arguments after the program's name, split at blanks outside quotes.
// Quotes only group and a backslash is always itself: no option holds a
// quote, and a quoted folder may end in a backslash ("/logdir:C:\logs\"),
// which the C runtime's reading would join to the next argument.
std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine);

// A folder as given in an option, without the backslashes that end it
// (C:\ and other roots keep theirs).
std::wstring FolderWithoutFinalBackslash(std::wstring folder);

// The usage text, lines ended by "\n".
const char* UsageText();
