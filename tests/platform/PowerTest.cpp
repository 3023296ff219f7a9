// The power layer over a power_supply folder made of real files.
#include "platform/Power.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

TEST(Power, LaptopOnBatteryGivesPercentFlagAndDetails) {
    test::TempDir d;
    Supply(d, "AC", {{"type", "Mains"}, {"online", "0"}});
    Supply(d, "BAT0",
           {{"type", "Battery"},
            {"status", "Discharging"},
            {"capacity", "50"},
            {"voltage_now", "11800000"},
            {"technology", "Li-ion"}});
    PowerStatus s;
    ASSERT_TRUE(SysfsPowerSource(d.path()).Read(s));
    EXPECT_EQ(s.acLineStatus, 0);
    EXPECT_EQ(s.batteryLifePercent, 50);
    EXPECT_EQ(s.batteryFlag, 1);
    EXPECT_EQ(s.voltageMicrovolts, 11800000);
    EXPECT_EQ(s.technology, QStringLiteral("Li-ion"));
    EXPECT_EQ(s.batteryStatus, QStringLiteral("Discharging"));
}

TEST(Power, ChargeFromCountersWhenNoCapacityAndDeviceBatteriesIgnored) {
    test::TempDir d;
    // A wireless mouse's battery sorts first but is not the system's.
    Supply(d, "hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "90"}});
    Supply(d, "BAT1",
           {{"type", "Battery"},
            {"status", "Charging"},
            {"charge_now", "1000"},
            {"charge_full", "4000"}});
    PowerStatus s;
    ASSERT_TRUE(SysfsPowerSource(d.path()).Read(s));
    EXPECT_EQ(s.batteryLifePercent, 25);
    EXPECT_EQ(s.batteryFlag, 8);
    EXPECT_EQ(s.acLineStatus, 1); // charging means the line is there
}

TEST(Power, NoBatteryAndNoFolder) {
    test::TempDir d;
    Supply(d, "ADP1", {{"type", "Mains"}, {"online", "1"}});
    PowerStatus s;
    ASSERT_TRUE(SysfsPowerSource(d.path()).Read(s));
    EXPECT_EQ(s.batteryFlag, 128);
    EXPECT_EQ(s.batteryLifePercent, 255);
    EXPECT_EQ(s.acLineStatus, 1);

    EXPECT_FALSE(SysfsPowerSource(d.file("missing")).Read(s));
}

TEST(Power, LowAndCriticalAndOutOfRangeCapacity) {
    test::TempDir d;
    Supply(d, "BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "20"}});
    PowerStatus s;
    SysfsPowerSource src(d.path());
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.batteryFlag, 2);
    d.write("BAT0/capacity", "3\n");
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.batteryFlag, 4);
    d.write("BAT0/capacity", "140\n");
    ASSERT_TRUE(src.Read(s));
    EXPECT_EQ(s.batteryLifePercent, 100);
}
