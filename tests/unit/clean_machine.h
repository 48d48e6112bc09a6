// What each pass reports on a machine without any trace of the scanner
// (what the fake platform models unless a test scripts otherwise), from the
// tables the tests keep in tests/data/tables.txt.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "unit/report_fixture.h"

// The entries of one table of tests/data/tables.txt ("upgrade-code",
// "hardware-id"), in order.
inline std::vector<std::string> TestTable(const std::string& kind) {
    std::ifstream file(NRV_TEST_TABLES);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", NRV_TEST_TABLES);
        std::abort();
    }
    std::vector<std::string> entries;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with(kind + " ")) entries.push_back(line.substr(kind.size() + 1));
    }
    return entries;
}

// A blank line and HEAD followed by the entry, for each entry of a table.
inline std::string CheckLines(const std::string& kind, const std::string& head) {
    std::string lines;
    for (const std::string& entry : TestTable(kind)) lines += "\n" + head + entry + "\n";
    return lines;
}

inline const std::string kProductsOnCleanMachine = CheckLines("upgrade-code", "Check product upgrade code: ");
inline const std::string kRegistryOnCleanMachine = Lines({"", "Check registry entries"});
inline const std::string kDevicesOnCleanMachine = CheckLines("hardware-id", "Check device with HardwareId: ");
