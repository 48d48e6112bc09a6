// Fake SetupAPI (device information sets, device queries and removal, the
// driver store) and the COM support that turns class GUIDs into text
// (fake_ole32.cpp).
//
// Device nodes are scripted per device id (the instance id before its last "\"); a set made for
// an enumerator ("USB") holds the nodes of every script below it, in the order of their names,
// and fails as its own script says (none: empty, as on a machine without the scanner).
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fake/fake_platform.h"

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// What one device query answers: the text, or the error it fails with.
struct FakeDeviceText {
    std::wstring value;
    DWORD error = 0;          // non-zero: the query fails with this code
    bool terminated = true;   // false: written without a NUL (a faulty platform)
    bool operator==(const FakeDeviceText&) const = default;
};

struct FakeDeviceNode {
    GUID classGuid{};
    DWORD devInst = 0;
    FakeDeviceText instanceId;
    FakeDeviceText infPath;
    FakeDeviceText version;
    DWORD removeError = 0;    // non-zero: DIF_REMOVE fails with this code
    bool removed = false;     // set by a successful DIF_REMOVE
    DWORD installFlags = 0;   // the Flags of its install parameters (DI_NEEDREBOOT, ...)
    DWORD installParamsError = 0;  // non-zero: reading them fails with this code
    bool attached = false;    // a member of DIGCF_PRESENT sets too
    // DIF_REMOVE sets DI_NEEDREBOOT (in the node's install parameters, or the
    // set's) and leaves the node until the restart, with problemWhileWaiting
    // (21: a device whose driver cannot be stopped).
    bool removalWaitsForRestart = false;
    bool restartFlagOnSet = false;
    DWORD problemWhileWaiting = CM_PROB_WILL_BE_REMOVED;
    DWORD problem = 0;        // non-zero: CM_Get_DevNode_Status gives DN_HAS_PROBLEM and this code
    DWORD status = 0;         // the other DN_ flags CM_Get_DevNode_Status gives
    bool quietAtRemoval = false;  // DIF_REMOVE came in non-interactive mode, with DI_QUIETINSTALL
    bool operator==(const FakeDeviceNode&) const = default;
};

struct FakeDeviceSetScript {
    DWORD createError = 0;    // non-zero: SetupDiGetClassDevsW fails with this code
    std::vector<FakeDeviceNode> nodes;  // the members, in index order
    DWORD endError = ERROR_NO_MORE_ITEMS;  // what enumerating past the last member gives
    bool operator==(const FakeDeviceSetScript&) const = default;
};

// An INF file as SetupAPI reads it: sections by name (matched ignoring
// letter case), each a list of lines, each line its fields (field 0 the key,
// "" for a line without one).
using FakeInfLine = std::vector<std::wstring>;
struct FakeInf {
    std::map<std::wstring, std::vector<FakeInfLine>> sections;
    DWORD openError = 0;  // non-zero: SetupOpenInfFileW fails with this code
    bool operator==(const FakeInf&) const = default;
};

struct FakeSetupApi {
    // INF files by full path.
    std::map<std::wstring, FakeInf> infFiles;
    std::map<std::wstring, FakeDeviceSetScript> hardwareIds;  // by device id, or enumerator
    std::map<std::wstring, DWORD> uninstallErrors;  // INF name -> error; others succeed
    std::vector<std::wstring> uninstalledInfs;      // removed from the store, in order
};

FakeSetupApi& TheFakeSetupApi();

// A models line: a device listed under its hardware id and compatible ids.
FakeInfLine FakeModel(const std::wstring& hardwareId, std::vector<std::wstring> compatible = {});
// An INF whose Manufacturer section names Models with decorations.
FakeInf FakeInfOf(std::vector<std::pair<std::wstring, std::vector<FakeInfLine>>> models,
                  FakeInfLine manufacturer = {L"%Mfg%", L"Models", L"NTamd64", L"NTx86"});

// Puts an INF file into the Windows INF folder (C:\windows\inf): listed by
// FindFirstFileW and read by the INF functions.
void FakeStoreInf(const std::wstring& name, FakeInf inf);

struct FakeOle32 {
    HRESULT stringFromClsidResult = S_OK;
};

FakeOle32& TheFakeOle32();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as StringFromCLSID
// writes a GUID.
std::wstring FakeGuidText(const GUID& guid);
