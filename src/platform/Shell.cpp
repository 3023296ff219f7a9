#include "platform/Shell.h"

#include "platform/NameCodec.h"

#include <QDesktopServices>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmar::platform {

QStringList ReadInterpreterLine(const QString& path) {
    const QByteArray native = EncodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    struct stat st {};
    char buffer[256];
    ssize_t got = -1;
    // Only regular files: reading a fifo or a device could block or have side effects.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (got < 2 || buffer[0] != '#' || buffer[1] != '!') return {};
    QByteArray line(buffer + 2, int(got - 2));
    const int end = line.indexOf('\n');
    if (end >= 0) line.truncate(end);
    // As the kernel does: the interpreter, then at most one argument with the rest of the line.
    line = line.trimmed();
    if (line.isEmpty()) return {};
    int blank = -1;
    for (int i = 0; i < line.size() && blank < 0; ++i)
        if (line[i] == ' ' || line[i] == '\t') blank = i;
    if (blank < 0) return {DecodeName(line)};
    const QByteArray rest = line.mid(blank + 1).trimmed();
    QStringList result{DecodeName(line.left(blank))};
    if (!rest.isEmpty()) result.append(DecodeName(rest));
    return result;
}

bool IsExecutableFile(const QString& path) {
    const QByteArray native = EncodeName(path);
    // Only what the kernel itself can run, with its execute bit: on exFAT, NTFS or CIFS
    // mounts every file has that bit, and a photo there must open in the viewer.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    char head[4] = {};
    ssize_t got = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, head, sizeof head);
    ::close(fd);
    if (got < 2 || ::access(native.constData(), X_OK) != 0) return false;
    return (head[0] == '#' && head[1] == '!') || (got == 4 && std::memcmp(head,
                                                                          "\x7f"
                                                                          "ELF",
                                                                          4) == 0);
}

QString ResolveProgram(const QString& file) {
    if (file.contains(QLatin1Char('/'))) return file;
    const QString found = QStandardPaths::findExecutable(file);
    return found.isEmpty() ? file : found;
}

QStringList SplitParameters(const QString& text) {
    QStringList out;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } quote = Plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quote == Single) {
            if (c == QLatin1Char('\''))
                quote = Plain;
            else
                word += c;
            continue;
        }
        if (quote == Double) {
            if (c == QLatin1Char('"')) {
                quote = Plain;
            } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                       (text.at(i + 1) == QLatin1Char('"') ||
                        text.at(i + 1) == QLatin1Char('\\'))) {
                word += text.at(++i);
            } else {
                word += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord) out.append(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('\''))
            quote = Single;
        else if (c == QLatin1Char('"'))
            quote = Double;
        else if (c == QLatin1Char('\\') && i + 1 < text.size())
            word += text.at(++i);
        else
            word += c;
    }
    if (inWord) out.append(word);
    return out;
}

QByteArray ReadFileHead(const QString& path, int size) {
    const int fd =
        ::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    QByteArray head(size, '\0');
    struct stat st {};
    ssize_t got = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, head.data(), size_t(size));
    ::close(fd);
    head.truncate(got < 0 ? 0 : qsizetype(got));
    return head;
}

QString LinkTarget(const QString& link) {
    const QByteArray native = EncodeName(link);
    QByteArray target(4096, '\0');
    const ssize_t n = ::readlink(native.constData(), target.data(), size_t(target.size()));
    if (n <= 0 || n >= target.size()) return {};
    target.truncate(n);
    if (!target.startsWith('/')) target.prepend(native.left(native.lastIndexOf('/') + 1));
    return DecodeName(target);
}

bool MakeLink(const QString& target, const QString& link) {
    return ::symlink(EncodeName(target).constData(), EncodeName(link).constData()) == 0;
}

QUrl LocalFileUrl(const QString& path) {
    // QUrl keeps an escaped byte that is no UTF-8 as it is, and hands it on escaped.
    return QUrl::fromEncoded("file://" + EncodeName(path).toPercentEncoding("/"), QUrl::StrictMode);
}

namespace {

// Forks twice through a session of its own, so that what runs outlives us, is nobody's child
// of ours and leaves no zombie. `report` becomes a close-on-exec pipe from the grandchild to
// the caller. Returns 0 in the grandchild (async-signal-safe calls only from then on), 1 in
// the caller once the middle child has ended (report[1] closed there), -1 when nothing was
// forked. When the second fork fails the middle child writes `failureWord` to the pipe.
int ForkDetached(int report[2], int failureWord) {
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return -1;
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) return 0;
        if (grandchild < 0) {
            ssize_t ignored = ::write(report[1], &failureWord, sizeof failureWord);
            (void)ignored;
        }
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return 1;
}

} // namespace

bool StartDetachedProgram(const QString& program, const QStringList& arguments,
                          const QString& workingDirectory) {
    QString run = program;
    QStringList args = arguments;
    // A script without the execute bit still runs, through the interpreter it names.
    if (::access(EncodeName(program).constData(), X_OK) != 0) {
        QStringList interpreter = ReadInterpreterLine(program);
        if (interpreter.isEmpty()) return false;
        run = interpreter.takeFirst();
        args = interpreter + QStringList{program} + arguments;
    }
    // Everything the child needs is made before the fork: after it only async-signal-safe
    // calls are allowed.
    const QByteArray file = EncodeName(run);
    const QByteArray folder = EncodeName(workingDirectory);
    std::vector<QByteArray> bytes{file};
    for (const QString& a : args)
        bytes.push_back(EncodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    int report[2];
    const int forked = ForkDetached(report, EAGAIN);
    if (forked < 0) return false;
    if (forked == 0) {
        int error = 0;
        if (!folder.isEmpty() && ::chdir(folder.constData()) != 0)
            error = errno;
        else {
            ::execv(file.constData(), argv.data());
            error = errno;
        }
        ssize_t ignored = ::write(report[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    // The pipe closes without a word when the program started (close-on-exec).
    int error = 0;
    ssize_t got;
    do
        got = ::read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == 0;
}

namespace {

// How long an opener is watched: xdg-open that finds no application, or whose application
// cannot take the file, ends within it; one still running by then has opened something.
constexpr int kOpenerWatchMs = 5000;

// xdg-open's own failures: 1 bad call, 2 no such file, 3 no tool for the type, 4 the tool
// failed; 127 is ours when it cannot be run at all.
bool OpenerFailed(int status) {
    if (WIFSIGNALED(status)) return true;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    return (code >= 1 && code <= 4) || code == 127;
}

} // namespace

bool OpenDocument(const QString& path, std::function<void()> failed) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    // Without xdg-open (a portal, a desktop of its own) Qt knows the way; it cannot say more
    // than whether the opener started.
    if (opener.isEmpty()) return QDesktopServices::openUrl(LocalFileUrl(path));
    // The path as the file system's bytes, so a name that is not UTF-8 opens too.
    const QByteArray program = EncodeName(opener);
    const QByteArray file = EncodeName(path);
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(file.constData()),
                    nullptr};
    int report[2];
    const int forked = ForkDetached(report, 127 << 8);
    if (forked < 0) return false;
    if (forked == 0) {
        // A watcher: it tells how the opener ended through the pipe.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, nullptr);
        const pid_t run = ::fork();
        if (run == 0) {
            ::close(report[0]);
            ::close(report[1]);
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        int status = 127 << 8;
        if (run > 0)
            while (::waitpid(run, &status, 0) < 0 && errno == EINTR) {
            }
        ssize_t ignored = ::write(report[1], &status, sizeof status);
        (void)ignored;
        ::_exit(0);
    }
    auto* watch = new QSocketNotifier(report[0], QSocketNotifier::Read);
    const auto end = [watch, fd = report[0]] {
        watch->setEnabled(false);
        watch->deleteLater();
        ::close(fd);
    };
    QObject::connect(watch, &QSocketNotifier::activated, watch, [end, failed, fd = report[0]] {
        int status = 0;
        const bool told = ::read(fd, &status, sizeof status) == ssize_t(sizeof status);
        end();
        if (told && OpenerFailed(status) && failed) failed();
    });
    QTimer::singleShot(kOpenerWatchMs, watch, end);
    return true;
}

bool RenameEntry(const QString& from, const QString& to) {
    const QByteArray source = EncodeName(from);
    const QByteArray target = EncodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: look first, then rename.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 || errno != ENOENT) return false;
    return ::rename(source.constData(), target.constData()) == 0;
}

bool OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace velmar::platform
