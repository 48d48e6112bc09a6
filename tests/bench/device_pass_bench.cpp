// The device pass over many device nodes: time per node and peak memory.
// The report goes to a stream that discards it, as to a slow console it
// would only add a constant per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <iostream>
#include <streambuf>

#include "bench/bench_platform.h"
#include "devices/device_nodes.h"
#include "devices/driver_packages.h"

namespace {

struct Discard : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void DevicePass(benchmark::State& state) {
    Discard discard;
    std::streambuf* console = std::cout.rdbuf(&discard);
    const auto nodes = static_cast<std::uint32_t>(state.range(0));
    SetBenchDevices({nodes, 10000});
    for (auto _ : state) {
        InfNameSet infNames;
        RemoveDevicesByHardwareId(L"USB\\VID_7F3A&PID_0031", infNames);
        RemoveDriverPackages(infNames);
        benchmark::DoNotOptimize(infNames.size());
    }
    std::cout.rdbuf(console);
    state.SetComplexityN(state.range(0));
    state.counters["ns_per_node"] = benchmark::Counter(
        static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakResidentKiB());
}

}  // namespace

BENCHMARK(DevicePass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

BENCHMARK_MAIN();
