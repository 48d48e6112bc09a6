// From the command line to the exit code.
#pragma once

#include <string>
#include <vector>

// What runs while the program starts, before wmain: junctions made by other
// users are refused, then, when the command line holds no arguments, the
// plain run's log is opened. Returns whether it was.
bool StartUp(const wchar_t* commandLine);

// Reads the options (the arguments after the program's name) and runs what
// they ask for. runLogOpenedAtStartup: the plain run's log was opened while
// the program started (it is, when the command line has no arguments); with
// options it is opened only once they are read, in the /logdir folder if one
// is given.
int RunProgram(const std::vector<std::wstring>& arguments, bool runLogOpenedAtStartup);

// The /check run: banner, architecture check, inventory; writes no file,
// reads no input, changes nothing. 0 clean, 1 found, 2 incomplete.
int RunCheck();
