#pragma once
// The local files of transfers: reading a file to send, and writing a received one so that
// an existing file at the target name is replaced only by a complete copy.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace velmar::platform {

// A regular file opened for one pass from start to end (the kernel is told to read ahead);
// -1 for anything else, a FIFO included, which is never waited on. Close with CloseHandle
// unless a QFile took it over.
int OpenForScan(const QString& path);
void CloseHandle(int fd);

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const QString& path);
    // Fills `buffer` unless the file ends first; the count read, -1 on a read error.
    int64_t Read(char* buffer, size_t capacity);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Bytes go to a new private file in the target's folder; Commit renames it over the
// target (a symbolic link there is replaced, never written through), Abandon or the
// destructor removes it and leaves the target as it was.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { Abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False when the folder cannot take a new file or the target is a folder.
    bool Open(const QString& target, bool readOnly);
    bool Write(const char* data, size_t length);
    bool Commit();
    void Abandon();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    QByteArray target_;
    QByteArray temporary_;
    unsigned mode_ = 0;
};

} // namespace velmar::platform
