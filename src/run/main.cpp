#include <iostream>

#include "platform/platform.h"
#include "report/run_log.h"
#include "run/run_cleanup.h"

// The run log is opened while the program starts, after the standard streams
// exist (this file includes <iostream> first), and closed when it ends,
// before they are torn down.
static const bool runLogOpenedAtStartup = (OpenRunLog(), true);

int main() {
    (void)runLogOpenedAtStartup;
    // DLLs loaded from here on (msi.dll, on the first installer call) come
    // from the system directory only, never from the program's folder or the
    // working directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RunCleanup();
}
