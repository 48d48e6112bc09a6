#include <iostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "run/dll_search.h"
#include "run/options.h"
#include "run/run_program.h"

// The plain run's log is opened while the program starts, after the standard
// streams exist (this file includes <iostream> first), and closed when it
// ends, before they are torn down. With options it waits until they are
// read: /check and a mistyped option write no file, /logdir puts it elsewhere.
static const bool runLogOpenedAtStartup = StartUp(GetCommandLineW());

// The arguments are read from the command line itself, not from argv: see
// CommandLineArguments.
int wmain(int, wchar_t**) {
    LimitDllSearchToSystemDirectory();
    return RunProgram(CommandLineArguments(GetCommandLineW()), runLogOpenedAtStartup);
}
