#pragma once
// Memory and storage figures for the system information: /proc/meminfo, the mount table
// and statvfs. All figures are 64-bit byte counts.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace velmar::platform {

struct MemoryStatus {
    int load = 0; // percent of physical memory in use
    uint64_t totalPhys = 0;
    uint64_t availPhys = 0;
    uint64_t totalPageFile = 0; // physical + swap: what may be committed
    uint64_t availPageFile = 0;
    uint64_t totalVirtual = 0; // this process's address space
    uint64_t availVirtual = 0;
};

// False when the file cannot be read or lacks MemTotal.
bool ReadMemoryStatus(MemoryStatus& status,
                      const QString& meminfo = QStringLiteral("/proc/meminfo"));

struct DiskSpace {
    uint64_t freeToCaller = 0;
    uint64_t total = 0;
    uint64_t totalFree = 0;
};

bool ReadDiskSpace(const QString& folder, DiskSpace& space);

// Mount points of file systems on block devices (source under /dev/), in mount order,
// each once, "/" left out (it always comes first on its own).
QStringList BlockDeviceMounts(const QString& mounts = QStringLiteral("/proc/self/mounts"));

} // namespace velmar::platform
