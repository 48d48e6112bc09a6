#include "devices/oem_inf_name.h"

#include "platform/ascii_case.h"

bool IsOemInfName(const std::wstring& name) {
    // "oem", at least one digit, ".inf", in any letter case.
    if (name.size() < 8) return false;
    const std::size_t digitsEnd = name.size() - 4;
    for (std::size_t i = 0; i < 3; ++i)
        if (LowerAscii(name[i]) != L"oem"[i]) return false;
    for (std::size_t i = 3; i < digitsEnd; ++i)
        if (name[i] < L'0' || name[i] > L'9') return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (LowerAscii(name[digitsEnd + i]) != L".inf"[i]) return false;
    return true;
}
