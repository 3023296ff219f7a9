#pragma once
// The local files of transfers: reading a file to send, and writing a received one so that
// an existing file at the target name is replaced only by a complete copy.

#include "platform/TreeGuard.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

struct stat;

namespace velmar::platform {

// A regular file opened for one pass from start to end (the kernel is told to read ahead);
// -1 for anything else, a FIFO included, which is never waited on. Close with CloseHandle
// unless a QFile took it over.
int OpenForScan(const QString& path);
void CloseHandle(int fd);

// Opens `path` for reading only when it is a regular file: the open never waits (a FIFO
// without a writer) and the type is checked on the opened descriptor, so nothing put in the
// file's place meanwhile is read. 0 and the descriptor in `fd` (blocking again), errno, or
// kNotPlainFile for a FIFO, socket or device. `st` (optional) gets the descriptor's stat.
constexpr int kNotPlainFile = -3;
// `noFollow`: a link as the last name is refused (ELOOP) rather than followed.
int OpenPlainFile(const QByteArray& path, int& fd, struct stat* st = nullptr,
                  bool noFollow = false);
// The same for `name` in the folder `folder` (a descriptor, or AT_FDCWD).
int OpenPlainFileAt(int folder, const char* name, int& fd, struct stat* st = nullptr,
                    bool noFollow = false);

// Part files, the private files a copy or download writes before renaming them over the
// target, are named ".vlf-part.<pid>.<random>" so that a part whose writer died (a killed
// copy) can be told from one still being written.
// A new part in `folder` (ending with "/" or empty for the current folder), owner-only,
// created exclusively; 0 with its descriptor and name, or errno. Stale parts in the folder
// (their process gone) are removed first, once per folder and run.
int CreatePartFile(const QByteArray& folder, int& fd, QByteArray& path);
// The same with the part made in the folder `at` (a descriptor; AT_FDCWD: `folder` itself);
// `name` is the part's name in it. `folder` is cleaned of stale parts once per `key` (the
// folder's plain path: a descriptor's number names another folder later).
int CreatePartFileAt(int at, const QByteArray& folder, const QByteArray& key, int& fd,
                     QByteArray& name);
// Removes our parts in `folder` of the folder `at` (a descriptor, or AT_FDCWD) whose writing
// process no longer runs (files, or links a link copy was making); the number removed.
int RemoveStaleParts(int at, const char* folder);
// RemoveStaleParts once per `key` in this process (see CreatePartFileAt).
void RemoveStalePartsOnce(int at, const char* folder, const QByteArray& key);

// A private scratch file with no name (or one removed at once), read back through the same
// descriptor: nothing else can open it and nothing is left behind, even after a kill.
class StagingFile {
public:
    StagingFile() = default;
    ~StagingFile();
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    // 0 or errno.
    int Open(const QString& folder);
    bool Write(const char* data, size_t length);
    bool Rewind();
    int64_t Read(char* buffer, size_t capacity);
    int descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Only a regular file (OpenPlainFile); error() tells why not.
    bool Open(const QString& path);
    int error() const { return error_; }
    // Fills `buffer` unless the file ends first; the count read, -1 on a read error.
    int64_t Read(char* buffer, size_t capacity);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    int error_ = 0;
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
    // An existing target is replaced only by data already on the disk (flushed first).
    bool Commit();
    void Abandon();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    SysName name_; // keeps a guarded target's folder open
    QByteArray target_;
    QByteArray temporary_;
    unsigned mode_ = 0;
};

} // namespace velmar::platform
