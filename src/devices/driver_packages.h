// Removal of the gathered INF packages from the driver store.
#pragma once

#include "devices/inf_name_set.h"

// Uninstalls each OEM INF of the set, in the set's order, with forced
// deletion; any other name (a file of Windows itself) is reported as kept.
// With hardwareIds (a null-terminated table), an OEM INF that is certainly
// another maker's, or cannot be read (MakerOfPackage), is reported as kept
// too: the names device nodes gave. Without it, the set holds packages
// already read (FindScannerPackages). A package the driver store keeps
// (ERROR_INF_IN_USE_BY_DEVICES) while a node left for the restart names it
// waits for the run after the restart (NotePackageLeftForRestart). Writes
// nothing for an empty set.
void RemoveDriverPackages(const InfNameSet& infNames, const wchar_t* const* hardwareIds = nullptr);
