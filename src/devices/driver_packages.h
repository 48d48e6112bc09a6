// Removal of the gathered INF packages from the driver store.
#pragma once

#include "devices/inf_name_set.h"

// Uninstalls each INF of the set, in the set's order, with forced deletion.
// Writes nothing for an empty set.
void RemoveDriverPackages(const InfNameSet& infNames);
