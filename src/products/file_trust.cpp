#include "products/file_trust.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/local_memory.h"
#include "platform/new_file.h"

namespace {

constexpr const wchar_t* kLocalSystem = L"S-1-5-18";
constexpr const wchar_t* kAdministrators = L"S-1-5-32-544";
constexpr const wchar_t* kTrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// What lets an account change the file, replace it or give itself that right.
constexpr ACCESS_MASK kChangeRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return {};
    const LocalMemory owned(text);
    return text;
}

// The account this program runs as; "" when it cannot be read.
std::wstring ProcessUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const OwnedFile owned(token);  // closed with CloseHandle, as a file is
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

bool Trusted(const std::wstring& sid, const std::wstring& processUser) {
    return !sid.empty() &&
           (sid == kLocalSystem || sid == kAdministrators || sid == kTrustedInstaller || sid == processUser);
}

bool IsAllowEntry(BYTE type) {
    return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
           type == ACCESS_ALLOWED_COMPOUND_ACE_TYPE || type == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
           type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
}

// Whether the entry lets an account outside the trusted ones change the object.
bool LetsOthersChange(const ACE_HEADER* header, const std::wstring& processUser) {
    // An inherit-only entry is for what is made inside, not for the object.
    if (!IsAllowEntry(header->AceType) || (header->AceFlags & INHERIT_ONLY_ACE) != 0) return false;
    if (header->AceSize < sizeof(ACCESS_ALLOWED_ACE)) return true;  // malformed: nothing proves it harmless
    const auto* entry = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    if ((entry->Mask & kChangeRights) == 0) return false;
    // The other allow entries hold more before their SID; none is expected on
    // a file, so one that grants a change counts as one for anyone.
    const bool sidAtStart = header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    return !sidAtStart || !Trusted(SidText(const_cast<DWORD*>(&entry->SidStart)), processUser);
}

}  // namespace

bool OnlyAdministratorsCanChange(HANDLE object) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const LocalMemory owned(descriptor);
    const std::wstring processUser = ProcessUser();
    // No DACL (FAT, exFAT, some shares): anyone may change it.
    if (owner == nullptr || dacl == nullptr || !Trusted(SidText(owner), processUser)) return false;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        LPVOID entry = nullptr;
        if (!GetAce(dacl, index, &entry) || LetsOthersChange(static_cast<const ACE_HEADER*>(entry), processUser))
            return false;
    }
    return true;
}
