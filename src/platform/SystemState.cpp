#include "platform/SystemState.h"

#include "platform/NameCodec.h"

#include <QFile>
#include <algorithm>
#include <sys/statvfs.h>

namespace velmar::platform {

namespace {

// The mount table writes space, tab, newline and backslash as octal escapes.
QByteArray Unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() + 0 && field[i + 1] >= '0' &&
            field[i + 1] <= '3') {
            bool ok = false;
            const int v = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(v));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

// This process's mapped size (VmSize), for the free part of the address space.
uint64_t OwnVirtualSize() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toULongLong() * 1024;
    return 0;
}

} // namespace

bool ReadMemoryStatus(MemoryStatus& status, const QString& meminfo) {
    status = MemoryStatus{};
    QFile f(meminfo);
    if (!f.open(QIODevice::ReadOnly)) return false;
    uint64_t memTotal = 0, memFree = 0, memAvailable = 0, swapTotal = 0, swapFree = 0;
    bool haveTotal = false, haveAvailable = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) continue;
        const QByteArray key = line.left(colon);
        const uint64_t kib = line.mid(colon + 1).trimmed().split(' ').value(0).toULongLong();
        const uint64_t bytes = kib * 1024;
        if (key == "MemTotal") {
            memTotal = bytes;
            haveTotal = true;
        } else if (key == "MemFree") {
            memFree = bytes;
        } else if (key == "MemAvailable") {
            memAvailable = bytes;
            haveAvailable = true;
        } else if (key == "SwapTotal") {
            swapTotal = bytes;
        } else if (key == "SwapFree") {
            swapFree = bytes;
        }
    }
    if (!haveTotal || memTotal == 0) return false;
    status.totalPhys = memTotal;
    status.availPhys = haveAvailable ? memAvailable : memFree;
    status.load = int((memTotal - std::min(status.availPhys, memTotal)) * 100 / memTotal);
    status.totalPageFile = memTotal + swapTotal;
    status.availPageFile = status.availPhys + swapFree;
    // User address space of a 64-bit process with 4-level page tables.
    status.totalVirtual = sizeof(void*) == 8 ? (uint64_t(1) << 47) : (uint64_t(3) << 30);
    const uint64_t used = OwnVirtualSize();
    status.availVirtual = status.totalVirtual > used ? status.totalVirtual - used : 0;
    return true;
}

bool ReadDiskSpace(const QString& folder, DiskSpace& space) {
    struct statvfs s {};
    if (::statvfs(EncodeName(folder).constData(), &s) != 0) return false;
    const uint64_t unit = s.f_frsize ? s.f_frsize : s.f_bsize;
    space.total = uint64_t(s.f_blocks) * unit;
    space.totalFree = uint64_t(s.f_bfree) * unit;
    space.freeToCaller = uint64_t(s.f_bavail) * unit;
    return true;
}

QStringList BlockDeviceMounts(const QString& mounts) {
    QStringList out;
    QFile f(mounts);
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || !fields[0].startsWith("/dev/")) continue;
        const QString point = DecodeName(Unescape(fields[1]));
        if (point == QLatin1String("/") || out.contains(point)) continue;
        out.append(point);
    }
    return out;
}

} // namespace velmar::platform
