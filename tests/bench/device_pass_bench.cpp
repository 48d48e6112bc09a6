// The device pass over many device nodes, planted in the fake platform with
// its record of calls switched off: time per node, and the peak memory of the
// process and what the pass adds to it. The report goes to a stream that
// discards it, as to a slow console it would only add a constant per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <iostream>
#include <streambuf>

#include "devices/device_nodes.h"
#include "devices/driver_packages.h"
#include "fake/fake_setupapi.h"

namespace {

constexpr const wchar_t* kHardwareId = L"USB\\VID_7F3A&PID_0031";
constexpr const wchar_t* kHardwareIds[] = {kHardwareId, nullptr};

struct Discard : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Nodes installed from infNames distinct INF names, each with an instance
// id and a version, and other makers' USB nodes, which the pass reads past.
void PlantNodes(std::uint32_t nodes, std::uint32_t infNames, std::uint32_t others) {
    ResetFakePlatform();
    FakeCalls().recording = false;
    FakeDeviceSetScript& other = TheFakeSetupApi().hardwareIds[L"USB\\VID_04A9&PID_0031"];
    other.nodes.resize(others);
    for (std::uint32_t i = 0; i < others; ++i)
        other.nodes[i].instanceId.value = L"USB\\VID_04A9&PID_0031\\OT" + std::to_wstring(i);
    FakeDeviceSetScript& script = TheFakeSetupApi().hardwareIds[kHardwareId];
    script.nodes.resize(nodes);
    for (std::uint32_t i = 0; i < nodes; ++i) {
        FakeDeviceNode& node = script.nodes[i];
        node.classGuid = GUID{0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}};
        node.devInst = i;
        wchar_t serial[16];
        std::swprintf(serial, 16, L"SN%08u", static_cast<unsigned>(i));
        node.instanceId.value = std::wstring(kHardwareId) + L"\\" + serial;
        node.infPath.value = L"oem" + std::to_wstring(i % infNames) + L".inf";
        node.version.value = L"10.0.19041.1";
    }
}

// The nodes back, for the next run of the pass.
void Replant() {
    for (FakeDeviceNode& node : TheFakeSetupApi().hardwareIds[kHardwareId].nodes) node.removed = false;
    TheFakeSetupApi().uninstalledInfs.clear();
}

void DevicePass(benchmark::State& state) {
    Discard discard;
    std::streambuf* console = std::cout.rdbuf(&discard);
    const auto nodes = static_cast<std::uint32_t>(state.range(0));
    const auto others = static_cast<std::uint32_t>(state.range(1));
    PlantNodes(nodes, 10000, others);
    const long plantedPeak = PeakResidentKiB();
    for (auto _ : state) {
        InfNameSet infNames;
        RemoveScannerDevices(kHardwareIds, infNames);
        RemoveDriverPackages(infNames);
        benchmark::DoNotOptimize(infNames.size());
        state.PauseTiming();
        Replant();
        state.ResumeTiming();
    }
    std::cout.rdbuf(console);
    state.SetComplexityN(state.range(0) + state.range(1));
    // Per USB node: the scanner's and the others'.
    state.counters["ns_per_node"] = benchmark::Counter(
        static_cast<double>(nodes + others), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
    state.counters["peak_rss_KiB"] = static_cast<double>(PeakResidentKiB());
    state.counters["pass_added_KiB"] = static_cast<double>(PeakResidentKiB() - plantedPeak);
}

}  // namespace

// Scanner nodes; then 10 000 of them among other makers' USB nodes, which
// the pass reads past.
BENCHMARK(DevicePass)->Args({10000, 0})->Args({100000, 0})->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(DevicePass)
    ->Name("DevicePassAmongOtherMakersNodes")
    ->Args({10000, 90000})
    ->Args({10000, 190000})
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
