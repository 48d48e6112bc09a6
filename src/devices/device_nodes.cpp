#include "devices/device_nodes.h"

#include "devices/device_queries.h"
#include "devices/scanner_nodes.h"
#include "platform/buffer_text.h"
#include "report/report_writer.h"
#include "report/run_outcome.h"

namespace {

// Whether the class installer left the removal to be finished by a restart
// (a driver that cannot be stopped, for example). The default handler puts
// the flag into the set's install parameters ("SetupDiRemoveDevice"), a class
// installer may put it into the node's: both are read. The set's flag is
// taken away once read, so that the next node's removal in the set tells its
// own. A failing query tells nothing.
bool RemovalNeedsRestart(HDEVINFO deviceSet, SP_DEVINFO_DATA& device) {
    constexpr DWORD kRestart = DI_NEEDREBOOT | DI_NEEDRESTART;
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_W);
    const bool node = SetupDiGetDeviceInstallParamsW(deviceSet, &device, &params) && (params.Flags & kRestart) != 0;
    params = {};
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_W);
    if (!SetupDiGetDeviceInstallParamsW(deviceSet, nullptr, &params) || (params.Flags & kRestart) == 0) return node;
    params.Flags &= ~kRestart;
    if (!SetupDiSetDeviceInstallParamsW(deviceSet, nullptr, &params))
        ReportFailure("Can't set device install parameters", GetLastError());
    return true;
}

// No class installer or co-installer may wait for a user at DIF_REMOVE:
// with DI_QUIETINSTALL it fails instead of showing a message. Install
// parameters are read, the flag added and written back; a failure is
// reported and the removal runs all the same.
void AskForQuietRemoval(HDEVINFO deviceSet, SP_DEVINFO_DATA& device) {
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_W);
    if (!SetupDiGetDeviceInstallParamsW(deviceSet, &device, &params)) {
        ReportFailure("Can't get device install parameters", GetLastError());
        return;
    }
    params.Flags |= DI_QUIETINSTALL;
    if (!SetupDiSetDeviceInstallParamsW(deviceSet, &device, &params))
        ReportFailure("Can't set device install parameters", GetLastError());
}

}  // namespace

std::wstring ClassGuidText(const GUID& classGuid) {
    std::wstring text = L"error";
    LPOLESTR platformText = nullptr;
    if (StringFromCLSID(classGuid, &platformText) == S_OK) {
        text = platformText;
        CoTaskMemFree(platformText);
    }
    return text;
}

void RemoveDeviceNode(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, InfNameSet& infNames, bool unattended) {
    {
        const std::wstring classText = ClassGuidText(device.ClassGuid);
        ReportEndLine();
        ReportText("Find device with class: ");
        ReportText(classText.c_str());
        ReportText(" Instance: ");
        ReportUnsigned(device.DevInst);
        ReportEndLine();
    }

    DeviceText text;
    std::wstring instanceId;
    if (SetupDiGetDeviceInstanceIdW(deviceSet, &device, text, kDeviceTextLength, nullptr)) {
        instanceId = TextInBuffer(text);
        ReportLine("Device instance id: ", instanceId.c_str());
    } else if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
        ReportFailure("Can't get device instance id", error);
    }

    // Read before the removal: afterwards the node and its properties are gone.
    std::wstring infName;
    if (ReadProperty(deviceSet, device, kDriverInfPathKey, text)) {
        infName = TextInBuffer(text);
        ReportLine("Device inf file path: ", infName.c_str());
        infNames.insert(infName);
    } else {
        ReportFailure("Can't get device inf file path", GetLastError());
    }

    if (ReadProperty(deviceSet, device, kDriverVersionKey, text)) {
        ReportLine("Device driver version: ", TextInBuffer(text).c_str());
    }

    if (unattended) AskForQuietRemoval(deviceSet, device);
    if (SetupDiCallClassInstaller(DIF_REMOVE, deviceSet, &device)) {
        ReportLine("Device node has removed successfully");
        if (RemovalNeedsRestart(deviceSet, device)) {
            ReportRestartNeeded();
            NoteNodeLeftForRestart(instanceId, infName);
        }
    } else {
        ReportFailure("Can't remove device node", GetLastError());
    }
}

namespace {

// Opens the nodes of one hardware id by their instance ids in a set of their
// own, in the order they were found, and removes each. (The numbers Wine
// gives the nodes count from 0 in each set, as in a set made for the id.)
void RemoveNodesOfId(const std::vector<ScannerNode>& nodes, InfNameSet& infNames, bool unattended) {
    if (nodes.empty()) return;
    const HDEVINFO created = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        ReportFailure(kCantCreateDeviceSet, GetLastError());
        return;
    }
    const DeviceSet deviceSet(created);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    for (const ScannerNode& node : nodes) {
        if (SetupDiOpenDeviceInfoW(deviceSet.get(), node.instanceId.c_str(), nullptr, 0, &device)) {
            RemoveDeviceNode(deviceSet.get(), device, infNames, unattended);
        } else {
            ReportFailure("Can't open device node", GetLastError());
        }
    }
}

}  // namespace

void RemoveScannerDevices(const wchar_t* const* hardwareIds, InfNameSet& infNames, bool unattended) {
    ScannerNodes found = SelectScannerNodes(hardwareIds, 0);
    found.set.reset();  // only the instance ids are used from here on
    for (std::size_t index = 0; hardwareIds[index] != nullptr; ++index) {
        ReportEndLine();
        ReportLine("Check device with HardwareId: ", hardwareIds[index]);
        // What went wrong with the one set of USB nodes concerns every id.
        if (found.createError) ReportFailure(kCantCreateDeviceSet, *found.createError);
        for (const DWORD error : found.unreadIds) ReportFailure("Can't get device instance id", error);
        RemoveNodesOfId(found.byId[index], infNames, unattended);
        if (found.enumerationError) ReportFailure(kCantEnumerateDeviceSet, *found.enumerationError);
    }
}
