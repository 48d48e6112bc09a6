#include "fake/fake_setupapi.h"

#include <cstring>
#include <unordered_map>

#include "fake/fake_kernel.h"
#include "platform/ascii_case.h"

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorNotFound = 1168;
constexpr DWORD kErrorInvalidUserBuffer = 1784;
constexpr DWORD kErrorNoSuchDevinst = 0xE000020B;

// An open device information set: the enumerator it was made for ("" for
// an empty list), the script's nodes it holds (no script changes while a set
// is open), and its own install parameters' flags.
struct OpenSet {
    std::wstring enumerator;
    std::vector<FakeDeviceNode*> nodes;
    DWORD installFlags = 0;
};

struct SetupApiModel {
    FakeSetupApi script;
    std::map<std::uintptr_t, OpenSet> openSets;  // by handle value
    std::uintptr_t nextSet = 1;
    // The nodes not removed by instance id, lower case, made again with each empty
    // list (a scan per open would make the benchmark's pass quadratic).
    std::unordered_map<std::wstring, FakeDeviceNode*> nodesById;
};

// An open INF file: its path and, by number, the sections a context names.
struct OpenInf {
    std::wstring path;
    std::vector<std::wstring> sectionNames;
};

SetupApiModel setupapi;
std::map<std::uintptr_t, OpenInf> openInfs;
std::uintptr_t nextInf = 1;
bool nonInteractive = false;  // SetupSetNonInteractiveMode: the process's setting
const FakeResetRegistration reset([] { setupapi = SetupApiModel{}; });
const FakeProcessStateRegistration processState([] {
    nonInteractive = false;
    setupapi.openSets.clear();
    openInfs.clear();
    nextInf = 1;
});

// The lines of the section a context stands for, or null.
const std::vector<FakeInfLine>* ContextLines(const INFCONTEXT* context) {
    if (context == nullptr) return nullptr;
    const auto open = openInfs.find(reinterpret_cast<std::uintptr_t>(context->Inf) >> 4);
    if (open == openInfs.end() || context->Section >= open->second.sectionNames.size()) return nullptr;
    auto& sections = setupapi.script.infFiles[open->second.path].sections;
    for (const auto& [name, lines] : sections)
        if (LowerAscii(name) == open->second.sectionNames[context->Section]) return &lines;
    return nullptr;
}

// The script under the name, or none (an empty one), without adding it.
const FakeDeviceSetScript& ScriptOf(const std::wstring& name) {
    static const FakeDeviceSetScript none;
    const auto script = setupapi.script.hardwareIds.find(name);
    return script == setupapi.script.hardwareIds.end() ? none : script->second;
}

std::uintptr_t SetNumber(HDEVINFO set) { return reinterpret_cast<std::uintptr_t>(set) >> 4; }

std::wstring SetName(HDEVINFO set) { return L"set" + std::to_wstring(SetNumber(set)); }

OpenSet* FindSet(HDEVINFO set) {
    const auto open = setupapi.openSets.find(SetNumber(set));
    return open == setupapi.openSets.end() ? nullptr : &open->second;
}

// A failure: the last error set, and the call's failure result.
template <typename Result = BOOL>
Result Fail(DWORD error, Result result = FALSE) {
    FakeSetLastError(error);
    return result;
}

// The node a record filled by SetupDiEnumDeviceInfo stands for (its Reserved
// field holds the member index + 1), or null.
FakeDeviceNode* FindNode(HDEVINFO set, const SP_DEVINFO_DATA* device) {
    OpenSet* open = FindSet(set);
    if (open == nullptr || device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA) ||
        device->Reserved == 0 || device->Reserved > open->nodes.size())
        return nullptr;
    return open->nodes[device->Reserved - 1];
}

// The flags of the node's install parameters, or of the set's own (device
// null); null when there is no such node or set.
DWORD* InstallFlags(HDEVINFO set, const SP_DEVINFO_DATA* device) {
    FakeDeviceNode* node = device == nullptr ? nullptr : FindNode(set, device);
    OpenSet* open = device == nullptr ? FindSet(set) : nullptr;
    return node != nullptr ? &node->installFlags : open != nullptr ? &open->installFlags : nullptr;
}

std::wstring NodeName(const SP_DEVINFO_DATA* device) {
    return device == nullptr ? L"null" : L"member " + std::to_wstring(device->Reserved - 1);
}

// Writes a query's text into a buffer of capacity characters, as the
// platform does (or, for an unterminated text, as a faulty one might).
BOOL AnswerText(const FakeDeviceText& text, WCHAR* buffer, std::size_t capacity) {
    if (text.error != 0) return Fail(text.error);
    if (!text.terminated) {
        std::wmemcpy(buffer, text.value.c_str(), std::min(capacity, text.value.size()));
        return TRUE;
    }
    return FakeWriteText(buffer, capacity, text.value).fits ? TRUE : Fail(kErrorInsufficientBuffer);
}

bool IsDriverProperty(const DEVPROPKEY& key) {
    const GUID driver{0xa8b865dd, 0x2e3d, 0x4094, {0xad, 0x97, 0xe5, 0x93, 0xa7, 0x0c, 0x75, 0xd6}};
    return std::memcmp(&key.fmtid, &driver, sizeof(GUID)) == 0;
}

}  // namespace

FakeSetupApi& TheFakeSetupApi() { return setupapi.script; }

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                              DWORD flags) {
    FakeRecordCall(L"SetupDiGetClassDevsW(" +
                   (classGuid == nullptr ? std::wstring(L"null") : FakeGuidText(*classGuid)) +
                   L", " + FakeQuoted(enumerator) + L", " + (parent == nullptr ? L"null" : L"window") +
                   L", " + std::to_wstring(flags) + L")");
    const std::wstring name = enumerator == nullptr ? L"" : enumerator;
    const FakeDeviceSetScript& script = ScriptOf(name);
    if (script.createError != 0 || FakeFailure() != 0)
        return Fail(FakeFailure() != 0 ? FakeFailure() : script.createError, INVALID_HANDLE_VALUE);
    OpenSet open{name, {}};
    const bool presentOnly = (flags & DIGCF_PRESENT) != 0;
    for (auto& [scriptName, nodes] : setupapi.script.hardwareIds) {
        if (!LowerAscii(scriptName + L"\\").starts_with(LowerAscii(name) + L"\\")) continue;  // the name's or below it
        for (FakeDeviceNode& node : nodes.nodes)
            if (!node.removed && (!presentOnly || node.attached)) open.nodes.push_back(&node);
    }
    const std::uintptr_t number = setupapi.nextSet++;
    setupapi.openSets[number] = open;
    FakeHandleOpened("devinfo-set");
    return reinterpret_cast<HDEVINFO>(number << 4);
}

HDEVINFO SetupDiCreateDeviceInfoList(const GUID* classGuid, HWND parent) {
    FakeRecordCall(L"SetupDiCreateDeviceInfoList(" +
                   (classGuid == nullptr ? std::wstring(L"null") : FakeGuidText(*classGuid)) + L", " +
                   (parent == nullptr ? L"null" : L"window") + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure, INVALID_HANDLE_VALUE);
    setupapi.nodesById.clear();
    for (auto& [scriptName, script] : setupapi.script.hardwareIds)
        for (FakeDeviceNode& node : script.nodes)
            if (!node.removed) setupapi.nodesById.emplace(LowerAscii(node.instanceId.value), &node);
    const std::uintptr_t number = setupapi.nextSet++;
    setupapi.openSets[number] = OpenSet{};
    FakeHandleOpened("devinfo-set");
    return reinterpret_cast<HDEVINFO>(number << 4);
}

// Adds the node not removed with that instance id (compared ignoring ASCII
// case) when the last empty list was made to the set.
BOOL SetupDiOpenDeviceInfoW(HDEVINFO deviceInfoSet, PCWSTR deviceInstanceId, HWND parent, DWORD openFlags,
                            PSP_DEVINFO_DATA deviceInfoData) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiOpenDeviceInfoW")
                                             : L"SetupDiOpenDeviceInfoW(" + SetName(deviceInfoSet) + L", " +
                   FakeQuoted(deviceInstanceId) + L", " + (parent == nullptr ? L"null" : L"window") + L", " +
                   std::to_wstring(openFlags) + L", cbSize " + std::to_wstring(deviceInfoData->cbSize) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    OpenSet* open = FindSet(deviceInfoSet);
    if (open == nullptr) return Fail(kErrorInvalidHandle);
    if (deviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(kErrorInvalidUserBuffer);
    const auto found = setupapi.nodesById.find(LowerAscii(deviceInstanceId));
    if (found == setupapi.nodesById.end() || found->second->removed) return Fail(kErrorNoSuchDevinst);
    open->nodes.push_back(found->second);
    *deviceInfoData = {sizeof(SP_DEVINFO_DATA), found->second->classGuid, found->second->devInst, open->nodes.size()};
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO deviceInfoSet, DWORD memberIndex,
                           PSP_DEVINFO_DATA deviceInfoData) {
    // The call's text only when it is kept: building it costs the benchmark most of its time.
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiEnumDeviceInfo")
                                             : L"SetupDiEnumDeviceInfo(" + SetName(deviceInfoSet) + L", " +
                   std::to_wstring(memberIndex) + L", cbSize " +
                   std::to_wstring(deviceInfoData->cbSize) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    OpenSet* open = FindSet(deviceInfoSet);
    if (open == nullptr) return Fail(kErrorInvalidHandle);
    if (deviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(kErrorInvalidUserBuffer);
    if (memberIndex >= open->nodes.size()) return Fail(ScriptOf(open->enumerator).endError);
    const FakeDeviceNode& node = *open->nodes[memberIndex];
    deviceInfoData->ClassGuid = node.classGuid;
    deviceInfoData->DevInst = node.devInst;
    deviceInfoData->Reserved = memberIndex + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                 PWSTR deviceInstanceId, DWORD deviceInstanceIdSize,
                                 PDWORD requiredSize) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiGetDeviceInstanceIdW")
                                             : L"SetupDiGetDeviceInstanceIdW(" + SetName(deviceInfoSet) + L", " +
                   NodeName(deviceInfoData) + L", " + std::to_wstring(deviceInstanceIdSize) +
                   L", " + (requiredSize == nullptr ? L"null" : L"size") + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const FakeDeviceNode* node = FindNode(deviceInfoSet, deviceInfoData);
    if (node == nullptr) return Fail(kErrorInvalidUserBuffer);
    return AnswerText(node->instanceId, deviceInstanceId, deviceInstanceIdSize);
}

BOOL SetupDiGetDevicePropertyW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                               const DEVPROPKEY* propertyKey, DEVPROPTYPE* propertyType,
                               PBYTE propertyBuffer, DWORD propertyBufferSize,
                               PDWORD requiredSize, DWORD flags) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiGetDevicePropertyW")
                                             : L"SetupDiGetDevicePropertyW(" + SetName(deviceInfoSet) + L", " +
                   NodeName(deviceInfoData) + L", " + FakeGuidText(propertyKey->fmtid) + L" " +
                   std::to_wstring(propertyKey->pid) + L", " +
                   (propertyType == nullptr ? L"null" : L"type") + L", " +
                   std::to_wstring(propertyBufferSize) + L", " +
                   (requiredSize == nullptr ? L"null" : L"size") + L", " + std::to_wstring(flags) +
                   L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const FakeDeviceNode* node = FindNode(deviceInfoSet, deviceInfoData);
    if (node == nullptr) return Fail(kErrorInvalidUserBuffer);
    if (!IsDriverProperty(*propertyKey) || (propertyKey->pid != 5 && propertyKey->pid != 3))
        return Fail(kErrorNotFound);
    if (propertyType != nullptr) *propertyType = 0x12;  // DEVPROP_TYPE_STRING
    return AnswerText(propertyKey->pid == 5 ? node->infPath : node->version,
                      reinterpret_cast<WCHAR*>(propertyBuffer),
                      propertyBufferSize / sizeof(WCHAR));
}

BOOL SetupDiCallClassInstaller(DI_FUNCTION installFunction, HDEVINFO deviceInfoSet,
                               PSP_DEVINFO_DATA deviceInfoData) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiCallClassInstaller")
                                             : L"SetupDiCallClassInstaller(" + std::to_wstring(installFunction) + L", " +
                   SetName(deviceInfoSet) + L", " + NodeName(deviceInfoData) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    FakeDeviceNode* node = FindNode(deviceInfoSet, deviceInfoData);
    if (node == nullptr) return Fail(kErrorInvalidUserBuffer);
    if (node->removeError != 0) return Fail(node->removeError);
    node->quietAtRemoval = nonInteractive && (node->installFlags & DI_QUIETINSTALL) != 0;
    if (installFunction == DIF_REMOVE && node->removalWaitsForRestart) {
        (node->restartFlagOnSet ? FindSet(deviceInfoSet)->installFlags : node->installFlags) |= DI_NEEDREBOOT;
        node->problem = node->problemWhileWaiting;
    } else if (installFunction == DIF_REMOVE) {
        node->removed = true;
    }
    return TRUE;
}

BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W deviceInstallParams) {
    FakeRecordCall(L"SetupDiSetDeviceInstallParamsW(" + SetName(deviceInfoSet) + L", " + NodeName(deviceInfoData) +
                   L", flags " + std::to_wstring(deviceInstallParams->Flags) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    DWORD* flags = InstallFlags(deviceInfoSet, deviceInfoData);
    if (flags == nullptr || deviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_W))
        return Fail(kErrorInvalidUserBuffer);
    *flags = deviceInstallParams->Flags;
    return TRUE;
}

BOOL SetupSetNonInteractiveMode(BOOL nonInteractiveFlag) {
    FakeRecordCall(L"SetupSetNonInteractiveMode(" + std::to_wstring(nonInteractiveFlag) + L")");
    const BOOL former = nonInteractive ? TRUE : FALSE;
    nonInteractive = nonInteractiveFlag != FALSE;
    return former;
}

// A node by its device instance handle, which Windows binds to the machine,
// not to a set: the first node not removed with that DevInst.
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problemNumber, DEVINST devInst, ULONG flags) {
    FakeRecordCall(L"CM_Get_DevNode_Status(" + std::wstring(status == nullptr ? L"null" : L"status") + L", " +
                   (problemNumber == nullptr ? L"null" : L"problem") + L", " + std::to_wstring(devInst) + L", " +
                   std::to_wstring(flags) + L")");
    if (const DWORD failure = FakeFailure()) return failure;
    for (const auto& [id, script] : setupapi.script.hardwareIds)
        for (const FakeDeviceNode& node : script.nodes)
            if (!node.removed && node.devInst == devInst) {
                *status = node.status | (node.problem != 0 ? DN_HAS_PROBLEM : 0);
                *problemNumber = node.problem;
                return CR_SUCCESS;
            }
    return 0x0000000D;  // CR_NO_SUCH_DEVINST
}

BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W deviceInstallParams) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupDiGetDeviceInstallParamsW")
                                             : L"SetupDiGetDeviceInstallParamsW(" + SetName(deviceInfoSet) + L", " +
                   NodeName(deviceInfoData) + L", cbSize " +
                   std::to_wstring(deviceInstallParams->cbSize) + L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const DWORD* flags = InstallFlags(deviceInfoSet, deviceInfoData);
    if (flags == nullptr || deviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_W))
        return Fail(kErrorInvalidUserBuffer);
    const FakeDeviceNode* node = FindNode(deviceInfoSet, deviceInfoData);
    if (node != nullptr && node->installParamsError != 0) return Fail(node->installParamsError);
    deviceInstallParams->Flags = *flags;
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO deviceInfoSet) {
    FakeRecordRelease(L"SetupDiDestroyDeviceInfoList(" + SetName(deviceInfoSet) + L")");
    if (setupapi.openSets.erase(SetNumber(deviceInfoSet)) == 0) {
        ++FakeCalls().badCloses["devinfo-set"];
        return Fail(kErrorInvalidHandle);
    }
    FakeHandleClosed("devinfo-set");
    return TRUE;
}

BOOL SetupUninstallOEMInfW(PCWSTR infFileName, DWORD flags, PVOID reserved) {
    FakeRecordCall(!FakeCalls().recording ? std::wstring(L"SetupUninstallOEMInfW")
                                             : L"SetupUninstallOEMInfW(" + FakeQuoted(infFileName) + L", " +
                   std::to_wstring(flags) + L", " + (reserved == nullptr ? L"null" : L"reserved") +
                   L")");
    if (const DWORD failure = FakeFailure()) return Fail(failure);
    const auto error = setupapi.script.uninstallErrors.find(infFileName);
    if (error != setupapi.script.uninstallErrors.end()) return Fail(error->second);
    setupapi.script.uninstalledInfs.push_back(infFileName);
    // A package in the INF folder leaves it.
    setupapi.script.infFiles.erase(L"C:\\windows\\inf\\" + std::wstring(infFileName));
    std::erase(TheFakeKernel().folders[L"C:\\windows\\inf"], std::wstring(infFileName));
    return TRUE;
}

FakeInfLine FakeModel(const std::wstring& hardwareId, std::vector<std::wstring> compatible) {
    FakeInfLine line{L"%Scanner%", L"Install", hardwareId};
    line.insert(line.end(), compatible.begin(), compatible.end());
    return line;
}

FakeInf FakeInfOf(std::vector<std::pair<std::wstring, std::vector<FakeInfLine>>> models, FakeInfLine manufacturer) {
    FakeInf inf;
    inf.sections[L"Version"] = {{L"Signature", L"$Windows NT$"}};
    inf.sections[L"Manufacturer"] = {std::move(manufacturer)};
    for (auto& [name, lines] : models) inf.sections[name] = std::move(lines);
    return inf;
}

void FakeStoreInf(const std::wstring& name, FakeInf inf) {
    setupapi.script.infFiles[L"C:\\windows\\inf\\" + name] = std::move(inf);
    TheFakeKernel().folders[L"C:\\windows\\inf"].push_back(name);
}

HINF SetupOpenInfFileW(PCWSTR fileName, PCWSTR infClass, DWORD infStyle, PUINT errorLine) {
    FakeRecordCall(L"SetupOpenInfFileW(" + FakeQuoted(fileName) + L", " + FakeQuoted(infClass) + L", " +
                   std::to_wstring(infStyle) + L", " + (errorLine == nullptr ? L"null" : L"line") + L")");
    const auto file = setupapi.script.infFiles.find(fileName);
    if (const DWORD failure = FakeFailure()) return Fail(failure, INVALID_HANDLE_VALUE);
    if (file == setupapi.script.infFiles.end() || file->second.openError != 0)
        return Fail(file == setupapi.script.infFiles.end() ? ERROR_FILE_NOT_FOUND : file->second.openError, INVALID_HANDLE_VALUE);
    const std::uintptr_t number = nextInf++;
    openInfs[number] = OpenInf{fileName, {}};
    FakeHandleOpened("inf");
    return reinterpret_cast<HINF>(number << 4);
}

void SetupCloseInfFile(HINF infHandle) {
    FakeRecordRelease(L"SetupCloseInfFile()");
    if (openInfs.erase(reinterpret_cast<std::uintptr_t>(infHandle) >> 4) == 0) {
        ++FakeCalls().badCloses["inf"];
        return;
    }
    FakeHandleClosed("inf");
}

BOOL SetupFindFirstLineW(HINF infHandle, PCWSTR section, PCWSTR key, PINFCONTEXT context) {
    if (const DWORD failure = FakeFaultPoint(L"SetupFindFirstLineW")) return Fail(failure);
    const auto open = openInfs.find(reinterpret_cast<std::uintptr_t>(infHandle) >> 4);
    if (open == openInfs.end() || section == nullptr) return Fail(kErrorInvalidHandle);
    if (key != nullptr) return Fail(87);  // the program never looks lines up by key
    const std::wstring wanted = LowerAscii(section);
    for (const auto& [name, lines] : setupapi.script.infFiles[open->second.path].sections) {
        if (LowerAscii(name) != wanted) continue;
        if (lines.empty()) break;
        auto& names = open->second.sectionNames;
        names.push_back(wanted);
        *context = INFCONTEXT{infHandle, infHandle, static_cast<UINT>(names.size() - 1), 0};
        return TRUE;
    }
    return Fail(static_cast<DWORD>(ERROR_LINE_NOT_FOUND));
}

BOOL SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
    if (const DWORD failure = FakeFaultPoint(L"SetupFindNextLine")) return Fail(failure);
    const std::vector<FakeInfLine>* lines = ContextLines(contextIn);
    if (lines == nullptr) return Fail(kErrorInvalidHandle);
    if (contextIn->Line + 1 >= lines->size()) return Fail(static_cast<DWORD>(ERROR_LINE_NOT_FOUND));
    *contextOut = *contextIn;
    ++contextOut->Line;
    return TRUE;
}

BOOL SetupGetStringFieldW(PINFCONTEXT context, DWORD fieldIndex, PWSTR returnBuffer,
                          DWORD returnBufferSize, PDWORD requiredSize) {
    if (const DWORD failure = FakeFaultPoint(L"SetupGetStringFieldW")) return Fail(failure);
    const std::vector<FakeInfLine>* lines = ContextLines(context);
    if (lines == nullptr || context->Line >= lines->size()) return Fail(kErrorInvalidHandle);
    const FakeInfLine& line = (*lines)[context->Line];
    if (fieldIndex >= line.size()) return Fail(87);  // ERROR_INVALID_PARAMETER
    const std::wstring& field = line[fieldIndex];
    const FakeTextAnswer answer = FakeWriteText(returnBuffer, returnBufferSize, field);
    if (requiredSize != nullptr) *requiredSize = answer.length + 1;
    return answer.fits ? TRUE : Fail(kErrorInsufficientBuffer);
}
