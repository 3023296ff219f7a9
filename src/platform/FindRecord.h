#pragma once
// One entry found in a folder: what both directory sources and the FTP listing parser fill
// and what every pane row keeps. Sizes are 64-bit; times are file times (100 ns since 1601, UTC).

#include <QString>
#include <cstdint>

namespace velmar {

namespace attr {
constexpr uint32_t ReadOnly = 0x1;
constexpr uint32_t Hidden = 0x2;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t InRom = 0x40;
constexpr uint32_t Normal = 0x80;
constexpr uint32_t ReparsePoint = 0x400;
} // namespace attr

// The two 32-bit fields sit together: a pane holds one record per row, a listing another.
struct FindRecord {
    uint32_t attributes = 0;
    uint32_t objectId = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
    QString name;

    bool isFolder() const { return (attributes & attr::Directory) != 0; }
    uint32_t sizeHigh() const { return uint32_t(size >> 32); }
    uint32_t sizeLow() const { return uint32_t(size); }
};

constexpr int64_t kFileTimeEpochDelta = 11644473600LL; // seconds from 1601-01-01 to 1970-01-01

// Seconds and nanoseconds since 1970 as a file time.
constexpr uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    const int64_t s = seconds + kFileTimeEpochDelta;
    if (s < 0) return 0;
    return uint64_t(s) * 10000000ULL + nanoseconds / 100;
}

// A file time as milliseconds since 1970 (negative before it).
constexpr int64_t UnixMillisFromFileTime(uint64_t fileTime) {
    return int64_t(fileTime / 10000) - kFileTimeEpochDelta * 1000;
}

} // namespace velmar
