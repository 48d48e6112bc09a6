#include <iostream>

#include "report/run_log.h"
#include "run/dll_search.h"
#include "run/run_cleanup.h"

// The run log is opened while the program starts, after the standard streams
// exist (this file includes <iostream> first), and closed when it ends,
// before they are torn down.
static const bool runLogOpenedAtStartup = (OpenRunLog(), true);

int main() {
    (void)runLogOpenedAtStartup;
    LimitDllSearchToSystemDirectory();
    return RunCleanup();
}
