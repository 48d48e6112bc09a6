// The fuzzer's bytes, read as the platform's answers to the program's calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FuzzInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
};

FuzzInput& TheFuzzInput();

std::uint8_t FuzzByte();             // 0 once the input is used up
bool FuzzChance(std::uint8_t outOf);  // true about once in outOf calls
bool FuzzExhausted();
// An error code, mostly among those the program treats specially.
std::uint32_t FuzzCode();
// A text: empty, short, long, with characters above 255 or with control
// characters, as a platform might return.
std::wstring FuzzText();
