// One contract for a side, run against every kind: the local file system, libcurl and our own
// client on pyftpdlib, libcurl on vsftpd in clear and over TLS, libcurl on a private sshd by
// SFTP (real servers on 127.0.0.1). The engines above rely on exactly this, whichever side they
// are given.
#include "sources/SearchJob.h"
#include "support/FtpPeers.h"
#include "support/Printers.h"
#include "support/TransferFixture.h"

#include <QFileInfo>

namespace velmar::test {
namespace {

struct SideKind {
    const char* name;
    bool remote;
    PeerKind peer;
    bool own;
};

class SideContract : public TransferFixture<::testing::TestWithParam<SideKind>> {
protected:
    void SetUp() override {
        if (!Remote()) {
            home_ = base_ = dir.path();
            side_ = LocalSide();
        } else {
            peer_ = StartPeer(GetParam().peer);
            ASSERT_TRUE(peer_.server->ok()) << peer_.server->error().toStdString();
            home_ = peer_.server->home().path();
            base_ = peer_.base;
            FtpStatusInfo status;
            connection_ = ConnectFtp(GetParam().own, peer_.login, {}, status);
            ASSERT_TRUE(connection_) << status.text.toStdString();
            side_ = MakeFtpSide(connection_.get(), QString::number(peer_.login.port));
        }
        ASSERT_TRUE(WriteOddNames(home_));
    }

    QString At(const QString& name) const { return base_ + QLatin1Char('/') + name; }
    bool Remote() const { return GetParam().remote; }

    Peer peer_;
    std::unique_ptr<FtpConnection> connection_;
    std::shared_ptr<Side> side_;
    QString home_; // the folder on disk
    QString base_; // its path as the side names it
};

TEST_P(SideContract, ListsEveryEntryWithItsKindAndSize) {
    std::vector<ListedEntry> entries;
    ASSERT_TRUE(side_->List(base_ + "/", entries, true));
    std::set<QString> names;
    for (const ListedEntry& e : entries) {
        names.insert(e.name);
        EXPECT_EQ(e.folder, e.name == "sub dir") << e.name.toStdString();
        if (e.name == "50%") EXPECT_EQ(e.size, 300u);
    }
    EXPECT_EQ(names, OddNamesAnd({"sub dir"}));
    // A listing that arrives in many blocks: no line is lost or cut where a block ends.
    QDir(home_).mkpath("long");
    std::set<QString> longNames;
    for (int i = 0; i < 1500; ++i) {
        const QByteArray name = "entry " + QByteArray::number(i) + " of a listing of many blocks";
        ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/long/") + name, ""));
        longNames.insert(QString::fromLatin1(name));
    }
    ASSERT_TRUE(side_->List(At("long/"), entries, false));
    names.clear();
    for (const ListedEntry& e : entries)
        names.insert(e.name);
    EXPECT_EQ(names, longNames);
}

TEST_P(SideContract, ReadsAndWritesEveryByteAndNeverLeavesACutFile) {
    // Every odd name reads back its own bytes, counted.
    for (int i = 0; i < int(std::size(kOddNames)); ++i) {
        const QString name = platform::DecodeName(kOddNames[i]);
        QByteArray got;
        counter = 0;
        ASSERT_TRUE(side_->ReadFile(
            At(name),
            [&](const char* d, size_t n) {
                got.append(d, qsizetype(n));
                return true;
            },
            control))
            << name.toStdString();
        EXPECT_EQ(got, OddBytes(i));
        EXPECT_EQ(counter.load(), uint64_t(100 * (i + 1)));
    }
    const QStringList before = QDir(home_).entryList(QDir::Files | QDir::Hidden | QDir::System);
    // A write replaces what was there, only once complete.
    const QByteArray payload = Pattern(3 * 1024 * 1024 + 17, 5);
    counter = 0;
    ASSERT_TRUE(side_->WriteFile(At("x#y"), FromMemory(payload), control))
        << side_->ErrorText().toStdString();
    EXPECT_EQ(ReadAll(home_ + "/x#y"), payload);
    EXPECT_EQ(counter.load(), uint64_t(payload.size()));
    uint64_t size = 0;
    ASSERT_TRUE(side_->Exists(At("x#y"), &size));
    EXPECT_EQ(size, uint64_t(payload.size()));
    // The time a copy carries over, where the server can set one (vsftpd has no MFMT).
    const int64_t when = 1000000000;
    const bool settable =
        GetParam().peer != PeerKind::Vsftpd && GetParam().peer != PeerKind::VsftpdTls;
    EXPECT_EQ(side_->SetModifiedTime(At("x#y"), when), settable);
    int64_t seconds = 0;
    if (settable) {
        EXPECT_EQ(QFileInfo(home_ + "/x#y").lastModified().toSecsSinceEpoch(), when);
        ASSERT_TRUE(side_->ModifiedTime(At("x#y"), seconds));
        EXPECT_EQ(seconds, when);
    }
    // A write cancelled part-way, or whose source fails, leaves the old file and nothing else.
    counter = 0;
    auto source = FromMemory(payload);
    const auto stopHalfway = [&](char* buffer, size_t capacity) -> int64_t {
        if (counter.load() > uint64_t(payload.size() / 2)) running = 0;
        return source(buffer, capacity);
    };
    EXPECT_FALSE(side_->WriteFile(At("50%"), stopHalfway, control));
    running = 1;
    EXPECT_FALSE(side_->WriteFile(
        At("50%"), [](char*, size_t) -> int64_t { return -1; }, control));
    EXPECT_EQ(ReadAll(home_ + "/50%"), QByteArray(300, 'c'));
    EXPECT_EQ(QDir(home_).entryList(QDir::Files | QDir::Hidden | QDir::System), before);
    // A cleared running flag reads nothing.
    running = 0;
    EXPECT_FALSE(side_->ReadFile(
        At("a b.txt"), [](const char*, size_t) { return true; }, control));
    EXPECT_TRUE(side_->ErrorText().isEmpty()) << side_->ErrorText().toStdString();
}

TEST_P(SideContract, FoldersRenamesDeletesAndRefusals) {
    ASSERT_TRUE(side_->MakeFolder(At("new #dir")));
    EXPECT_TRUE(QFileInfo(home_ + "/new #dir").isDir());
    EXPECT_TRUE(side_->EnsureFolder(At("new #dir")));
    const auto move = [&](const char* from, const char* to, bool replace) {
        return side_->MoveWithin(At(from), At(to), replace, control);
    };
    EXPECT_EQ(move("q?;.dat", "new #dir/moved", false), SideResult::Ok);
    EXPECT_EQ(ReadAll(home_ + "/new #dir/moved"), QByteArray(400, 'd'));
    // Onto a file that is there: only with leave to replace it.
    EXPECT_EQ(move("a b.txt", "new #dir/moved", false), SideResult::Exists);
    EXPECT_EQ(move("a b.txt", "new #dir/moved", true), SideResult::Ok);
    EXPECT_EQ(ReadAll(home_ + "/new #dir/moved"), QByteArray(100, 'a'));
    EXPECT_EQ(move("x#y", "x#y", false), SideResult::SameFile);
    EXPECT_TRUE(side_->IsSameOrBelow(At("new #dir"), At("new #dir/deeper/x")));
    EXPECT_FALSE(side_->IsSameOrBelow(At("new #dir"), At("new #dir2")));
    // A whole folder renamed within the side.
    EXPECT_EQ(move("new #dir", "renamed", false), SideResult::Ok);
    EXPECT_TRUE(QFileInfo(home_ + "/renamed/moved").isFile());
    // On an FTP server a folder is no file (SIZE refuses it; its LIST names its children).
    if (GetParam().peer != PeerKind::Sftp) EXPECT_EQ(side_->Exists(At("renamed")), !Remote());
    ASSERT_TRUE(side_->DeleteFile(At("renamed/moved")));
    ASSERT_TRUE(side_->RemoveFolder(At("renamed")));
    EXPECT_FALSE(QFileInfo::exists(home_ + "/renamed"));
    EXPECT_FALSE(side_->Exists(At("renamed/moved")));

    // A refusal is an error with text, not a lost connection; the next command still works.
    EXPECT_FALSE(side_->DeleteFile(At("missing")));
    EXPECT_FALSE(side_->ErrorText().isEmpty());
    EXPECT_TRUE(side_->Usable());
    std::vector<ListedEntry> entries;
    ASSERT_TRUE(side_->List(At("sub dir"), entries, false));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "inner.txt");
    if (Remote()) {
        // A local name with a backslash would go out as a slash and land a folder up.
        const QString climb = At("sub dir/..\\esc");
        EXPECT_FALSE(side_->MakeFolder(climb));
        EXPECT_TRUE(side_->ErrorText().contains("..\\esc"));
        EXPECT_FALSE(side_->EnsureFolder(climb));
        EXPECT_FALSE(side_->WriteFile(
            climb, [](char*, size_t) -> int64_t { return 0; }, control));
        EXPECT_FALSE(QFileInfo::exists(home_ + "/esc"));
        EXPECT_TRUE(side_->Usable());
    }
    uint64_t free = 0;
    EXPECT_EQ(side_->FreeSpace(base_ + "/", free),
              Remote() ? SideResult::Unsupported : SideResult::Ok);
}

TEST_P(SideContract, TreeGoesOnlyWithLeave) {
    QDir(home_).mkpath("tree/a/b");
    ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/tree/a/b/f"), "f"));
    ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/tree/g"), "g"));
    bool whole = true;
    EXPECT_FALSE(side_->RemoveTree(At("tree"), {}, user, whole)); // the user said No
    EXPECT_EQ(user.asked, QStringList{kAskRemoveFolder.arg(At("tree"))});
    EXPECT_FALSE(whole);
    EXPECT_TRUE(QFileInfo::exists(home_ + "/tree/a/b/f"));
    // No for the innermost folder: it stays, and so do the folders above it.
    user.answers = {true, true, false};
    EXPECT_TRUE(side_->RemoveTree(At("tree"), {}, user, whole));
    EXPECT_FALSE(whole);
    EXPECT_FALSE(QFileInfo::exists(home_ + "/tree/g"));
    EXPECT_TRUE(QFileInfo::exists(home_ + "/tree/a/b/f"));
    user.answers = {true, true, true};
    EXPECT_TRUE(side_->RemoveTree(At("tree"), {}, user, whole));
    EXPECT_TRUE(whole);
    EXPECT_FALSE(QFileInfo::exists(home_ + "/tree"));
    EXPECT_TRUE(user.told.isEmpty()) << user.told.join('|').toStdString();
}

// The search engine over the side: every odd name found by mask with its size, names
// relative to the root; a server is searched only so deep (a loop there would never end).
TEST_P(SideContract, SearchFindsByMaskAndGoesOnlySoDeepOnAServer) {
    QString chain = home_ + "/deep";
    for (int level = 0; level < 34; ++level)
        chain += "/n";
    QDir().mkpath(chain);
    ASSERT_TRUE(WriteRaw(QFile::encodeName(chain + "/bottom.txt"), "b"));
    SearchJob job;
    job.side = side_;
    job.root = base_ + "/";
    job.mask = "*";
    RunSearch(job);
    std::set<QString> names;
    for (SearchHit& h : job.TakeHits()) {
        names.insert(h.record.name);
        if (!h.complete) EXPECT_TRUE(CompleteHitRecord(job.root, h.record));
        if (h.record.name == "50%") EXPECT_EQ(h.record.size, 300u);
        EXPECT_EQ(h.kind, Remote() ? kEntryFtp : kEntryFile);
    }
    std::set<QString> expected = OddNamesAnd({"sub dir/inner.txt"});
    if (!Remote()) expected.insert("deep" + chain.mid(home_.size() + 5) + "/bottom.txt");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(job.tooDeep.load(), Remote() ? 1 : 0);
}

// Which mistakes: a transfer that hangs or ends as a success when the server dies under it,
// a failure with nothing to tell, a side still taken for usable on the dead connection.
TEST_P(SideContract, ServerKilledMidTransferIsAFailureThatSaysSo) {
    if (!Remote()) GTEST_SKIP() << "no server to kill";
    ASSERT_TRUE(WriteRaw(QFile::encodeName(home_ + "/big"), Pattern(64 * 1024 * 1024)));
    uint64_t got = 0;
    const bool ok = side_->ReadFile(
        At("big"),
        [&](const char*, size_t n) {
            if (got == 0) peer_.server->Stop();
            got += n;
            return true;
        },
        control);
    EXPECT_FALSE(ok);
    EXPECT_LT(got, uint64_t(64 * 1024 * 1024));
    EXPECT_FALSE(side_->ErrorText().isEmpty());
    std::vector<ListedEntry> entries;
    EXPECT_FALSE(side_->List(base_ + "/", entries, false));
    EXPECT_FALSE(side_->Usable());
}

const SideKind kSides[] = {
    {"Local", false, {}, false},
    {"CurlPyftpdlib", true, PeerKind::Pyftpdlib, false},
    {"OwnClientPyftpdlib", true, PeerKind::Pyftpdlib, true},
    {"CurlVsftpd", true, PeerKind::Vsftpd, false},
    {"CurlVsftpdTls", true, PeerKind::VsftpdTls, false},
    {"CurlSftp", true, PeerKind::Sftp, false},
};
INSTANTIATE_TEST_SUITE_P(EverySide, SideContract, ::testing::ValuesIn(kSides),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmar::test
