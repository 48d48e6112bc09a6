#include "run/redirection_trust.h"

#include "platform/kernel32_function.h"
#include "platform/platform.h"

namespace {

// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and its record,
// which older SDK headers lack.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(int policy, PVOID buffer, SIZE_T length);

}  // namespace

void RefuseUntrustedJunctions() {
    // Windows 7 has no SetProcessMitigationPolicy at all.
    const auto setPolicy = FindKernel32Function<SetProcessMitigationPolicyFunction>("SetProcessMitigationPolicy");
    if (setPolicy == nullptr) return;
    DWORD policy = kEnforceRedirectionTrust;
    setPolicy(kProcessRedirectionTrustPolicy, &policy, sizeof policy);
}
