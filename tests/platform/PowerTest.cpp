// The power layer over a power_supply folder made of real files.
#include "platform/Power.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace velmar;
using platform::PowerStatus;
using platform::SysfsPowerSource;

namespace {

using Files = std::initializer_list<std::pair<const char*, const char*>>;

struct PowerCase {
    const char* name;
    Files files; // "supply/file", its text
    int acLine, percent, flag;
};

// clang-format off
const PowerCase kPowerCases[] = {
    // A wireless mouse's battery is not the system's.
    {"mainsAndADeviceBattery", {{"AC/type", "Mains"}, {"AC/online", "1"}, {"hidpp/type", "Battery"},
      {"hidpp/scope", "Device"}, {"hidpp/capacity", "90"}}, 1, 255, 128},
    {"discharging", {{"AC/type", "Mains"}, {"AC/online", "0"}, {"BAT0/type", "Battery"},
      {"BAT0/status", "Discharging"}, {"BAT0/capacity", "50"}}, 0, 50, 1},
    {"low", {{"BAT0/type", "Battery"}, {"BAT0/capacity", "20"}}, 255, 20, 2},
    {"critical", {{"BAT0/type", "Battery"}, {"BAT0/capacity", "3"}}, 255, 3, 4},
    {"capacityOutOfRange", {{"BAT0/type", "Battery"}, {"BAT0/capacity", "140"}}, 255, 100, 1},
    // Without a capacity the charge counters count; without a mains supply, charging means
    // the line is there.
    {"chargingByCounters", {{"BAT0/type", "Battery"}, {"BAT0/status", "Charging"},
      {"BAT0/charge_now", "1000"}, {"BAT0/charge_full", "4000"}}, 1, 25, 8},
};
// clang-format on

} // namespace

TEST(Power, StatusFollowsTheSupplyFiles) {
    PowerStatus s;
    for (const PowerCase& c : kPowerCases) {
        test::TempDir d;
        for (const auto& [file, text] : c.files)
            d.write(QLatin1String(file), QByteArray(text) + "\n");
        ASSERT_TRUE(SysfsPowerSource(d.path()).Read(s)) << c.name;
        EXPECT_EQ(s.acLineStatus, c.acLine) << c.name;
        EXPECT_EQ(s.batteryLifePercent, c.percent) << c.name;
        EXPECT_EQ(s.batteryFlag, c.flag) << c.name;
    }
    // (Voltage, technology and status reach the system information tree: its tests.)
    test::TempDir d;
    EXPECT_FALSE(SysfsPowerSource(d.file("missing")).Read(s));
}
