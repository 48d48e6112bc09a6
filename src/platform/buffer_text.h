// Text a platform call left in a caller's buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

// The text up to the first NUL, and never past the buffer's end, even if the
// platform filled the buffer without a terminator.
inline std::wstring TextInBuffer(const wchar_t* buffer, std::size_t capacity) {
    return std::wstring(buffer, std::find(buffer, buffer + capacity, L'\0'));
}

template <std::size_t N>
std::wstring TextInBuffer(const wchar_t (&buffer)[N]) {
    return TextInBuffer(buffer, N);
}
