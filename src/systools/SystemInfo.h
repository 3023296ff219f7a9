#pragma once
// The "System Info" tree: "Memory", "Disk" and "Power", each only when its source answers.

#include "platform/Power.h"
#include "platform/SystemState.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace velmar {

struct InfoNode {
    QString text;
    std::vector<InfoNode> children;
};

struct SystemSources {
    std::function<bool(platform::MemoryStatus&)> memory;
    std::function<bool(const QString& folder, platform::DiskSpace&)> disk;
    std::function<QStringList()> mounts;
    std::function<bool(platform::PowerStatus&)> power;
    static SystemSources Default();
};

// "days:%D,hours:%H,mins:%M,secs:%S" of a number of seconds.
QString FormatLifeTime(const char* label, long long seconds);

std::vector<InfoNode> BuildSystemInfo(const SystemSources& sources = SystemSources::Default());

} // namespace velmar
