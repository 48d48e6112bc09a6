#pragma once

#include <cstdint>

struct BenchDevices {
    std::uint32_t nodes = 0;
    std::uint32_t infNames = 1;
};

void SetBenchDevices(BenchDevices devices);
