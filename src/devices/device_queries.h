// What the device passes ask of a device information set and its members.
#pragma once

#include <memory>

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
