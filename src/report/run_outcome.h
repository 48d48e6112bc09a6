// What a run noticed on its way that decides how an unattended run ends:
// a removal that needs a restart, an installer busy with another product.
#pragma once

#include <string>

void NoteRestartNeeded();
bool RestartIsNeeded();

// An uninstall was refused because another installation was in progress
// (1618): worth trying again later.
void NoteInstallerBusy();
bool InstallerWasBusy();

// A device node whose removal this run asked for, and which asked for a
// restart: its instance id and the INF name it gave ("" when none was read).
// The inventory that ends the run counts it as waiting for the restart
// whatever its status shows (Windows documents no status for it). Instance
// ids are compared ignoring ASCII case, INF names as file names.
void NoteNodeLeftForRestart(const std::wstring& instanceId, const std::wstring& infName);
bool NodeLeftForRestart(const std::wstring& instanceId);
bool NamedByNodeLeftForRestart(const std::wstring& infName);

// A driver package the driver store keeps while a node left for the restart
// still names it: the run after the restart removes it.
void NotePackageLeftForRestart(const std::wstring& infName);
bool PackageLeftForRestart(const std::wstring& infName);

// Forgets all of it, at the start of a run.
void ResetRunOutcome();
