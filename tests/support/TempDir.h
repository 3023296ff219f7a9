#pragma once
// A private temporary folder removed with everything in it when the object goes.

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <initializer_list>

namespace velmar::test {

class TempDir {
public:
    // Made below `parent`, by default the temporary folder of the run.
    explicit TempDir(const QString& parent = {}, const char* prefix = "velmar-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const QString& path() const { return path_; }
    // path() + "/" + name
    QString file(const QString& name) const;
    // Writes a file (relative name, folders made as needed) and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QString mkdir(const QString& name) const;

private:
    QString path_;
};

// The environment variable `name` set to `value` while it lives (TZ taken up at once too).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) {
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }

private:
    void Set(const QByteArray& v) const {
        v.isNull() ? qunsetenv(name_) : qputenv(name_, v);
        tzset();
    }
    const char* name_;
    const QByteArray old_;
};

// Removes a tree whatever its names (not UTF-8) and rights (a test may take them away).
void RemoveTree(const QString& path);

QByteArray ReadAll(const QString& path);
// Writes a file whose path is any bytes (a name that is not UTF-8 too); false on failure.
bool WriteRaw(const QByteArray& path, const QByteArray& bytes);

// Bytes without a power-of-two period, so that a block sent twice or left out shows.
inline QByteArray Pattern(qsizetype size, int seed = 0) {
    QByteArray b(size, 0);
    for (qsizetype i = 0; i < size; ++i)
        b[i] = char((unsigned(i) * 167u + unsigned(seed) + unsigned(i) / 251) & 0xff);
    return b;
}

// Bytes from numbers: protocol commands, a character set's codes.
inline QByteArray B(std::initializer_list<int> bytes) {
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

// A source of blocks (an upload's, a write's) over bytes in memory.
inline auto FromMemory(QByteArray bytes) {
    return [bytes, at = qsizetype(0)](char* buffer, size_t capacity) mutable -> int64_t {
        const qsizetype n = std::min<qsizetype>(qsizetype(capacity), bytes.size() - at);
        std::memcpy(buffer, bytes.constData() + at, size_t(n));
        at += n;
        return n;
    };
}

} // namespace velmar::test
