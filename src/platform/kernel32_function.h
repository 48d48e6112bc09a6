// A kernel32 function that not every Windows version has, looked up at run
// time so that the program still starts where it is missing.
#pragma once

#include "platform/platform.h"

// The function of that name, or null where kernel32 lacks it.
template <typename Function>
Function FindKernel32Function(const char* name) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    using AnyFunction = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(kernel, name)));
}
