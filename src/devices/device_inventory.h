// The scanners' device nodes and the driver packages they were installed
// from, as the cleanup would find them, listed without changing anything.
#pragma once

#include "devices/inf_name_set.h"

struct DeviceInventory {
    unsigned nodes = 0;
    InfNameSet packages;         // oemNN.inf names the nodes give: the cleanup removes them
    InfNameSet windowsPackages;  // other INF names: Windows' own files, kept
    bool incomplete = false;     // a query failed (its line was written)
    bool restartPending = false; // a node is removed once the computer restarts (not counted)
};

// Writes one line per device node registered under the hardware id, attached
// or not: its instance id, whether the device is attached now, its INF name
// and driver version; or, for a node whose removal waits for the restart,
// that it does.
void ListDeviceNodes(const wchar_t* hardwareId, DeviceInventory& inventory);
