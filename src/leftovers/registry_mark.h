// The driver's mark in the registry.
#pragma once

// Deletes the value DriverName of HKEY_LOCAL_MACHINE\Software\NerovanDrv in
// the 32-bit view of the registry, reporting what it finds. The key and its
// other values stay.
void RemoveRegistryMark();

// Whether the value DriverName is there, looked up without the right to
// change anything; writes its line when it is. A failing query writes its
// line and sets incomplete.
bool FindRegistryMark(bool& incomplete);
