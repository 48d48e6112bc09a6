#include "devices/device_inventory.h"

#include <set>
#include <string>

#include "devices/device_queries.h"
#include "devices/oem_inf_name.h"
#include "platform/buffer_text.h"
#include "report/report_writer.h"

namespace {

// The instance id, or "" (and incomplete, after the failure line).
std::wstring InstanceId(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, bool& incomplete) {
    DeviceText text;
    if (SetupDiGetDeviceInstanceIdW(deviceSet, &device, text, kDeviceTextLength, nullptr))
        return TextInBuffer(text);
    ReportFailure("Can't get device instance id", GetLastError());
    incomplete = true;
    return {};
}

std::set<std::wstring> AttachedInstanceIds(const wchar_t* hardwareId, bool& incomplete) {
    std::set<std::wstring> ids;
    const DeviceSet present(MakeDeviceSet(hardwareId, DIGCF_PRESENT, incomplete));
    if (present == nullptr) return ids;
    ForEachMember(present.get(), incomplete, [&](SP_DEVINFO_DATA& device) {
        ids.insert(InstanceId(present.get(), device, incomplete));
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

void ListDeviceNodes(const wchar_t* hardwareId, DeviceInventory& inventory) {
    const DeviceSet all(MakeDeviceSet(hardwareId, 0, inventory.incomplete));
    if (all == nullptr) return;
    const std::set<std::wstring> attached = AttachedInstanceIds(hardwareId, inventory.incomplete);

    ForEachMember(all.get(), inventory.incomplete, [&](SP_DEVINFO_DATA& device) {
        const std::wstring id = InstanceId(all.get(), device, inventory.incomplete);
        if (RemovalAwaitsRestart(device)) {
            inventory.restartPending = true;
            ReportText("Device node: ");
            ReportText(id.c_str());
            ReportLine(", its removal finishes when the computer restarts");
            return;
        }
        ++inventory.nodes;
        std::wstring inf = L"none";
        DeviceText text;
        if (ReadProperty(all.get(), device, kDriverInfPathKey, text)) {
            inf = TextInBuffer(text);
            (IsOemInfName(inf) ? inventory.packages : inventory.windowsPackages).insert(inf);
        } else if (const DWORD error = GetLastError(); error != ERROR_NOT_FOUND) {
            ReportFailure("Can't get device inf file path", error);  // a node without a driver has none
            inventory.incomplete = true;
        }
        std::wstring version = L"none";
        if (ReadProperty(all.get(), device, kDriverVersionKey, text)) version = TextInBuffer(text);

        ReportText("Device node: ");
        ReportText(id.c_str());
        ReportText(!id.empty() && attached.count(id) != 0 ? ", attached: yes, inf: " : ", attached: no, inf: ");
        ReportText(inf.c_str());
        ReportLine(", version: ", version.c_str());
    });
}
