#include "devices/device_nodes.h"

#include "devices/device_queries.h"
#include "platform/buffer_text.h"
#include "report/report_writer.h"

namespace {

void ReportTextLine(const wchar_t* label, const std::wstring& text) {
    ReportText(label);
    ReportText(text.c_str());
    ReportEndLine();
}

// Whether the class installer left the removal to be finished by a restart
// (a driver file in use, for example). A failing query tells nothing.
bool RemovalNeedsRestart(HDEVINFO deviceSet, SP_DEVINFO_DATA& device) {
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof(SP_DEVINSTALL_PARAMS_W);
    if (!SetupDiGetDeviceInstallParamsW(deviceSet, &device, &params)) return false;
    return (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
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

void RemoveDeviceNode(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, InfNameSet& infNames) {
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
        ReportTextLine(L"Device instance id: ", TextInBuffer(text));
    } else if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
        ReportFailure("Can't get device instance id", error);
    }

    // Read before the removal: afterwards the node and its properties are gone.
    if (ReadProperty(deviceSet, device, kDriverInfPathKey, text)) {
        const std::wstring infName = TextInBuffer(text);
        ReportTextLine(L"Device inf file path: ", infName);
        infNames.insert(infName);
    } else {
        ReportFailure("Can't get device inf file path", GetLastError());
    }

    if (ReadProperty(deviceSet, device, kDriverVersionKey, text)) {
        ReportTextLine(L"Device driver version: ", TextInBuffer(text));
    }

    if (SetupDiCallClassInstaller(DIF_REMOVE, deviceSet, &device)) {
        ReportLine("Device node has removed successfully");
        if (RemovalNeedsRestart(deviceSet, device)) ReportRestartNeeded();
    } else {
        ReportFailure("Can't remove device node", GetLastError());
    }
}

void RemoveDevicesByHardwareId(const wchar_t* hardwareId, InfNameSet& infNames) {
    ReportEndLine();
    ReportText("Check device with HardwareId: ");
    ReportText(hardwareId);
    ReportEndLine();

    // Without DIGCF_PRESENT: nodes of devices not attached now are members too.
    const HDEVINFO created = SetupDiGetClassDevsW(nullptr, hardwareId, nullptr, DIGCF_ALLCLASSES);
    if (created == INVALID_HANDLE_VALUE) {
        // Windows refuses an enumerator under which no node was ever
        // registered: for this pass that is an empty set.
        if (const DWORD error = GetLastError(); error != ERROR_INVALID_DATA)
            ReportFailure("Can't create device information set", error);
        return;
    }
    const DeviceSet deviceSet(created);

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    DWORD index = 0;
    while (SetupDiEnumDeviceInfo(deviceSet.get(), index, &device)) {
        RemoveDeviceNode(deviceSet.get(), device, infNames);
        ++index;
    }
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
        ReportFailure("Can't enumerate device information set", error);
    }
}
