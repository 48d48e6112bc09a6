// Texts the installer writes into a caller's buffer.
#pragma once

#include <string>
#include <vector>

#include "platform/buffer_text.h"
#include "platform/platform.h"

// Calls read(buffer, &size) and, when the buffer was too small, again with the
// size the installer asks for; the installer's result (ERROR_SUCCESS: text
// holds the text).
template <typename Read>
UINT ReadInstallerText(Read read, std::wstring& text) {
    std::vector<wchar_t> buffer(256);
    auto size = static_cast<DWORD>(buffer.size());
    UINT result = read(buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
        buffer.resize(size + 1);  // the size does not count the terminator
        size = static_cast<DWORD>(buffer.size());
        result = read(buffer.data(), &size);
    }
    if (result == ERROR_SUCCESS) text = TextInBuffer(buffer.data(), buffer.size());
    return result;
}

// A property of an installed product as text, "" when it cannot be read.
inline std::wstring ProductProperty(const wchar_t* productCode, const wchar_t* property) {
    std::wstring value;
    ReadInstallerText(
        [&](wchar_t* buffer, DWORD* size) { return MsiGetProductInfoW(productCode, property, buffer, size); },
        value);
    return value;
}
