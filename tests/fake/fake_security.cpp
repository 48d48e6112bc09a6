// Fake advapi32 security: who owns a file and its DACL, as GetSecurityInfo
// lays them out, SIDs as text, the process token's user, and the generator
// of random bytes.
#include <cstring>
#include <cwchar>
#include <vector>

#include "fake/fake_kernel.h"

namespace {

// A SID's bytes from its text "S-1-<authority>-<sub>-...": revision, count of
// sub-authorities, the authority in six bytes (big-endian), then each
// sub-authority in four.
std::vector<BYTE> SidBytes(const std::wstring& text) {
    std::vector<unsigned long long> parts;
    for (std::size_t at = 2; at <= text.size();) {
        const std::size_t dash = std::min(text.find(L'-', at), text.size());
        parts.push_back(std::wcstoull(text.substr(at, dash - at).c_str(), nullptr, 10));
        at = dash + 1;
    }
    std::vector<BYTE> bytes{static_cast<BYTE>(parts[0]), static_cast<BYTE>(parts.size() - 2)};
    for (int shift = 40; shift >= 0; shift -= 8) bytes.push_back(static_cast<BYTE>(parts[1] >> shift));
    for (std::size_t i = 2; i < parts.size(); ++i) {
        const auto sub = static_cast<DWORD>(parts[i]);
        bytes.insert(bytes.end(), reinterpret_cast<const BYTE*>(&sub), reinterpret_cast<const BYTE*>(&sub) + 4);
    }
    return bytes;
}

std::wstring SidText(const BYTE* sid) {
    unsigned long long authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
    std::wstring text = L"S-" + std::to_wstring(sid[0]) + L"-" + std::to_wstring(authority);
    for (BYTE i = 0; i < sid[1]; ++i) {
        DWORD sub = 0;
        std::memcpy(&sub, sid + 8 + 4 * i, 4);
        text += L"-" + std::to_wstring(sub);
    }
    return text;
}

template <typename T>
void Append(std::vector<BYTE>& bytes, const T& value) {
    bytes.insert(bytes.end(), reinterpret_cast<const BYTE*>(&value), reinterpret_cast<const BYTE*>(&value) + sizeof value);
}

}  // namespace

// The descriptor is one block: the owner's SID, then the DACL and its entries.
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE objectType, SECURITY_INFORMATION securityInfo, PSID* owner,
                      PSID*, PACL* dacl, PACL*, PSECURITY_DESCRIPTOR* descriptor) {
    const std::wstring* const name = FakeOpenName(handle);
    FakeRecordCall(L"GetSecurityInfo(" + FakeQuoted(name ? name->c_str() : nullptr) + L", " +
                   std::to_wstring(objectType) + L", " + std::to_wstring(securityInfo) + L")");
    if (name == nullptr) return 6;  // ERROR_INVALID_HANDLE
    const auto found = TheFakeKernel().security.find(*name);
    const FakeSecurity security = found == TheFakeKernel().security.end() ? FakeSecurity{} : found->second;
    auto block = std::make_shared<std::vector<BYTE>>(SidBytes(security.owner));
    const std::size_t aclAt = block->size();
    Append(*block, ACL{2, 0, 0, static_cast<WORD>(security.dacl.size()), 0});
    for (const FakeAce& entry : security.dacl) {
        const std::vector<BYTE> sid = SidBytes(entry.sid);
        Append(*block, ACE_HEADER{entry.type, entry.flags, static_cast<WORD>(8 + sid.size())});
        Append(*block, entry.mask);
        block->insert(block->end(), sid.begin(), sid.end());
    }
    reinterpret_cast<ACL*>(block->data() + aclAt)->AclSize = static_cast<WORD>(block->size() - aclAt);
    *owner = block->data();
    *dacl = security.hasDacl ? reinterpret_cast<PACL>(block->data() + aclAt) : nullptr;
    *descriptor = block->data();
    FakeLocalKeep(block->data(), block);
    return ERROR_SUCCESS;
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
    if (index >= acl->AceCount) {
        FakeSetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE* entry = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
    for (DWORD i = 0; i < index; ++i) entry += reinterpret_cast<ACE_HEADER*>(entry)->AceSize;
    *ace = entry;
    return TRUE;
}

BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* text) {
    const auto owned = std::make_shared<std::wstring>(SidText(static_cast<const BYTE*>(sid)));
    *text = owned->data();
    FakeLocalKeep(owned->data(), owned);
    return TRUE;
}

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
    FakeRecordCall(L"OpenProcessToken(" + std::wstring(process == GetCurrentProcess() ? L"current" : L"other") +
                   L", " + std::to_wstring(desiredAccess) + L")");
    *token = FakeOpenOther(L"token", "token");
    return TRUE;
}

// The user's SID right after the TOKEN_USER that points to it.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS informationClass, LPVOID information, DWORD length,
                         PDWORD returnLength) {
    FakeRecordCall(L"GetTokenInformation(" + std::to_wstring(informationClass) + L", " + std::to_wstring(length) + L")");
    const std::wstring* const name = FakeOpenName(token);
    if (name == nullptr || *name != L"token" || informationClass != TokenUser) {
        FakeSetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<BYTE> sid = SidBytes(TheFakeKernel().processUser);
    *returnLength = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
    if (length < *returnLength) {
        FakeSetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    BYTE* const sidAt = static_cast<BYTE*>(information) + sizeof(TOKEN_USER);
    std::memcpy(sidAt, sid.data(), sid.size());
    *static_cast<TOKEN_USER*>(information) = TOKEN_USER{{sidAt, 0}};
    return TRUE;
}

BOOLEAN SystemFunction036(PVOID buffer, ULONG length) {
    FakeRecordCall(L"RtlGenRandom(" + std::to_wstring(length) + L")");
    for (ULONG i = 0; i < length; ++i) static_cast<BYTE*>(buffer)[i] = TheFakeKernel().nextRandomByte++;
    return TRUE;
}
