#include "platform/Power.h"

#include <QDir>
#include <QFile>
#include <atomic>

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
        long long now = ReadNumber(folder, "charge_now", -1);
        long long full = ReadNumber(folder, "charge_full", -1);
        if (now < 0 || full <= 0) {
            now = ReadNumber(folder, "energy_now", -1);
            full = ReadNumber(folder, "energy_full", -1);
        }
        if (capacity < 0 && now >= 0 && full > 0) capacity = now * 100 / full;
        status.batteryLifePercent = capacity >= 0 ? int(qBound(0LL, capacity, 100LL)) : 255;
        status.batteryStatus = ReadText(folder, "status");
        status.technology = ReadText(folder, "technology");
        status.voltageMicrovolts = ReadNumber(folder, "voltage_now", -1);
        status.currentMicroamps = ReadNumber(folder, "current_now", -1);
        status.chargeMicroampHours = now;
        status.chargeFullMicroampHours = full;
        status.temperatureDeciCelsius = int(ReadNumber(folder, "temp", -1000));
        status.currentAverageMicroamps = ReadNumber(folder, "current_avg", -1);
        status.lifeTimeSeconds = ReadNumber(folder, "time_to_empty_now", -1);
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
