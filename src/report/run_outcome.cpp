#include "report/run_outcome.h"

#include <set>

#include "platform/ascii_case.h"

namespace {

bool restartNeeded = false;
bool installerBusy = false;
std::set<std::wstring> nodesLeftForRestart;     // instance ids, lower case
std::set<std::wstring> namesOfNodesLeftForRestart;  // INF names, lower case
std::set<std::wstring> packagesLeftForRestart;  // INF names, lower case

}  // namespace

void NoteRestartNeeded() { restartNeeded = true; }
bool RestartIsNeeded() { return restartNeeded; }
void NoteInstallerBusy() { installerBusy = true; }
bool InstallerWasBusy() { return installerBusy; }

void NoteNodeLeftForRestart(const std::wstring& instanceId, const std::wstring& infName) {
    nodesLeftForRestart.insert(LowerAscii(instanceId));
    if (!infName.empty()) namesOfNodesLeftForRestart.insert(LowerAscii(infName));
}

bool NodeLeftForRestart(const std::wstring& instanceId) {
    return !instanceId.empty() && nodesLeftForRestart.count(LowerAscii(instanceId)) != 0;
}

bool NamedByNodeLeftForRestart(const std::wstring& infName) {
    return namesOfNodesLeftForRestart.count(LowerAscii(infName)) != 0;
}

void NotePackageLeftForRestart(const std::wstring& infName) { packagesLeftForRestart.insert(LowerAscii(infName)); }

bool PackageLeftForRestart(const std::wstring& infName) {
    return packagesLeftForRestart.count(LowerAscii(infName)) != 0;
}

void ResetRunOutcome() {
    restartNeeded = false;
    installerBusy = false;
    nodesLeftForRestart.clear();
    namesOfNodesLeftForRestart.clear();
    packagesLeftForRestart.clear();
}
