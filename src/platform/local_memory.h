// Memory the system allocated for the program, given back with LocalFree
// (security descriptors, SID texts).
#pragma once

#include <memory>

#include "platform/platform.h"

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;
