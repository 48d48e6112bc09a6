#include "fuzz/fuzz_input.h"

FuzzInput& TheFuzzInput() {
    static FuzzInput input;
    return input;
}

std::uint8_t FuzzByte() {
    FuzzInput& in = TheFuzzInput();
    if (in.position >= in.size) return 0;
    return in.data[in.position++];
}

bool FuzzExhausted() { return TheFuzzInput().position >= TheFuzzInput().size; }

bool FuzzChance(std::uint8_t outOf) { return outOf != 0 && FuzzByte() % outOf == 0; }

std::uint32_t FuzzCode() {
    static const std::uint32_t interesting[] = {0,    259,  2,    5,    13,          87,
                                                234,  1168, 1603, 1605, 1618,        1627,
                                                1641, 3010, 3011, 0x80070005u, 0xFFFFFFFFu};
    const std::uint8_t pick = FuzzByte();
    if (pick < 240) return interesting[pick % (sizeof(interesting) / sizeof(interesting[0]))];
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) code = (code << 8) | FuzzByte();
    return code;
}

std::wstring FuzzText() {
    const std::uint8_t kind = FuzzByte();
    switch (kind % 8) {
    case 0: return L"";
    case 1: return L"oem" + std::to_wstring(FuzzByte()) + L".inf";
    case 2: return L"{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}";
    case 3: return L"VersionNT = 602";
    case 4: return std::wstring(static_cast<std::size_t>(FuzzByte()) * 8u + 1u, L'x');
    default: break;
    }
    std::wstring text;
    const std::uint8_t length = FuzzByte() % 40;
    for (std::uint8_t i = 0; i < length; ++i) {
        const std::uint8_t c = FuzzByte();
        if (c < 0x10) text.push_back(static_cast<wchar_t>(0x100 + c * 0x333));  // above 255
        else text.push_back(static_cast<wchar_t>(c));  // any byte, controls included
    }
    return text;
}
