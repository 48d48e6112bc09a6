#include "fuzz/fuzz_machine.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "platform/ascii_case.h"
#include "run/tables.h"

namespace {

const std::wstring kOtherUpgradeCode = L"{0B1E2C3D-4E5F-4061-8293-A4B5C6D7E8F9}";
const std::wstring kOtherHardwareId = L"USB\\VID_04A9&PID_0031";
const std::wstring kInfFolder = L"C:\\windows\\inf";
const std::wstring kMarkKey = L"Software\\NerovanDrv";

struct {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
} input;

// An error code, mostly among those the program treats specially.
std::uint32_t FuzzCode() {
    static const std::uint32_t interesting[] = {0,    259,  2,    5,    13,          87,
                                                234,  1168, 1603, 1605, 1618,        1627,
                                                1641, 3010, 3011, 0x80070005u, 0xFFFFFFFFu};
    const std::uint8_t pick = FuzzByte();
    if (pick < 240) return interesting[pick % (sizeof(interesting) / sizeof(interesting[0]))];
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) code = (code << 8) | FuzzByte();
    return code;
}

// A text as a hostile platform might answer: empty, long, with characters
// above 255 or control characters, or one the program looks for.
std::wstring FuzzText() {
    switch (FuzzByte() % 8) {
    case 0: return L"";
    case 1: return L"oem" + std::to_wstring(FuzzByte()) + L".inf";
    case 2: return L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}";
    case 3: return L"VersionNT = 602";
    case 4: return std::wstring(FuzzByte() * 8u + 1u, L'x');
    default: break;
    }
    std::wstring text;
    for (int length = FuzzByte() % 40; length > 0; --length) {
        const std::uint8_t c = FuzzByte();
        text.push_back(static_cast<wchar_t>(c < 0x10 ? 0x100 + c * 0x333 : c));  // above 255, or any byte
    }
    return text;
}

// How many entries a null-terminated table holds.
int TableSize(const wchar_t* const* table) {
    int size = 0;
    while (table[size] != nullptr) ++size;
    return size;
}

const int kUpgradeCodes = TableSize(UpgradeCodeTable);
const int kHardwareIds = TableSize(HardwareIdTable);

bool faulted = false;
bool textFaulted = false;  // a text or size the platform made up
std::set<std::wstring> scannerOnlyInfs;  // paths, as planted
std::set<std::wstring> othersInfs;

// Call by call, mostly none: a failure with a code of the fuzzer's, a text
// filling the whole buffer with or without its terminator, a size answered,
// another text.
// An input used up injects nothing more.
FakeFault FuzzFault(std::wstring_view) {
    if (FuzzExhausted()) return {};
    FakeFault fault;
    switch (FuzzByte() % 32) {
    case 0: fault.failure = FuzzCode(); break;
    case 1: fault.text = FakeFault::Text::FillTerminated; break;
    case 2: fault.text = FakeFault::Text::FillUnterminated; break;
    case 3: fault.size = FuzzByte() * 8u + 1u; break;
    case 4: fault.text = FakeFault::Text::Other, fault.other = FuzzText(); break;
    default: return {};
    }
    faulted = true;
    textFaulted = textFaulted || fault.failure == 0;
    return fault;
}

void PlantInfs() {
    TheFakeKernel().folders[kInfFolder];
    for (int number = 1; number <= 5; ++number) {
        const std::wstring name = L"oem" + std::to_wstring(number) + L".inf";
        const std::wstring scannerId = std::wstring(HardwareIdTable[FuzzByte() % kHardwareIds]) + L"&REV_0001";
        const int kind = FuzzByte() % 5;
        if (kind == 1) scannerOnlyInfs.insert(kInfFolder + L"\\" + name);
        if (kind == 3) othersInfs.insert(kInfFolder + L"\\" + name);
        switch (kind) {
        case 1: FakeStoreInf(name, FakeInfOf({{L"Models.NTamd64", {FakeModel(scannerId)}}})); break;
        case 2: FakeStoreInf(name, FakeInfOf({{L"Models", {FakeModel(scannerId, {kOtherHardwareId})}}})); break;
        case 3: FakeStoreInf(name, FakeInfOf({{L"Models.NTx86", {FakeModel(kOtherHardwareId)}}})); break;
        case 4: FakeStoreInf(name, FakeInfOf({})); break;
        default: break;  // none under that name
        }
    }
}

void PlantProducts() {
    TheFakeKernel().folders[L"C:\\kit"];
    int number = 0;
    for (int code = 0; code <= kUpgradeCodes; ++code) {  // the last one another maker's
        const std::wstring upgradeCode = code < kUpgradeCodes ? UpgradeCodeTable[code] : kOtherUpgradeCode;
        for (int count = FuzzByte() % 3; count > 0; --count) {
            ++number;
            const std::wstring productCode = L"{A0000000-0000-4000-8000-0000000000" + std::to_wstring(10 + number) + L"}";
            const std::wstring cached = L"C:\\windows\\Installer\\" + std::to_wstring(number) + L".msi";
            FakeMsiPackage package{true, {}, FakeScannerSequence(), L"", L""};
            if (FuzzChance(2)) package.launchConditions.push_back({L"VersionNT = 602", L"Needs Windows 8"});
            const std::uint8_t state = FuzzByte();
            FakeMsiInstallProduct(upgradeCode, productCode, cached, package);
            TheFakeMsi().products.back().removedResult = state & 8 ? 3010 : 0;
            if (state % 4 == 1) TheFakeMsi().packages.erase(cached);  // missing
            if (state % 4 == 2) {                                     // unreadable
                TheFakeMsi().packages.erase(cached);
                TheFakeKernel().files[cached] = "not a package";
            }
            if (state & 4) {  // its original, of this build or another
                package.productCode = productCode;
                package.packageCode = state & 16 ? L"{0DD00000-0000-4000-8000-000000000000}" : kFakePackageCode;
                FakePlaceOriginalPackage(L"C:\\kit", std::to_wstring(number) + L".msi", package);
                if (state & 32)  // others may change it
                    TheFakeKernel().security[L"C:\\kit\\" + std::to_wstring(number) + L".msi"].dacl.push_back({0, 0, 2, L"S-1-1-0"});
            }
            if (state & 64) {  // a patch applied, its cached file there or missing, its original with the package's
                const std::wstring patchCode = L"{B0000000-0000-4000-8000-0000000000" + std::to_wstring(10 + number) + L"}";
                const std::wstring cachedPatch = L"C:\\windows\\Installer\\" + std::to_wstring(number) + L".msp";
                TheFakeMsi().products.back().patches.push_back({patchCode, cachedPatch});
                if (state & 128) TheFakeKernel().files[cachedPatch] = "cached patch";
                FakeMsiPackage patch;
                patch.patch = true;
                patch.packageCode = patchCode + L"{B0000000-0000-4000-8000-000000000000}";
                if (state & 4) FakePlaceOriginalPackage(L"C:\\kit", std::to_wstring(number) + L".msp", patch);
            }
        }
    }
}

// Nodes under the scanner's ids and another's, from a planted INF, a missing one, Windows' own or none.
void PlantDevices() {
    static const wchar_t* const kInfNames[] = {L"oem1.inf", L"oem2.inf", L"oem3.inf", L"oem4.inf",
                                               L"oem5.inf", L"oem9.inf", L"usbscan.inf", L""};
    DWORD devInst = 100;
    for (int id = 0; id <= kHardwareIds; ++id) {  // the last one another maker's
        const std::wstring hardwareId = id < kHardwareIds ? HardwareIdTable[id] : kOtherHardwareId;
        FakeDeviceSetScript& script = TheFakeSetupApi().hardwareIds[hardwareId];
        for (int count = FuzzByte() % 3; count > 0; --count) {
            const std::uint8_t traits = FuzzByte();
            // A scanner's node may be a function of a composite device.
            const std::wstring deviceId = hardwareId + (id < kHardwareIds && (traits & 0x70) == 0x50 ? L"&MI_01" : L"");
            FakeDeviceNode node;
            node.classGuid = GUID{0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}};
            node.devInst = ++devInst;
            node.instanceId.value = deviceId + L"\\" + std::to_wstring(devInst);
            node.infPath.value = kInfNames[traits % std::size(kInfNames)];
            node.version.value = L"3.2.0.1";
            node.attached = traits & 8;
            node.removalWaitsForRestart = (traits & 0x70) == 0x70;
            node.restartFlagOnSet = traits & 0x80;
            (deviceId == hardwareId ? script : TheFakeSetupApi().hardwareIds[deviceId]).nodes.push_back(node);
        }
    }
}

void PlantLeftovers() {
    const std::uint8_t traits = FuzzByte();
    if (traits & 1) TheFakeRegistry().view32[kMarkKey].values[L"DriverName"] = L"nrvscan";
    if (traits & 2) TheFakeRegistry().view64[kMarkKey].values[L"DriverName"] = L"nrvscan";
    if (traits & 4) TheFakeRegistry().view32[kMarkKey].values[L"Version"] = L"3.2";
    TheFakeRegistry().view32[L"Software\\OtherMaker"].values[L"DriverName"] = L"other";
    static const wchar_t* const kLogs[] = {L"\\DPInst.log", L"\\inf\\setupapi.dev.log", L"\\inf\\setupapi.setup.log",
                                           L"\\setupapi.log"};
    for (int log = 0; log < 4; ++log)
        if (traits & (16 << log)) TheFakeKernel().files[L"C:\\windows" + std::wstring(kLogs[log])] = "log line\r\n";
}

bool IsScannerUpgradeCode(const std::wstring& code) {
    for (const wchar_t* const* table = UpgradeCodeTable; *table != nullptr; ++table)
        if (LowerAscii(*table) == LowerAscii(code)) return true;
    return false;
}

}  // namespace

void FuzzStart(const std::uint8_t* data, std::size_t size) { input = {data, size, 0}; }

std::uint8_t FuzzByte() { return input.position >= input.size ? 0 : input.data[input.position++]; }

bool FuzzExhausted() { return input.position >= input.size; }

bool FuzzChance(std::uint8_t outOf) { return outOf != 0 && FuzzByte() % outOf == 0; }

void PlantMachine() {
    ResetFakePlatform();
    FakeCalls().recording = false;
    scannerOnlyInfs = othersInfs = {};
    PlantProducts();
    PlantInfs();
    PlantDevices();
    PlantLeftovers();
    faulted = false;
    textFaulted = false;
    FakeSetFaultHook(FuzzFault);
}

bool FuzzFaulted() { return faulted; }
bool FuzzTextFaulted() { return textFaulted; }

Machine TheMachine() {
    return {TheFakeKernel().files,     TheFakeKernel().folders,
            TheFakeMsi().products,     TheFakeMsi().packages,        TheFakeSetupApi().infFiles,
            TheFakeSetupApi().hardwareIds, TheFakeRegistry().view32, TheFakeRegistry().view64};
}

Machine OthersOf(Machine machine) {
    std::erase_if(machine.products, [](const FakeMsiProduct& p) { return p.upgradeCode != kOtherUpgradeCode; });
    std::erase_if(machine.packages, [&](const auto& package) {
        return std::none_of(machine.products.begin(), machine.products.end(),
                            [&](const FakeMsiProduct& p) { return p.localPackage == package.first; });
    });
    std::erase_if(machine.infFiles, [](const auto& inf) { return othersInfs.count(inf.first) == 0; });
    std::erase_if(machine.folders[kInfFolder],
                  [](const std::wstring& name) { return othersInfs.count(kInfFolder + L"\\" + name) == 0; });
    std::erase_if(machine.devices, [](const auto& id) { return id.first != kOtherHardwareId; });
    machine.view32[kMarkKey].values.erase(L"DriverName");
    return {{}, {{kInfFolder, machine.folders[kInfFolder]}}, machine.products, machine.packages,
            machine.infFiles, machine.devices, machine.view32, machine.view64};
}

bool ScannerLeft(const Machine& machine) {
    for (const FakeMsiProduct& product : machine.products)
        if (IsScannerUpgradeCode(product.upgradeCode)) return true;
    const auto mark = machine.view32.find(kMarkKey);
    if (mark != machine.view32.end() && mark->second.values.count(L"DriverName") != 0) return true;
    for (const auto& [id, script] : machine.devices)
        for (const FakeDeviceNode& node : script.nodes)
            if (id != kOtherHardwareId && !node.removed) return true;
    for (const auto& [path, inf] : machine.infFiles)
        if (scannerOnlyInfs.count(path) != 0) return true;
    return false;
}
