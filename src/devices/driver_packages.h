// Removal of the gathered INF packages from the driver store.
#pragma once

#include "devices/inf_name_set.h"

#include <string>

// Uninstalls each OEM INF of the set, in the set's order, with forced
// deletion; any other name (a file of Windows itself) is reported as kept.
// Writes nothing for an empty set.
void RemoveDriverPackages(const InfNameSet& infNames);

// Whether the name is that of a published third-party package, "oem" +
// digits + ".inf", in any letter case.
bool IsOemInfName(const std::wstring& name);
