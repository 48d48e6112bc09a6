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
};

// Reads the arguments after the program's name: "/name" or "-name", in any
// letter case, each at most once. False for anything else (an unknown
// option, a stray argument, /logdir without a folder) and for /check with
// /quiet or /logdir: a mistyped command must never start a cleanup.
bool ParseOptions(const std::vector<std::wstring>& arguments, Options& options);

// Whether the process's command line holds anything after the program's
// name, read as the C runtime reads it.
bool CommandLineHasArguments(const wchar_t* commandLine);

// The usage text, lines ended by "\n".
const char* UsageText();
