#pragma once
// A regular file read and written at 64-bit offsets (pread/pwrite), for viewers that show
// a window of a file of any size. Opening takes an advisory lock so that two editors of one
// file cannot overwrite each other's rows: a viewer shares, an editor excludes.

#include <QString>
#include <QtGlobal>

namespace velmar::platform {

class BlockFile {
public:
    enum class Mode { ReadShared, ReadWriteExclusive };

    BlockFile() = default;
    ~BlockFile();
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    // Regular files only: a folder, device or pipe is refused (a pipe would block the
    // window). False when it cannot be opened or locked in `mode`.
    bool Open(const QString& path, Mode mode);
    // For one pass from start to end, without a lock: regular files only, a FIFO never
    // waited on, the kernel told to read ahead when the file is large.
    bool OpenForScan(const QString& path);
    // The same for a descriptor opened (not blocking) by someone else; takes it over.
    bool AdoptForScan(int fd);
    void Close();
    bool isOpen() const { return fd_ >= 0; }
    int handle() const { return fd_; }

    // The length now, or -1.
    qint64 Size() const;
    // The length when it was opened.
    qint64 openedSize() const { return openedSize_; }
    // Up to `n` bytes at `offset`; the count read (short at the end), or -1 on an error.
    qint64 ReadAt(qint64 offset, char* data, qint64 n) const;
    // All `n` bytes at `offset`; false when not all of them were written.
    bool WriteAt(qint64 offset, const char* data, qint64 n);

private:
    int fd_ = -1;
    qint64 openedSize_ = 0;
};

} // namespace velmar::platform
