// Shared main of the test programs: a QApplication (offscreen under ctest) and a folder of the
// run's own that holds its settings, its cache and, through TMPDIR, every temporary folder of
// its tests and of the programs they start, so no test touches the user's files or leaves any.
#include "platform/Settings.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A run holds a lock in its folder while it lives. A run that was killed (a time-out, a crash)
// cannot remove its folder; the next run finds the lock free and removes it.
void RemoveStaleRuns() {
    const QDir tmp(QDir::tempPath());
    for (const QString& name : tmp.entryList({"velmar-test-run-*"}, QDir::Dirs)) {
        const int fd = ::open(QFile::encodeName(tmp.filePath(name + "/lock")), O_RDWR | O_CLOEXEC);
        if (fd < 0) continue; // still being made
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) velmar::test::RemoveTree(tmp.filePath(name));
        ::close(fd);
    }
}

// Locked before it takes its name, so no other run sees it unlocked.
void LockRun(const QString& folder) {
    const QByteArray made = QFile::encodeName(folder + "/lock.new");
    const int fd = ::open(made, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ::rename(made, QFile::encodeName(folder + "/lock"));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RemoveStaleRuns();
    velmar::test::TempDir run({}, "velmar-test-run-");
    LockRun(run.path());
    qputenv("TMPDIR", QFile::encodeName(run.path()));
    const QString settings = run.mkdir(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(run.mkdir(QStringLiteral("cache")))); // the manual
    qputenv("XDG_DATA_HOME", QFile::encodeName(run.mkdir(QStringLiteral("data")))); // the trash
    velmar::platform::SetSettingsFolderForTesting(settings);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
