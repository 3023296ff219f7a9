#include "systools/SystemInfo.h"

#include "sources/SizeText.h"

namespace velmar {

namespace {

InfoNode Leaf(QString text) {
    return InfoNode{std::move(text), {}};
}

QString Grouped(const char* format, uint64_t value) {
    return QString::fromUtf8(format).arg(FormatNumber(value));
}

void AddSpaceLines(InfoNode& node, const platform::DiskSpace& s) {
    node.children.push_back(Leaf(Grouped("FreeBytesAvailableToCaller: %1", s.freeToCaller)));
    node.children.push_back(Leaf(Grouped("TotalNumberOfBytes: %1", s.total)));
    node.children.push_back(Leaf(Grouped("TotalNumberOfFreeBytes: %1", s.totalFree)));
}

QString AcText(int status) {
    switch (status) {
    case 0:
        return QStringLiteral("offline");
    case 1:
        return QStringLiteral("online");
    case 2:
        return QStringLiteral("backup power");
    default:
        return QStringLiteral("unknown");
    }
}

QString FlagText(int flag) {
    switch (flag) {
    case 1:
        return QStringLiteral("high");
    case 2:
        return QStringLiteral("low");
    case 4:
        return QStringLiteral("critical");
    case 8:
        return QStringLiteral("charging");
    case 128:
        return QStringLiteral("no battery");
    default:
        return QStringLiteral("unknown");
    }
}

QString ChemistryText(const QString& technology) {
    const QString t = technology.toLower();
    if (t == QLatin1String("nicd")) return QStringLiteral("NiCd");
    if (t == QLatin1String("nimh")) return QStringLiteral("NiMh");
    if (t == QLatin1String("li-ion") || t == QLatin1String("lion")) return QStringLiteral("Lion");
    if (t == QLatin1String("li-poly") || t == QLatin1String("lipo"))
        return QStringLiteral("LiPoly");
    if (t == QLatin1String("alkaline")) return QStringLiteral("Alkaline");
    return QStringLiteral("unknown");
}

InfoNode PowerBranch(const platform::PowerStatus& p) {
    InfoNode node{QStringLiteral("Power"), {}};
    auto add = [&node](QString text) { node.children.push_back(Leaf(std::move(text))); };
    add(QStringLiteral("AC power status: %1").arg(AcText(p.acLineStatus)));
    add(QStringLiteral("Battery charge status: %1").arg(FlagText(p.batteryFlag)));
    if (p.batteryLifePercent < 255)
        add(QStringLiteral("Battery charge: %1%").arg(p.batteryLifePercent));
    if (p.lifeTimeSeconds >= 0) add(FormatLifeTime("Battery life time", p.lifeTimeSeconds));
    if (p.fullLifeTimeSeconds >= 0)
        add(FormatLifeTime("BackupBatteryFullLifeTime", p.fullLifeTimeSeconds));
    if (p.voltageMicrovolts > 0)
        add(Grouped("Battery voltage (mV): %1", uint64_t(p.voltageMicrovolts / 1000)));
    if (p.currentMicroamps / 1000 != 0 && p.currentMicroamps != -1)
        add(QStringLiteral("Battery current (mA): %1").arg(p.currentMicroamps / 1000));
    if (p.currentAverageMicroamps / 1000 != 0 && p.currentAverageMicroamps != -1)
        add(QStringLiteral("Battery average current (mA): %1")
                .arg(p.currentAverageMicroamps / 1000));
    if (p.chargeMicroampHours / 1000 > 0)
        add(QStringLiteral("Battery milliamp hours (mAh): %1").arg(p.chargeMicroampHours / 1000));
    // Most laptops count energy, not charge: shown in its own unit.
    if (p.energyMicrowattHours / 1000 > 0)
        add(QStringLiteral("Battery milliwatt hours (mWh): %1").arg(p.energyMicrowattHours / 1000));
    if (p.temperatureDeciCelsius != -1000 && p.temperatureDeciCelsius != 0)
        add(QStringLiteral("Battery temperature (.1 Celsius): %1").arg(p.temperatureDeciCelsius));
    add(QStringLiteral("Battery type: %1").arg(ChemistryText(p.technology)));
    return node;
}

} // namespace

SystemSources SystemSources::Default() {
    SystemSources s;
    s.memory = [](platform::MemoryStatus& m) { return platform::ReadMemoryStatus(m); };
    s.disk = [](const QString& f, platform::DiskSpace& d) { return platform::ReadDiskSpace(f, d); };
    s.mounts = [] { return platform::BlockDeviceMounts(); };
    s.power = [](platform::PowerStatus& p) { return platform::GetPowerStatus(p); };
    return s;
}

QString FormatLifeTime(const char* label, long long seconds) {
    const long long days = seconds / 86400;
    const int hours = int(seconds / 3600 % 24);
    const int mins = int(seconds / 60 % 60);
    const int secs = int(seconds % 60);
    return QStringLiteral("%1: days:%2,hours:%3,mins:%4,secs:%5")
        .arg(QString::fromUtf8(label))
        .arg(days)
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(mins, 2, 10, QLatin1Char('0'))
        .arg(secs, 2, 10, QLatin1Char('0'));
}

std::vector<InfoNode> BuildSystemInfo(const SystemSources& sources) {
    std::vector<InfoNode> tree;
    platform::MemoryStatus m;
    if (sources.memory && sources.memory(m)) {
        InfoNode node{QStringLiteral("Memory"), {}};
        node.children.push_back(Leaf(QStringLiteral("Utilization: %1%").arg(m.load)));
        node.children.push_back(Leaf(Grouped("TotalPhys.: %1", m.totalPhys)));
        node.children.push_back(Leaf(Grouped("AvailPhys.: %1", m.availPhys)));
        node.children.push_back(Leaf(Grouped("TotalPageFile.: %1", m.totalPageFile)));
        node.children.push_back(Leaf(Grouped("AvailPageFile.: %1", m.availPageFile)));
        node.children.push_back(Leaf(Grouped("TotalVirtual: %1", m.totalVirtual)));
        node.children.push_back(Leaf(Grouped("AvailVirtual: %1", m.availVirtual)));
        tree.push_back(std::move(node));
    }
    platform::DiskSpace root;
    if (sources.disk && sources.disk(QStringLiteral("/"), root)) {
        InfoNode node{QStringLiteral("Disk"), {}};
        AddSpaceLines(node, root);
        const QStringList mounts = sources.mounts ? sources.mounts() : QStringList();
        for (const QString& folder : mounts) {
            platform::DiskSpace s;
            if (!sources.disk(folder, s)) continue;
            InfoNode card{folder, {}};
            AddSpaceLines(card, s);
            node.children.push_back(std::move(card));
        }
        tree.push_back(std::move(node));
    }
    platform::PowerStatus p;
    if (sources.power && sources.power(p)) tree.push_back(PowerBranch(p));
    return tree;
}

} // namespace velmar
