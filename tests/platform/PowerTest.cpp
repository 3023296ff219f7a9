// The power layer over a power_supply folder made of real files.
#include "platform/Power.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <tuple>

using namespace velmar;
using platform::PowerStatus;
using platform::SysfsPowerSource;

namespace {
void Supply(const test::TempDir& d, const QString& name,
            std::initializer_list<std::pair<const char*, const char*>> files) {
    for (const auto& [file, text] : files)
        d.write(name + QLatin1Char('/') + QLatin1String(file), QByteArray(text) + "\n");
}
} // namespace

// One folder through the states a machine goes through.
TEST(Power, StatusFollowsTheSupplyFiles) {
    test::TempDir d;
    PowerStatus s;
    EXPECT_FALSE(SysfsPowerSource(d.file("missing")).Read(s));
    SysfsPowerSource src(d.path());
    // Mains only; a wireless mouse's battery is not the system's.
    Supply(d, "AC", {{"type", "Mains"}, {"online", "1"}});
    Supply(d, "hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "90"}});
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.batteryFlag, 128);
    EXPECT_EQ(s.batteryLifePercent, 255);
    EXPECT_EQ(s.acLineStatus, 1);

    d.write("AC/online", "0\n");
    Supply(d, "BAT0",
           {{"type", "Battery"},
            {"status", "Discharging"},
            {"capacity", "50"},
            {"voltage_now", "11800000"},
            {"technology", "Li-ion"}});
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.acLineStatus, 0);
    EXPECT_EQ(s.batteryLifePercent, 50);
    EXPECT_EQ(s.batteryFlag, 1);
    EXPECT_EQ(s.voltageMicrovolts, 11800000);
    EXPECT_EQ(s.technology, "Li-ion");
    EXPECT_EQ(s.batteryStatus, "Discharging");
    // Low, critical, and a capacity out of range.
    for (auto [capacity, percent, flag] : {std::tuple{"20", 20, 2}, {"3", 3, 4}, {"140", 100, 1}}) {
        d.write("BAT0/capacity", QByteArray(capacity) + "\n");
        ASSERT_TRUE(src.Read(s));
        EXPECT_EQ(s.batteryLifePercent, percent) << capacity;
        EXPECT_EQ(s.batteryFlag, flag) << capacity;
    }
    // Without a capacity the charge counters count; without a mains supply, charging means
    // the line is there.
    QFile::remove(d.file("BAT0/capacity"));
    QDir(d.file("AC")).removeRecursively();
    Supply(d, "BAT0", {{"status", "Charging"}, {"charge_now", "1000"}, {"charge_full", "4000"}});
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.batteryLifePercent, 25);
    EXPECT_EQ(s.batteryFlag, 8);
    EXPECT_EQ(s.acLineStatus, 1);
}
