// What the device passes ask of a device information set and its members.
#pragma once

#include <memory>
#include <optional>

#include "platform/platform.h"

// The node's driver properties (DEVPKEY_Device_DriverInfPath and
// DEVPKEY_Device_DriverVersion of the Windows SDK).
inline constexpr DEVPROPKEY kDriverInfPathKey{
    {0xa8b865dd, 0x2e3d, 0x4094, {0xad, 0x97, 0xe5, 0x93, 0xa7, 0x0c, 0x75, 0xd6}}, 5};
inline constexpr DEVPROPKEY kDriverVersionKey{
    {0xa8b865dd, 0x2e3d, 0x4094, {0xad, 0x97, 0xe5, 0x93, 0xa7, 0x0c, 0x75, 0xd6}}, 3};

// One buffer takes the instance id and then each property in turn: 512
// characters, which the property queries are given as a size in bytes.
inline constexpr DWORD kDeviceTextLength = 512;
using DeviceText = WCHAR[kDeviceTextLength];

struct DeviceSetCloser {
    void operator()(void* deviceSet) const { SetupDiDestroyDeviceInfoList(deviceSet); }
};
using DeviceSet = std::unique_ptr<void, DeviceSetCloser>;

inline BOOL ReadProperty(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, const DEVPROPKEY& key,
                         DeviceText& buffer) {
    DEVPROPTYPE type = 0;  // the value is taken as text whatever its type
    return SetupDiGetDevicePropertyW(deviceSet, &device, &key, &type,
                                     reinterpret_cast<PBYTE>(buffer), sizeof(buffer), nullptr, 0);
}

inline constexpr const char* kCantCreateDeviceSet = "Can't create device information set";
inline constexpr const char* kCantEnumerateDeviceSet = "Can't enumerate device information set";

// Makes the set of the nodes of the enumerator, attached or not (flags 0),
// or of the devices attached now (DIGCF_PRESENT). The set is null when there
// is none: with the error code when it cannot be made; silently for an
// enumerator under which no node was ever registered, which Windows refuses
// (ERROR_INVALID_DATA) and the passes take as an empty set.
inline std::optional<DWORD> MakeDeviceSet(const wchar_t* enumerator, DWORD flags, DeviceSet& set) {
    const HDEVINFO created = SetupDiGetClassDevsW(nullptr, enumerator, nullptr, DIGCF_ALLCLASSES | flags);
    if (created != INVALID_HANDLE_VALUE) {
        set.reset(created);
        return std::nullopt;
    }
    if (const DWORD error = GetLastError(); error != ERROR_INVALID_DATA) return error;
    return std::nullopt;
}

// Calls visit for each member, in index order; returns the error code of an
// enumeration broken off.
template <typename Visit>
std::optional<DWORD> ForEachMember(HDEVINFO deviceSet, Visit visit) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    DWORD index = 0;
    while (SetupDiEnumDeviceInfo(deviceSet, index, &device)) {
        visit(device);
        ++index;
    }
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) return error;
    return std::nullopt;
}
