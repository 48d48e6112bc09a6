// The driver's mark in the registry.
#pragma once

#include "run/inventory.h"

// Deletes the value DriverName of HKEY_LOCAL_MACHINE\Software\NerovanDrv in
// the 32-bit view of the registry, reporting what it finds. The key and its
// other values stay.
void RemoveRegistryMark();

// Notes in the inventory whether the value DriverName is there, looked up
// without the right to change anything, or what could not be read.
void FindRegistryMark(Inventory& inventory);
