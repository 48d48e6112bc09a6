#include "run/redirection_trust.h"

#include "platform/platform.h"

namespace {

// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and its record,
// which older SDK headers lack.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(int policy, PVOID buffer, SIZE_T length);
using AnyFunction = void (*)();

}  // namespace

void RefuseUntrustedJunctions() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return;
    // Windows 7 has no SetProcessMitigationPolicy at all.
    const auto found = reinterpret_cast<AnyFunction>(GetProcAddress(kernel, "SetProcessMitigationPolicy"));
    if (found == nullptr) return;
    const auto setPolicy = reinterpret_cast<SetProcessMitigationPolicyFunction>(found);
    DWORD policy = kEnforceRedirectionTrust;
    setPolicy(kProcessRedirectionTrustPolicy, &policy, sizeof policy);
}
