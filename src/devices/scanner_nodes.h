// The scanners' device nodes, picked once for every hardware id from the
// nodes of the USB enumerator. A set made for a hardware id given as the
// enumerator holds only that device's nodes: a composite scanner's parent
// (installed from Windows' usb.inf) and not its functions (installed from the
// vendor's package), whose ids end in "&MI_" and the interface number.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "devices/device_queries.h"

struct ScannerNode {
    SP_DEVINFO_DATA device;  // a member of the set
    std::wstring instanceId;
};

struct ScannerNodes {
    DeviceSet set;  // the USB nodes; null when there is none
    std::optional<DWORD> createError;
    // For each hardware id of the table, its nodes in the set's order.
    std::vector<std::vector<ScannerNode>> byId;
    // The error of each member whose instance id could not be read: nothing
    // tells whose node it is, so it is kept.
    std::vector<DWORD> unreadIds;
    std::optional<DWORD> enumerationError;
};

// The nodes of the USB enumerator, attached or not (flags 0) or attached now
// (DIGCF_PRESENT), whose device id (the instance id before its last "\") is
// one of hardwareIds (a null-terminated table), or one of them followed by
// "&MI_" and two hexadecimal digits, in any ASCII letter case.
ScannerNodes SelectScannerNodes(const wchar_t* const* hardwareIds, DWORD flags);

// The index in hardwareIds of the id whose node the instance id names, or
// npos.
std::size_t ScannerIdOfNode(const wchar_t* const* hardwareIds, const std::wstring& instanceId);
