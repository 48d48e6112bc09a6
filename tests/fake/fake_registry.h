// Fake registry (advapi32): keys of HKEY_LOCAL_MACHINE in its two views.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "fake/fake_platform.h"

struct FakeRegistryKey {
    std::map<std::wstring, std::wstring> values;  // name -> data
    bool operator==(const FakeRegistryKey&) const = default;
};

struct FakeRegistry {
    // Keys under HKEY_LOCAL_MACHINE by path, per view of a 64-bit Windows.
    // An open without a view flag sees the 64-bit view (a 64-bit process).
    // Paths match exactly, stricter than the real registry, which ignores case.
    std::map<std::wstring, FakeRegistryKey> view32;
    std::map<std::wstring, FakeRegistryKey> view64;

    // Non-zero: RegOpenKeyExW fails with this code even for a key that
    // exists (e.g. 5 for a process without the right to open it).
    LONG openError = 0;
    // Set: RegDeleteKeyValueW returns this status and deletes nothing.
    std::optional<LONG> deleteStatus;
    // Set: RegQueryValueExW returns this status.
    std::optional<LONG> queryStatus;
};

FakeRegistry& TheFakeRegistry();
