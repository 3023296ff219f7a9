#include "platform/Trash.h"
#include "platform/NameCodec.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmar;
using platform::DecodeName;
using platform::EncodeName;

namespace {

struct Info {
    QByteArray path; // the Path value, unescaped
    QDateTime date;
};

Info ReadInfo(const QString& file) {
    Info info;
    const QList<QByteArray> lines = test::ReadAll(file).split('\n');
    if (lines.value(0) != "[Trash Info]") return info;
    for (const QByteArray& line : lines) {
        if (line.startsWith("Path=")) info.path = QByteArray::fromPercentEncoding(line.mid(5));
        if (line.startsWith("DeletionDate="))
            info.date = QDateTime::fromString(QString::fromLatin1(line.mid(13)), Qt::ISODate);
    }
    return info;
}

bool Lies(const QString& path) {
    struct stat st {};
    return ::lstat(EncodeName(path).constData(), &st) == 0;
}

struct TrashTest : ::testing::Test {
    void SetUp() override {
        saved_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", EncodeName(dir_.path() + "/data"));
        home_ = dir_.path() + "/data/Trash";
    }
    void TearDown() override {
        if (!mount_.isEmpty()) ::umount2(EncodeName(mount_).constData(), MNT_DETACH);
        qputenv("XDG_DATA_HOME", saved_);
    }
    // A small file system of its own (needs root); empty when none can be mounted.
    QString MountOther() {
        const QString at = dir_.mkdir("other");
        if (::mount("tmpfs", EncodeName(at).constData(), "tmpfs", 0, "size=1m,mode=0755") != 0)
            return {};
        return mount_ = at;
    }

    test::TempDir dir_;
    QString home_;
    QString mount_;
    QByteArray saved_;
};

// Each entry leaves by one rename with its info beside it: its bytes intact, the absolute
// origin in the file system's own bytes (a name that is not UTF-8 too), the time of the deed.
TEST_F(TrashTest, EntriesGoToTheHomeTrashWithTheirOrigin) {
    const QString folder = dir_.mkdir("work");
    const QString notUtf8 = DecodeName(QByteArray("holiday\xff\xfe.jpg"));
    ASSERT_TRUE(test::WriteRaw(EncodeName(folder + '/' + notUtf8), "photo"));
    dir_.write("work/a b%.txt", "text");
    ASSERT_EQ(::symlink("a b%.txt", EncodeName(folder + "/link").constData()), 0);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    for (const QString& name : {QStringLiteral("link"), notUtf8, QStringLiteral("a b%.txt")}) {
        SCOPED_TRACE(EncodeName(name).toStdString());
        platform::Trashed where;
        ASSERT_EQ(platform::MoveToTrash(folder + '/' + name, &where), 0);
        EXPECT_FALSE(Lies(folder + '/' + name));
        EXPECT_EQ(where.file, home_ + "/files/" + name);
        EXPECT_EQ(where.info, home_ + "/info/" + name + ".trashinfo");
        const Info info = ReadInfo(where.info);
        EXPECT_EQ(info.path, EncodeName(folder + '/' + name));
        EXPECT_TRUE(info.date >= before && info.date <= QDateTime::currentDateTime());
    }
    EXPECT_EQ(test::ReadAll(home_ + "/files/" + notUtf8), "photo");
    EXPECT_FALSE(QFile::symLinkTarget(home_ + "/files/link").isEmpty()); // the link itself
    struct stat st {};
    ASSERT_EQ(::stat(EncodeName(home_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// A second entry of one name never replaces the first; a name at the file system's limit still
// leaves room for its info file; a missing entry is an error, not a trash failure.
TEST_F(TrashTest, NamesStayUniqueAndFit) {
    const QString longName = QString(255 - 4, QLatin1Char('x')) + ".txt";
    platform::Trashed first, second, longOne;
    dir_.write("a/n.txt", "one");
    ASSERT_EQ(platform::MoveToTrash(dir_.file("a/n.txt"), &first), 0);
    dir_.write("a/n.txt", "two");
    ASSERT_EQ(platform::MoveToTrash(dir_.file("a/n.txt"), &second), 0);
    EXPECT_EQ(second.file, home_ + "/files/n.2.txt");
    EXPECT_EQ(test::ReadAll(first.file), "one");
    EXPECT_EQ(test::ReadAll(second.file), "two");
    EXPECT_EQ(ReadInfo(second.info).path, EncodeName(dir_.file("a/n.txt")));

    dir_.write("a/" + longName, "long");
    ASSERT_EQ(platform::MoveToTrash(dir_.file("a/" + longName), &longOne), 0);
    EXPECT_EQ(test::ReadAll(longOne.file), "long");
    EXPECT_EQ(ReadInfo(longOne.info).path, EncodeName(dir_.file("a/" + longName)));

    EXPECT_EQ(platform::MoveToTrash(dir_.file("a/none")), ENOENT);
}

// An entry on another file system goes to that file system's own trash by a rename (never a
// copy to the home trash): the shared sticky .Trash when an administrator made one, else
// .Trash-UID; a link or a folder without the sticky bit is not trusted. (When none can be made
// there: the file commands' tests, which ask the user.)
TEST_F(TrashTest, AnotherFileSystemUsesItsOwnTrash) {
    if (MountOther().isEmpty()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString uid = QString::number(::getuid());
    // What the top folder holds (a shell command run there), and the trash used.
    const std::pair<const char*, const char*> cases[] = {
        {"true", ".Trash-UID"},
        {"mkdir -m 1777 .Trash", ".Trash/UID"},
        {"mkdir -m 777 .Trash", ".Trash-UID"},
        {"mkdir -m 1777 real && ln -s real .Trash", ".Trash-UID"},
    };
    for (const auto& [setup, trashName] : cases) {
        SCOPED_TRACE(setup);
        const QByteArray prepare = "cd '" + EncodeName(mount_) + "' && rm -rf .Trash* real sub";
        ASSERT_EQ(std::system((prepare + " && mkdir sub && " + setup).constData()), 0);
        const QString file = mount_ + "/sub/f.txt";
        ASSERT_TRUE(test::WriteRaw(EncodeName(file), "data"));
        platform::Trashed where;
        ASSERT_EQ(platform::MoveToTrash(file, &where), 0);
        const QString trash = mount_ + '/' + QString::fromLatin1(trashName).replace("UID", uid);
        EXPECT_EQ(where.file, trash + "/files/f.txt");
        EXPECT_EQ(test::ReadAll(where.file), "data");
        // Below a top folder the origin is relative to it.
        EXPECT_EQ(ReadInfo(where.info).path, QByteArray("sub/f.txt"));
        struct stat st {};
        ASSERT_EQ(::lstat(EncodeName(trash).constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    // The folder another file system is mounted on moves nowhere.
    EXPECT_EQ(platform::MoveToTrash(mount_), EBUSY);
}

} // namespace
