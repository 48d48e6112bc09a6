#include "devices/device_inventory.h"

#include <set>
#include <string>

#include "devices/device_queries.h"
#include "devices/oem_inf_name.h"
#include "devices/scanner_nodes.h"
#include "devices/scanner_packages.h"
#include "platform/ascii_case.h"
#include "platform/buffer_text.h"
#include "report/run_outcome.h"

namespace {

// Notes what went wrong while the nodes were selected.
void NoteSelectionFailures(const ScannerNodes& found, Inventory& inventory) {
    if (found.createError) NoteUnread(inventory, InventoryPart::Nodes, {kCantCreateDeviceSet, *found.createError});
    for (const DWORD error : found.unreadIds)
        NoteUnread(inventory, InventoryPart::Nodes, {"Can't get device instance id", error});
    if (found.enumerationError)
        NoteUnread(inventory, InventoryPart::Nodes, {kCantEnumerateDeviceSet, *found.enumerationError});
}

// Whether Windows keeps the node only until the restart: this run's removal
// of it asked for one (NodeLeftForRestart), or its status says so. No page
// says which status a node keeps while its removal waits: its removal is done
// but a driver could not be stopped (DN_WILL_BE_REMOVED, problem 21 "Windows
// is removing this device"), or it needs the restart (DN_NEED_RESTART,
// problem 14). A failing query tells nothing; a node of a device not
// attached has no status to give.
bool RemovalAwaitsRestart(const ScannerNode& node) {
    if (NodeLeftForRestart(node.instanceId)) return true;
    ULONG status = 0;
    ULONG problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, node.device.DevInst, 0) != CR_SUCCESS) return false;
    if ((status & (DN_WILL_BE_REMOVED | DN_NEED_RESTART)) != 0) return true;
    return (status & DN_HAS_PROBLEM) != 0 && (problem == CM_PROB_WILL_BE_REMOVED || problem == CM_PROB_NEED_RESTART);
}

void ListNode(HDEVINFO deviceSet, ScannerNode& found, const std::set<std::wstring>& attached, Inventory& inventory) {
    NodeFact node;
    node.instanceId = found.instanceId;
    if (RemovalAwaitsRestart(found)) {
        node.removalAwaitsRestart = true;
        inventory.nodes.push_back(std::move(node));
        return;
    }
    node.attached = attached.count(LowerAscii(node.instanceId)) != 0;
    DeviceText text;
    if (ReadProperty(deviceSet, found.device, kDriverInfPathKey, text)) {
        node.inf = TextInBuffer(text);
    } else if (const DWORD error = GetLastError(); error != ERROR_NOT_FOUND) {
        // A node without a driver has none.
        NoteUnread(inventory, InventoryPart::Nodes, {"Can't get device inf file path", error});
    }
    if (ReadProperty(deviceSet, found.device, kDriverVersionKey, text)) node.version = TextInBuffer(text);
    inventory.nodes.push_back(std::move(node));
}

}  // namespace

void ListDeviceNodes(const wchar_t* const* hardwareIds, Inventory& inventory) {
    ScannerNodes all = SelectScannerNodes(hardwareIds, 0);
    NoteSelectionFailures(all, inventory);
    if (all.set == nullptr) return;
    std::set<std::wstring> attached;  // instance ids, lower case
    {
        const ScannerNodes present = SelectScannerNodes(hardwareIds, DIGCF_PRESENT);
        NoteSelectionFailures(present, inventory);
        for (const auto& nodes : present.byId)
            for (const ScannerNode& node : nodes) attached.insert(LowerAscii(node.instanceId));
    }
    for (auto& nodes : all.byId)
        for (ScannerNode& node : nodes) ListNode(all.set.get(), node, attached, inventory);
}

void ListDriverPackages(const wchar_t* const* hardwareIds, Inventory& inventory) {
    InfNameSet named;  // the oemNN.inf names the nodes give
    for (const NodeFact& node : inventory.nodes)
        if (node.inf) (IsOemInfName(*node.inf) ? named : inventory.windowsPackages).insert(*node.inf);
    InfNameSet unreadKeys;
    for (const std::wstring& name : named) {
        DWORD error = 0;
        switch (MakerOfPackage(hardwareIds, name, error)) {
        case PackageMaker::Scanner:
            (PackageLeftForRestart(name) ? inventory.packagesAfterRestart : inventory.packages).insert(name);
            break;
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
    for (const std::wstring& name : PackagesWithoutDevice(found, named))
        (PackageLeftForRestart(name) ? inventory.packagesAfterRestart : inventory.packagesWithoutDevice).insert(name);
    const InfNameSet counted = CountedPackages(inventory);
    for (const std::wstring& name : found.shared)
        if (counted.count(FileNameKey(name)) == 0) inventory.sharedPackages.insert(name);
}
