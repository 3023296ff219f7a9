#include "platform/Power.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cstdlib>

namespace velmar::platform {

namespace {

std::atomic<PowerSource*> g_testSource{nullptr};

QString ReadText(const QString& folder, const char* name) {
    QFile f(folder + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.read(256)).trimmed();
}

long long ReadNumber(const QString& folder, const char* name, long long fallback) {
    bool ok = false;
    const long long n = ReadText(folder, name).toLongLong(&ok);
    return ok ? n : fallback;
}

int FlagFor(const QString& status, int percent) {
    if (status == QLatin1String("Charging")) return 8;
    if (percent == 255) return 255;
    if (percent < 5) return 4;
    if (percent < 33) return 2;
    return 1;
}

} // namespace

SysfsPowerSource::SysfsPowerSource(QString root) : root_(std::move(root)) {}

bool SysfsPowerSource::Read(PowerStatus& status) {
    status = PowerStatus{};
    QDir dir(root_);
    if (!dir.exists()) return false;
    bool sawMains = false;
    bool mainsOnline = false;
    bool batteryFound = false;
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString folder = root_ + QLatin1Char('/') + name;
        const QString type = ReadText(folder, "type");
        if (type == QLatin1String("Mains") || type == QLatin1String("USB")) {
            sawMains = true;
            if (ReadNumber(folder, "online", 0) != 0) mainsOnline = true;
            continue;
        }
        if (type != QLatin1String("Battery") || batteryFound) continue;
        if (ReadText(folder, "scope") == QLatin1String("Device")) continue;
        if (ReadNumber(folder, "present", 1) == 0) continue;
        batteryFound = true;
        long long capacity = ReadNumber(folder, "capacity", -1);
        // Charge counters (µAh) or, on most laptops, energy counters (µWh): never mixed.
        const long long charge = ReadNumber(folder, "charge_now", -1);
        const long long chargeFull = ReadNumber(folder, "charge_full", -1);
        const long long energy = ReadNumber(folder, "energy_now", -1);
        const long long energyFull = ReadNumber(folder, "energy_full", -1);
        const bool byCharge = charge >= 0 && chargeFull > 0;
        const long long now = byCharge ? charge : energy;
        const long long full = byCharge ? chargeFull : energyFull;
        if (capacity < 0 && now >= 0 && full > 0) capacity = now * 100 / full;
        status.batteryLifePercent = capacity >= 0 ? int(qBound(0LL, capacity, 100LL)) : 255;
        status.batteryStatus = ReadText(folder, "status");
        status.technology = ReadText(folder, "technology");
        status.voltageMicrovolts = ReadNumber(folder, "voltage_now", -1);
        status.currentMicroamps = ReadNumber(folder, "current_now", -1);
        const long long power = ReadNumber(folder, "power_now", -1);
        const bool discharging = status.batteryStatus == QLatin1String("Discharging");
        if (byCharge) {
            status.chargeMicroampHours = charge;
            status.chargeFullMicroampHours = chargeFull;
        } else {
            status.energyMicrowattHours = energy;
            status.energyFullMicrowattHours = energyFull;
        }
        // An energy-counting battery gives its draw as power: the current is power / voltage.
        if (status.currentMicroamps == -1 && power > 0 && status.voltageMicrovolts > 0) {
            const long long ua = power * 1000000 / status.voltageMicrovolts;
            status.currentMicroamps = discharging ? -ua : ua;
        }
        status.temperatureDeciCelsius = int(ReadNumber(folder, "temp", -1000));
        status.currentAverageMicroamps = ReadNumber(folder, "current_avg", -1);
        status.lifeTimeSeconds = ReadNumber(folder, "time_to_empty_now", -1);
        // The kernel gives no time for most batteries: what is left over the present draw
        // (energy over power, or charge over current), only while the battery runs the machine.
        const long long current = status.currentMicroamps == -1 ? 0 : std::llabs(status.currentMicroamps);
        const long long draw = byCharge ? current : power;
        if (discharging && draw > 0) {
            if (status.lifeTimeSeconds < 0 && now >= 0) status.lifeTimeSeconds = now * 3600 / draw;
            if (full > 0) status.fullLifeTimeSeconds = full * 3600 / draw;
        }
        status.batteryFlag = FlagFor(status.batteryStatus, status.batteryLifePercent);
    }
    if (!batteryFound) {
        status.batteryFlag = 128;
        status.batteryLifePercent = 255;
    }
    // Without a mains supply to ask, a machine with no battery runs on the line.
    if (sawMains)
        status.acLineStatus = mainsOnline ? 1 : 0;
    else if (!batteryFound)
        status.acLineStatus = 1;
    else if (status.batteryStatus == QLatin1String("Discharging"))
        status.acLineStatus = 0;
    else if (!status.batteryStatus.isEmpty() && status.batteryStatus != QLatin1String("Unknown"))
        status.acLineStatus = 1;
    return true;
}

bool GetPowerStatus(PowerStatus& status) {
    if (PowerSource* fake = g_testSource.load()) return fake->Read(status);
    SysfsPowerSource system;
    return system.Read(status);
}

void SetPowerSourceForTesting(PowerSource* source) {
    g_testSource.store(source);
}

} // namespace velmar::platform
