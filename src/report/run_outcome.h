// What a run noticed on its way that decides how an unattended run ends:
// a removal that needs a restart, an installer busy with another product.
#pragma once

void NoteRestartNeeded();
bool RestartIsNeeded();

// An uninstall was refused because another installation was in progress
// (1618): worth trying again later.
void NoteInstallerBusy();
bool InstallerWasBusy();

// Forgets both, at the start of a run.
void ResetRunOutcome();
