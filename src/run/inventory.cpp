#include "run/inventory.h"

#include <string>

#include "devices/device_inventory.h"
#include "devices/scanner_packages.h"
#include "leftovers/registry_mark.h"
#include "products/related_products.h"
#include "report/report_writer.h"
#include "report/run_outcome.h"
#include "run/tables.h"

InventoryResult TakeInventory() {
    bool incomplete = false;
    unsigned products = 0;
    for (const wchar_t* const* code = UpgradeCodeTable; *code != nullptr; ++code)
        products += ListRelatedProducts(*code, incomplete);

    const bool mark = FindRegistryMark(incomplete);

    DeviceInventory devices;
    for (const wchar_t* const* id = HardwareIdTable; *id != nullptr; ++id) ListDeviceNodes(*id, devices);
    incomplete = incomplete || devices.incomplete;

    // Packages are counted once each, whatever the letter case of their names.
    InfNameSet counted;
    InfNameSet otherMakers;  // named by a node, but the cleanup keeps them
    for (const std::wstring& name : devices.packages) {
        if (IsAnotherMakersPackage(HardwareIdTable, name)) {
            otherMakers.insert(name);
            continue;
        }
        ReportLine("Driver package: ", name.c_str());
        counted.insert(FileNameKey(name));
    }
    for (const std::wstring& name : devices.windowsPackages) ReportLine("Windows driver package kept: ", name.c_str());
    for (const std::wstring& name : otherMakers) ReportLine("Another maker's driver package kept: ", name.c_str());
    ScannerPackages scanned;
    if (!FindScannerPackages(HardwareIdTable, scanned)) incomplete = true;
    for (const std::wstring& name : PackagesWithoutDevice(scanned, devices.packages)) {
        ReportLine("Driver package without device: ", name.c_str());
        counted.insert(FileNameKey(name));
    }
    for (const std::wstring& name : scanned.shared)
        if (counted.count(FileNameKey(name)) == 0) ReportLine("Shared driver package kept: ", name.c_str());

    if (incomplete) {
        ReportLine("NRV-CHECK: INCOMPLETE");
        return InventoryResult::Incomplete;
    }
    if (products == 0 && !mark && devices.nodes == 0 && counted.empty()) {
        if (devices.restartPending) NoteRestartNeeded();  // an unattended run ends with 3010
        ReportLine("NRV-CHECK: CLEAN");
        return InventoryResult::Clean;
    }
    ReportText("NRV-CHECK: FOUND products=");
    ReportUnsigned(products);
    ReportText(mark ? " mark=1 nodes=" : " mark=0 nodes=");
    ReportUnsigned(devices.nodes);
    ReportText(" packages=");
    ReportUnsigned(static_cast<std::uint32_t>(counted.size()));
    ReportEndLine();
    return InventoryResult::Found;
}
