#include <iostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "run/dll_search.h"
#include "run/run_program.h"

// The plain run's log is opened while the program starts, after the standard
// streams exist (this file includes <iostream> first), and closed when it
// ends, before they are torn down. With options it waits until they are
// read: /check and a mistyped option write no file, /logdir puts it elsewhere.
static const bool runLogOpenedAtStartup = StartUp(GetCommandLineW());

int wmain(int argc, wchar_t** argv) {
    LimitDllSearchToSystemDirectory();
    return RunProgram(std::vector<std::wstring>(argv + 1, argv + argc), runLogOpenedAtStartup);
}
