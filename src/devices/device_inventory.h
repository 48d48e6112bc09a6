// The scanners' device nodes and the driver packages they were installed
// from, as the cleanup would find them, read into the inventory without
// changing anything.
#pragma once

#include "run/inventory.h"

// Adds to the inventory the device nodes of each hardware id of the table
// (null-terminated; SelectScannerNodes), in order, attached or not: its
// instance id, whether the device is attached now, its INF name and driver
// version; or, for a node whose removal waits for the restart, that it does.
// Notes what could not be read.
void ListDeviceNodes(const wchar_t* const* hardwareIds, Inventory& inventory);

// Adds to the inventory the packages: the INF names the nodes gave (an
// oemNN.inf the cleanup removes, another maker's package under such a name,
// or one of Windows' own files), then the scanner packages of the driver
// store (FindScannerPackages over hardwareIds, a null-terminated table) no
// node names, and the shared ones no line above counts.
void ListDriverPackages(const wchar_t* const* hardwareIds, Inventory& inventory);
