#pragma once
// Power and battery state from /sys/class/power_supply, in the terms the gauge and the
// system information use: AC line status, battery flag and life percentage (255 unknown).
// A fake source can stand in for the real one where there is no battery (tests).

#include <QString>

namespace velmar::platform {

struct PowerStatus {
    int acLineStatus = 255;       // 0 offline, 1 online, 255 unknown
    int batteryFlag = 255;        // 1 high, 2 low, 4 critical, 8 charging, 128 no battery
    int batteryLifePercent = 255; // 0..100, 255 unknown
    QString batteryStatus;        // the kernel's text: "Charging", "Discharging", "Full" ...
    QString technology;           // "Li-ion" ...
    long long voltageMicrovolts = -1;
    // Negative while discharging; worked out from power and voltage where the battery
    // reports no current.
    long long currentMicroamps = -1;
    // A battery counts its charge (µAh) or its energy (µWh, most laptops); -1 unknown.
    long long chargeMicroampHours = -1;
    long long chargeFullMicroampHours = -1;
    long long energyMicrowattHours = -1;
    long long energyFullMicrowattHours = -1;
    int temperatureDeciCelsius = -1000; // -1000: unknown
    long long currentAverageMicroamps = -1;
    long long lifeTimeSeconds = -1;     // time to empty; -1 unknown
    long long fullLifeTimeSeconds = -1; // what a full battery lasts at the present draw
};

class PowerSource {
public:
    virtual ~PowerSource() = default;
    // False when the state cannot be read at all.
    virtual bool Read(PowerStatus& status) = 0;
};

// Reads a power_supply class folder: "Mains"/"USB" supplies give the AC status, the first
// system battery (not a device's, such as a mouse's) the rest.
class SysfsPowerSource : public PowerSource {
public:
    explicit SysfsPowerSource(QString root = QStringLiteral("/sys/class/power_supply"));
    bool Read(PowerStatus& status) override;

private:
    QString root_;
};

// The state through the source in force.
bool GetPowerStatus(PowerStatus& status);

// Tests put their own source in place; nullptr returns to the system's.
void SetPowerSourceForTesting(PowerSource* source);

} // namespace velmar::platform
