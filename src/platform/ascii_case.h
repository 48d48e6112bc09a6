// Letter case of ASCII letters only, as Windows compares file names, option
// names and hardware ids here: no locale, no other alphabet.
#pragma once

#include <string>

inline wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) c = LowerAscii(c);
    return text;
}
