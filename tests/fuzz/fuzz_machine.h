// The fuzzer's bytes, the machine they plant in the fake platform, the faults
// they inject call by call, and what a run may change of that machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fake/fake_kernel.h"
#include "fake/fake_msi.h"
#include "fake/fake_registry.h"
#include "fake/fake_setupapi.h"

void FuzzStart(const std::uint8_t* data, std::size_t size);  // the bytes to read from now on
std::uint8_t FuzzByte();              // 0 once the input is used up
bool FuzzChance(std::uint8_t outOf);  // true about once in outOf calls
bool FuzzExhausted();

// Resets the fake and plants a machine from the bytes (tests/README.md tells
// what); from then on each call takes a fault from them.
void PlantMachine();

// Whether a fault was injected since PlantMachine.
bool FuzzFaulted();
// Whether a fault made up a text or a size (not only a failure code).
bool FuzzTextFaulted();

// What a run could change.
struct Machine {
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, std::vector<std::wstring>> folders;
    std::vector<FakeMsiProduct> products;
    std::map<std::wstring, FakeMsiPackage> packages;
    std::map<std::wstring, FakeInf> infFiles;
    std::map<std::wstring, FakeDeviceSetScript> devices;
    std::map<std::wstring, FakeRegistryKey> view32;
    std::map<std::wstring, FakeRegistryKey> view64;
    bool operator==(const Machine&) const = default;
};

Machine TheMachine();
// What of the machine is another maker's: no run may change it.
Machine OthersOf(Machine machine);
// A product, the mark, a device node or a package listing only its ids left.
bool ScannerLeft(const Machine& machine);
