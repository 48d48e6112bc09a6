// Fake advapi32 security: a file's owner and DACL, the process's user, SIDs
// as text. A SID here is its text, "S-1-5-18", where the program only passes
// SIDs on.
#include <cstring>
#include <cwchar>
#include <vector>

#include "fake/fake_kernel.h"

namespace {

template <typename T>
void Append(std::vector<BYTE>& bytes, const T& value) {
    bytes.insert(bytes.end(), reinterpret_cast<const BYTE*>(&value), reinterpret_cast<const BYTE*>(&value) + sizeof value);
}

void AppendSid(std::vector<BYTE>& bytes, const std::wstring& sid) {
    for (const wchar_t c : sid) Append(bytes, c);
    Append(bytes, L'\0');
}

// The name a handle was opened by, after recording the call made on it;
// null, the last error set, for no such handle or a failure injected.
const std::wstring* Named(HANDLE handle, const std::wstring& call) {
    const std::wstring* const name = FakeOpenName(handle);
    FakeRecordCall(call + L"(" + FakeQuoted(name ? name->c_str() : nullptr) + L")");
    const DWORD failure = name == nullptr ? 6 : FakeFailure();  // ERROR_INVALID_HANDLE
    if (failure != 0) FakeSetLastError(failure);
    return failure == 0 ? name : nullptr;
}

}  // namespace

// One block: the owner's SID, then the DACL and its entries.
DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner, PSID*, PACL* dacl, PACL*,
                      PSECURITY_DESCRIPTOR* descriptor) {
    const std::wstring* const name = Named(handle, L"GetSecurityInfo");
    if (name == nullptr) return GetLastError();
    const auto found = TheFakeKernel().security.find(*name);
    const FakeSecurity security = found == TheFakeKernel().security.end() ? FakeSecurity{} : found->second;
    const auto block = std::make_shared<std::vector<BYTE>>();
    AppendSid(*block, security.owner);
    const std::size_t aclAt = block->size();
    Append(*block, ACL{2, 0, 0, static_cast<WORD>(security.dacl.size()), 0});
    for (const FakeAce& entry : security.dacl) {
        Append(*block, ACE_HEADER{entry.type, entry.flags, static_cast<WORD>(8 + (entry.sid.size() + 1) * sizeof(wchar_t))});
        Append(*block, entry.mask);
        AppendSid(*block, entry.sid);
    }
    *owner = block->data();
    *dacl = security.hasDacl ? reinterpret_cast<PACL>(block->data() + aclAt) : nullptr;
    *descriptor = block->data();
    FakeLocalKeep(block->data(), block);
    return ERROR_SUCCESS;
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
    if (const DWORD failure = FakeFaultPoint(L"GetAce"); failure != 0 || index >= acl->AceCount) {
        FakeSetLastError(failure != 0 ? failure : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE* entry = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
    for (DWORD i = 0; i < index; ++i) entry += reinterpret_cast<ACE_HEADER*>(entry)->AceSize;
    *ace = entry;
    return TRUE;
}

BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* text) {
    if (const DWORD failure = FakeFaultPoint(L"ConvertSidToStringSidW")) {
        FakeSetLastError(failure);
        return FALSE;
    }
    const auto owned = std::make_shared<std::wstring>(static_cast<const wchar_t*>(sid));
    *text = owned->data();
    FakeLocalKeep(owned->data(), owned);
    return TRUE;
}

BOOL OpenProcessToken(HANDLE, DWORD, PHANDLE token) {
    FakeRecordCall(L"OpenProcessToken()");
    if (const DWORD failure = FakeFailure()) {
        FakeSetLastError(failure);
        return FALSE;
    }
    *token = FakeOpenOther(L"token", "token");
    return TRUE;
}

// The user's SID right after the TOKEN_USER that points to it.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS, LPVOID information, DWORD length, PDWORD returned) {
    if (Named(token, L"GetTokenInformation") == nullptr) return FALSE;
    std::vector<BYTE> sid;
    AppendSid(sid, TheFakeKernel().processUser);
    *returned = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
    if (length < *returned) {
        FakeSetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    BYTE* const sidAt = static_cast<BYTE*>(information) + sizeof(TOKEN_USER);
    std::memcpy(sidAt, sid.data(), sid.size());
    *static_cast<TOKEN_USER*>(information) = TOKEN_USER{{sidAt, 0}};
    return TRUE;
}

DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD) {
    const std::wstring* const name = Named(file, L"GetFinalPathNameByHandleW");
    if (name == nullptr) return 0;
    const bool bare = name->find(L'\\') == std::wstring::npos;  // in the working directory
    const std::wstring given = bare ? TheFakeKernel().currentDirectory : *name;
    const auto elsewhere = TheFakeKernel().finalPaths.find(given);
    std::wstring final = elsewhere == TheFakeKernel().finalPaths.end() ? given : elsewhere->second;
    if (bare) final += (final.ends_with(L'\\') ? L"" : L"\\") + *name;
    final = final.starts_with(L"\\\\") ? L"\\\\?\\UNC" + final.substr(1) : L"\\\\?\\" + final;
    const FakeTextAnswer answer = FakeWriteText(path, size, final);
    return answer.fits ? answer.length : answer.length + 1;  // too small: the size needed
}
