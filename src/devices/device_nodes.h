// Removal of the scanners' device nodes, found by USB hardware id, attached
// or not. The INF name of each node is gathered before the node is removed.
#pragma once

#include <string>

#include "devices/inf_name_set.h"
#include "platform/platform.h"

// For each hardware id of the table (null-terminated), in order: reports and
// removes every device node of the id (SelectScannerNodes), attached or not,
// adding the INF name of each node to infNames. Unattended, each removal is
// asked to show nothing (DI_QUIETINSTALL).
void RemoveScannerDevices(const wchar_t* const* hardwareIds, InfNameSet& infNames, bool unattended = false);

// Reports one member of the device information set, records its INF name and
// has the class installer remove it; a removal that asks for a restart is
// noted (NoteNodeLeftForRestart).
void RemoveDeviceNode(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, InfNameSet& infNames,
                      bool unattended = false);

// The registry form of the GUID ("{...}", as the platform writes it), or
// "error" when the platform cannot make it.
std::wstring ClassGuidText(const GUID& classGuid);
