#include "devices/device_inventory.h"

#include <set>
#include <string>

#include "devices/device_queries.h"
#include "devices/oem_inf_name.h"
#include "devices/scanner_packages.h"
#include "platform/buffer_text.h"

namespace {

// The instance id, or "" when it cannot be read (noted).
std::wstring InstanceId(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, Inventory& inventory) {
    DeviceText text;
    if (SetupDiGetDeviceInstanceIdW(deviceSet, &device, text, kDeviceTextLength, nullptr))
        return TextInBuffer(text);
    NoteUnread(inventory, InventoryPart::Nodes, {"Can't get device instance id", GetLastError()});
    return {};
}

// Makes the set as MakeDeviceSet does, noting a failure.
DeviceSet ReadDeviceSet(const wchar_t* hardwareId, DWORD flags, Inventory& inventory) {
    DeviceSet set;
    if (const auto error = MakeDeviceSet(hardwareId, flags, set))
        NoteUnread(inventory, InventoryPart::Nodes, {kCantCreateDeviceSet, *error});
    return set;
}

// Calls visit for each member as ForEachMember does, noting a failure.
template <typename Visit>
void ReadEachMember(HDEVINFO deviceSet, Inventory& inventory, Visit visit) {
    if (const auto error = ForEachMember(deviceSet, visit))
        NoteUnread(inventory, InventoryPart::Nodes, {kCantEnumerateDeviceSet, *error});
}

std::set<std::wstring> AttachedInstanceIds(const wchar_t* hardwareId, Inventory& inventory) {
    std::set<std::wstring> ids;
    const DeviceSet present = ReadDeviceSet(hardwareId, DIGCF_PRESENT, inventory);
    if (present == nullptr) return ids;
    ReadEachMember(present.get(), inventory, [&](SP_DEVINFO_DATA& device) {
        ids.insert(InstanceId(present.get(), device, inventory));
    });
    return ids;
}

// Whether Windows keeps the node only until the restart: its removal is
// done but a driver could not be stopped (DN_WILL_BE_REMOVED, or problem 21,
// "Windows is removing this device"). A failing query tells nothing; a node
// of a device not attached has no status to give.
bool RemovalAwaitsRestart(const SP_DEVINFO_DATA& device) {
    ULONG status = 0;
    ULONG problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS) return false;
    return (status & DN_WILL_BE_REMOVED) != 0 ||
           ((status & DN_HAS_PROBLEM) != 0 && problem == CM_PROB_WILL_BE_REMOVED);
}

}  // namespace

void ListDeviceNodes(const wchar_t* hardwareId, Inventory& inventory) {
    const DeviceSet all = ReadDeviceSet(hardwareId, 0, inventory);
    if (all == nullptr) return;
    const std::set<std::wstring> attached = AttachedInstanceIds(hardwareId, inventory);

    ReadEachMember(all.get(), inventory, [&](SP_DEVINFO_DATA& device) {
        NodeFact node;
        node.instanceId = InstanceId(all.get(), device, inventory);
        if (RemovalAwaitsRestart(device)) {
            node.removalAwaitsRestart = true;
            inventory.nodes.push_back(std::move(node));
            return;
        }
        node.attached = !node.instanceId.empty() && attached.count(node.instanceId) != 0;
        DeviceText text;
        if (ReadProperty(all.get(), device, kDriverInfPathKey, text)) {
            node.inf = TextInBuffer(text);
        } else if (const DWORD error = GetLastError(); error != ERROR_NOT_FOUND) {
            // A node without a driver has none.
            NoteUnread(inventory, InventoryPart::Nodes, {"Can't get device inf file path", error});
        }
        if (ReadProperty(all.get(), device, kDriverVersionKey, text)) node.version = TextInBuffer(text);
        inventory.nodes.push_back(std::move(node));
    });
}

void ListDriverPackages(const wchar_t* const* hardwareIds, Inventory& inventory) {
    InfNameSet named;  // the oemNN.inf names the nodes give
    for (const NodeFact& node : inventory.nodes)
        if (node.inf) (IsOemInfName(*node.inf) ? named : inventory.windowsPackages).insert(*node.inf);
    InfNameSet unreadKeys;
    for (const std::wstring& name : named) {
        DWORD error = 0;
        switch (MakerOfPackage(hardwareIds, name, error)) {
        case PackageMaker::Scanner: inventory.packages.insert(name); break;
        case PackageMaker::Another: inventory.otherMakersPackages.insert(name); break;
        case PackageMaker::Unread:
            inventory.unreadPackages.push_back({name, error});
            unreadKeys.insert(FileNameKey(name));
            break;
        }
    }
    ScannerPackages found;
    if (const auto failure = FindScannerPackages(hardwareIds, found)) NoteUnread(inventory, InventoryPart::Packages, *failure);
    for (const UnreadPackage& package : found.unreadable)
        if (unreadKeys.insert(FileNameKey(package.name)).second) inventory.unreadPackages.push_back(package);
    inventory.packagesWithoutDevice = PackagesWithoutDevice(found, named);
    const InfNameSet counted = CountedPackages(inventory);
    for (const std::wstring& name : found.shared)
        if (counted.count(FileNameKey(name)) == 0) inventory.sharedPackages.insert(name);
}
