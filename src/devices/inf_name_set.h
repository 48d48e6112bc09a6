// The names of the INF files that removed device nodes were installed from,
// gathered across every hardware id and then removed from the driver store.
#pragma once

#include <set>
#include <string>

// Ascending by unsigned 16-bit code units, case-sensitive, no duplicates, the
// empty name a member like any other. std::wstring compares unit by unit as
// wchar_t, a shorter prefix first: on Windows wchar_t is the unsigned 16-bit
// unit itself; on the Linux test build it is a signed 32-bit value, which for
// text in the Basic Multilingual Plane (0 to 0xFFFF) gives the same order.
using InfNameSet = std::set<std::wstring>;
