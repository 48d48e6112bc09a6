#include "devices/scanner_nodes.h"

#include "platform/ascii_case.h"
#include "platform/buffer_text.h"

namespace {

bool IsHexDigit(wchar_t c) {
    const wchar_t lower = LowerAscii(c);
    return (lower >= L'0' && lower <= L'9') || (lower >= L'a' && lower <= L'f');
}

}  // namespace

std::size_t ScannerIdOfNode(const wchar_t* const* hardwareIds, const std::wstring& instanceId) {
    const std::size_t end = instanceId.rfind(L'\\');
    if (end == std::wstring::npos) return std::wstring::npos;
    const std::wstring deviceId = instanceId.substr(0, end);
    for (std::size_t index = 0; hardwareIds[index] != nullptr; ++index) {
        std::size_t length = 0;
        if (!StartsWithIgnoringCase(deviceId, hardwareIds[index], length)) continue;
        if (length == deviceId.size()) return index;
        // A function of a composite device: "&MI_" and its interface number.
        if (deviceId.size() - length == 6 && LowerAscii(deviceId.substr(length, 4)) == L"&mi_" &&
            IsHexDigit(deviceId[length + 4]) && IsHexDigit(deviceId[length + 5]))
            return index;
    }
    return std::wstring::npos;
}

ScannerNodes SelectScannerNodes(const wchar_t* const* hardwareIds, DWORD flags) {
    ScannerNodes nodes;
    std::size_t ids = 0;
    while (hardwareIds[ids] != nullptr) ++ids;
    nodes.byId.resize(ids);
    // "USB", the enumerator as documented: every node it enumerates, once,
    // for the eight ids.
    nodes.createError = MakeDeviceSet(L"USB", flags, nodes.set);
    if (nodes.set == nullptr) return nodes;
    nodes.enumerationError = ForEachMember(nodes.set.get(), [&](SP_DEVINFO_DATA& device) {
        DeviceText text;
        if (!SetupDiGetDeviceInstanceIdW(nodes.set.get(), &device, text, kDeviceTextLength, nullptr)) {
            nodes.unreadIds.push_back(GetLastError());
            return;
        }
        std::wstring instanceId = TextInBuffer(text);
        const std::size_t index = ScannerIdOfNode(hardwareIds, instanceId);
        if (index != std::wstring::npos) nodes.byId[index].push_back({device, std::move(instanceId)});
    });
    return nodes;
}
