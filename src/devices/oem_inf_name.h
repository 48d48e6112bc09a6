// The names Windows gives the driver packages it adds to the driver store.
#pragma once

#include <string>

// Whether the name is that of a published third-party package, "oem" +
// digits + ".inf", in any letter case.
bool IsOemInfName(const std::wstring& name);
