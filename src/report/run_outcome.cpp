#include "report/run_outcome.h"

namespace {

bool restartNeeded = false;
bool installerBusy = false;

}  // namespace

void NoteRestartNeeded() { restartNeeded = true; }
bool RestartIsNeeded() { return restartNeeded; }
void NoteInstallerBusy() { installerBusy = true; }
bool InstallerWasBusy() { return installerBusy; }

void ResetRunOutcome() {
    restartNeeded = false;
    installerBusy = false;
}
