// Removal of the scanners' device nodes, found by USB hardware id, attached
// or not. The INF name of each node is gathered before the node is removed.
#pragma once

#include <string>

#include "devices/inf_name_set.h"
#include "platform/platform.h"

// Reports and removes every device node registered under the hardware id,
// adding the INF name of each node to infNames. Unattended, each removal is
// asked to show nothing (DI_QUIETINSTALL).
void RemoveDevicesByHardwareId(const wchar_t* hardwareId, InfNameSet& infNames, bool unattended = false);

// Reports one member of the device information set, records its INF name and
// has the class installer remove it.
void RemoveDeviceNode(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, InfNameSet& infNames,
                      bool unattended = false);

// The registry form of the GUID ("{...}", as the platform writes it), or
// "error" when the platform cannot make it.
std::wstring ClassGuidText(const GUID& classGuid);
