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

// Whether text begins with prefix in any ASCII letter case; length is how
// far the two agreed (the prefix's length when it does).
inline bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix, std::size_t& length) {
    length = 0;
    for (; prefix[length] != L'\0'; ++length)
        if (length >= text.size() || LowerAscii(text[length]) != LowerAscii(prefix[length])) return false;
    return true;
}
