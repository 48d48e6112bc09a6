#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "fake/fake_registry.h"
#include "leftovers/registry_mark.h"
#include "unit/report_fixture.h"

namespace {

const wchar_t* const kKey = L"Software\\NerovanDrv";
const std::wstring kOpen = L"RegOpenKeyExW(HKLM, \"Software\\NerovanDrv\", 0, 0x2021b)";
const std::wstring kDelete =
    L"RegDeleteKeyValueW(HKLM\\Software\\NerovanDrv (32), null, \"DriverName\")";
const std::wstring kClose = L"RegCloseKey(HKLM\\Software\\NerovanDrv (32))";

const std::string kChecked = Lines({"", "Check registry entries"});
const std::string kFound = kChecked + Lines({"Registry mark found"});

using Values = std::map<std::wstring, std::wstring>;

struct MarkCase {
    const char* name;
    std::function<void(FakeRegistry&)> machine;
    std::string report;
    bool opened;
    // The 32-bit key's values afterwards; nullopt: there is no such key.
    std::optional<Values> valuesAfter;
};

class RegistryMarkTest : public ReportFixture {};

TEST_F(RegistryMarkTest, DeletesOnlyTheValueInThe32BitViewAndClosesTheKeyOnce) {
    const MarkCase cases[] = {
        {"no key", [](FakeRegistry&) {}, kChecked, false, std::nullopt},
        {"value only in the 64-bit view",
         [](FakeRegistry& r) { r.view64[kKey].values[L"DriverName"] = L"x64"; }, kChecked, false,
         std::nullopt},
        {"key that may not be opened",
         [](FakeRegistry& r) {
             r.view32[kKey].values[L"DriverName"] = L"nrv";
             r.openError = 5;
         },
         kChecked, false, Values{{L"DriverName", L"nrv"}}},
        {"key without the value",
         [](FakeRegistry& r) { r.view32[kKey].values[L"InstallDir"] = L"C:\\nrv"; }, kFound, true,
         Values{{L"InstallDir", L"C:\\nrv"}}},
        {"value beside another",
         [](FakeRegistry& r) {
             r.view32[kKey].values = {{L"DriverName", L"nrv"}, {L"InstallDir", L"C:\\nrv"}};
         },
         kFound + Lines({"Driver mark has removes successfully"}), true,
         Values{{L"InstallDir", L"C:\\nrv"}}},
        {"delete denied",
         [](FakeRegistry& r) {
             r.view32[kKey].values[L"DriverName"] = L"nrv";
             r.deleteStatus = 5;
         },
         kFound + Lines({"Can't delete driver mark value. Error: 5"}), true,
         Values{{L"DriverName", L"nrv"}}},
        {"delete failing with a negative status",
         [](FakeRegistry& r) {
             r.view32[kKey].values[L"DriverName"] = L"nrv";
             r.deleteStatus = -1073741790;
         },
         kFound + Lines({"Can't delete driver mark value. Error: -1073741790"}), true,
         Values{{L"DriverName", L"nrv"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.machine(TheFakeRegistry());
        const auto view64Before = TheFakeRegistry().view64;
        OpenLog();

        RemoveRegistryMark();

        EXPECT_EQ(Console(), c.report);
        EXPECT_EQ(RunLogText(), c.report);
        EXPECT_EQ(FakeCallsStartingWith(L"RegOpenKeyExW"), std::vector<std::wstring>{kOpen});
        EXPECT_EQ(FakeCallsStartingWith(L"RegDeleteKeyValueW"),
                  c.opened ? std::vector<std::wstring>{kDelete} : std::vector<std::wstring>{});
        EXPECT_EQ(FakeCallsStartingWith(L"RegCloseKey"),
                  c.opened ? std::vector<std::wstring>{kClose} : std::vector<std::wstring>{});
        const auto key = TheFakeRegistry().view32.find(kKey);
        if (c.valuesAfter) {
            ASSERT_NE(key, TheFakeRegistry().view32.end());
            EXPECT_EQ(key->second.values, *c.valuesAfter);
        } else {
            EXPECT_EQ(key, TheFakeRegistry().view32.end());
        }
        EXPECT_EQ(TheFakeRegistry().view64.size(), view64Before.size());
        for (const auto& [path, before] : view64Before)
            EXPECT_EQ(TheFakeRegistry().view64[path].values, before.values);
    }
}

}  // namespace
