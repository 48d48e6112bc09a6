#include "run/inventory.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "devices/device_inventory.h"
#include "devices/scanner_packages.h"
#include "leftovers/registry_mark.h"
#include "products/related_products.h"
#include "report/run_outcome.h"
#include "run/tables.h"

namespace {

// The package lines, in their order: label and name.
std::vector<std::pair<const char*, const std::wstring*>> PackageLines(const Inventory& inventory) {
    std::vector<std::pair<const char*, const std::wstring*>> lines;
    for (const auto& [label, names] : {std::pair{kDriverPackageLabel, &inventory.packages},
                                       {kWindowsPackageLabel, &inventory.windowsPackages},
                                       {kOtherMakersPackageLabel, &inventory.otherMakersPackages},
                                       {kPackageWithoutDeviceLabel, &inventory.packagesWithoutDevice},
                                       {kSharedPackageLabel, &inventory.sharedPackages},
                                       {kPackageAfterRestartLabel, &inventory.packagesAfterRestart}})
        for (const std::wstring& name : *names) lines.emplace_back(label, &name);
    return lines;
}

// How many facts of the part are read so far: as many as it has lines.
std::size_t FactsRead(const Inventory& inventory, InventoryPart part) {
    switch (part) {
    case InventoryPart::Products: return inventory.products.size();
    case InventoryPart::Mark: return inventory.mark ? 1 : 0;
    case InventoryPart::Nodes: return inventory.nodes.size();
    case InventoryPart::Packages: return PackageLines(inventory).size();
    }
    return 0;
}

// Writes the part's facts (write(i) for each), each after the failure lines
// noted before it, then the failure lines noted after its last.
template <typename Write>
void ReportPart(const Inventory& inventory, InventoryPart part, Write write) {
    const std::size_t facts = FactsRead(inventory, part);
    for (std::size_t index = 0; index <= facts; ++index) {
        for (const Unread& unread : inventory.unread)
            if (unread.part == part && unread.before == index) ReportFailure(unread.failure);
        if (index < facts) write(index);
    }
}

void ReportProduct(const ProductFact& product) {
    ReportText(kProductLabel);
    ReportText(product.code.c_str());
    ReportText(", ");
    ReportText(product.name.c_str());
    ReportText(", version ");
    ReportText(product.version.c_str());
    if (product.cachedPackageMissing) ReportText(", cached package missing");
    ReportEndLine();
    if (product.originals) ReportOriginalSearch(*product.originals);
    for (const MissingPatchFact& patch : product.missingPatches) {
        ReportLine(kCachedPatchMissingLabel, patch.code.c_str());
        if (patch.original) ReportOriginalSearch(*patch.original);
    }
}

void ReportNode(const NodeFact& node) {
    ReportText(kNodeLabel);
    ReportText(node.instanceId.c_str());
    if (node.removalAwaitsRestart) {
        ReportLine(", its removal finishes when the computer restarts");
        return;
    }
    ReportText(node.attached ? ", attached: yes, inf: " : ", attached: no, inf: ");
    ReportText(node.inf.value_or(L"none").c_str());
    ReportLine(", version: ", node.version.value_or(L"none").c_str());
}

}  // namespace

void NoteUnread(Inventory& inventory, InventoryPart part, const FailureLine& failure) {
    inventory.unread.push_back({part, FactsRead(inventory, part), failure});
}

Inventory ReadInventory() {
    Inventory inventory;
    for (const wchar_t* const* code = UpgradeCodeTable; *code != nullptr; ++code)
        ListRelatedProducts(*code, inventory);
    FindRegistryMark(inventory);
    ListDeviceNodes(HardwareIdTable, inventory);
    ListDriverPackages(HardwareIdTable, inventory);
    return inventory;
}

InventoryResult ReportInventory(const Inventory& inventory) {
    ReportPart(inventory, InventoryPart::Products, [&](std::size_t i) { ReportProduct(inventory.products[i]); });
    ReportPart(inventory, InventoryPart::Mark, [](std::size_t) { ReportLine(kMarkLine); });
    ReportPart(inventory, InventoryPart::Nodes, [&](std::size_t i) { ReportNode(inventory.nodes[i]); });
    const auto packages = PackageLines(inventory);
    ReportPart(inventory, InventoryPart::Packages,
               [&](std::size_t i) { ReportLine(packages[i].first, packages[i].second->c_str()); });
    for (const UnreadPackage& package : inventory.unreadPackages) ReportUnreadPackage(package);

    if (!inventory.unread.empty() || !inventory.unreadPackages.empty()) {
        ReportLine(kIncompleteVerdict);
        return InventoryResult::Incomplete;
    }
    const auto awaitsRestart = [](const NodeFact& node) { return node.removalAwaitsRestart; };
    const auto nodeCount = static_cast<std::uint32_t>(
        std::count_if(inventory.nodes.begin(), inventory.nodes.end(), std::not_fn(awaitsRestart)));
    const auto packageCount = static_cast<std::uint32_t>(CountedPackages(inventory).size());
    if (inventory.products.empty() && !inventory.mark && nodeCount == 0 && packageCount == 0) {
        // A node Windows removes at the restart, a package the run after it
        // removes: an unattended run ends with 3010.
        if (std::any_of(inventory.nodes.begin(), inventory.nodes.end(), awaitsRestart) ||
            !inventory.packagesAfterRestart.empty())
            NoteRestartNeeded();
        ReportLine(kCleanVerdict);
        return InventoryResult::Clean;
    }
    ReportText(kFoundVerdictLabel);
    ReportUnsigned(static_cast<std::uint32_t>(inventory.products.size()));
    ReportText(inventory.mark ? " mark=1 nodes=" : " mark=0 nodes=");
    ReportUnsigned(nodeCount);
    ReportText(" packages=");
    ReportUnsigned(packageCount);
    ReportEndLine();
    return InventoryResult::Found;
}

InfNameSet CountedPackages(const Inventory& inventory) {
    InfNameSet counted;
    for (const InfNameSet* names : {&inventory.packages, &inventory.packagesWithoutDevice})
        for (const std::wstring& name : *names) counted.insert(FileNameKey(name));
    return counted;
}

InventoryResult TakeInventory() { return ReportInventory(ReadInventory()); }

void ReportUnreadPackage(const UnreadPackage& package) {
    ReportText(kUnreadPackageLabel);
    ReportText(package.name.c_str());
    ReportText(". Error: ");
    ReportUnsigned(package.error);
    ReportEndLine();
}

void ReportOriginalSearch(const OriginalSearch& search) {
    for (const OriginalRefusal& refused : search.refused) {
        if (!refused.anotherBuild) {
            ReportLine(kOriginalRefusedOthersCanChangeLabel, refused.path.c_str());
            continue;
        }
        ReportText(kOriginalRefusedAnotherBuildLabel);
        ReportText(refused.path.c_str());
        ReportText(", package code ");
        ReportText(refused.packageCode.c_str());
        ReportLine(", installed ", search.packageCode.c_str());
    }
    if (search.path.empty()) {
        ReportLine(search.patch ? kNoOriginalPatchLabel : kNoOriginalLabel, search.folder.c_str());
    } else {
        ReportLine(kOriginalLabel, search.path.c_str());
    }
}
