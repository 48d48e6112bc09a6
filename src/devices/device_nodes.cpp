#include "devices/device_nodes.h"

#include "devices/device_queries.h"
#include "platform/buffer_text.h"
#include "report/report_writer.h"

namespace {

// Whether the class installer left the removal to be finished by a restart
// (a driver file in use, for example). A failing query tells nothing.
bool RemovalNeedsRestart(HDEVINFO deviceSet, SP_DEVINFO_DATA& device) {
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_W);
    if (!SetupDiGetDeviceInstallParamsW(deviceSet, &device, &params)) return false;
    return (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
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
    if (SetupDiGetDeviceInstanceIdW(deviceSet, &device, text, kDeviceTextLength, nullptr)) {
        ReportLine("Device instance id: ", TextInBuffer(text).c_str());
    } else if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
        ReportFailure("Can't get device instance id", error);
    }

    // Read before the removal: afterwards the node and its properties are gone.
    if (ReadProperty(deviceSet, device, kDriverInfPathKey, text)) {
        const std::wstring infName = TextInBuffer(text);
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
        if (RemovalNeedsRestart(deviceSet, device)) ReportRestartNeeded();
    } else {
        ReportFailure("Can't remove device node", GetLastError());
    }
}

void RemoveDevicesByHardwareId(const wchar_t* hardwareId, InfNameSet& infNames, bool unattended) {
    ReportEndLine();
    ReportLine("Check device with HardwareId: ", hardwareId);

    // Without DIGCF_PRESENT: nodes of devices not attached now are members too.
    DeviceSet deviceSet;
    if (const auto error = MakeDeviceSet(hardwareId, 0, deviceSet)) ReportFailure(kCantCreateDeviceSet, *error);
    if (deviceSet == nullptr) return;
    const auto error = ForEachMember(
        deviceSet.get(), [&](SP_DEVINFO_DATA& device) { RemoveDeviceNode(deviceSet.get(), device, infNames, unattended); });
    if (error) ReportFailure(kCantEnumerateDeviceSet, *error);
}
