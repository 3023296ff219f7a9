// The server list dialogs, driven as a user would: their enabled states, the port rule, and
// what is stored however they close.
#include "filemgr/FtpDialogs.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "support/MessageScript.h"

#include "support/Printers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace velmar::test {
namespace {

using namespace ids;

class FtpDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        SaveFtpServerList({{"one", "p1", "u1", 0, 21}, {"two", QString(), "u2", 1, 2121}});
    }
    void TearDown() override { SetDialogHookForTesting(nullptr); }

    static std::array<bool, 3> States(const QDialog& d) {
        return {FindControl<QPushButton>(&d, kIdOk)->isEnabled(),
                FindControl<QPushButton>(&d, kIdcServerEdit)->isEnabled(),
                FindControl<QPushButton>(&d, kIdcServerDelete)->isEnabled()};
    }
    static void Click(const QDialog& d, int id) { FindControl<QPushButton>(&d, id)->click(); }
    // The "Enter FTP address" dialog is answered with these values (Save).
    static void AnswerAddress(const QString& host, const QString& port) {
        SetDialogHookForTesting([=](QDialog* d) {
            if (ControlIdOf(d) != kDlgFtpAddress) return;
            FindControl<QLineEdit>(d, kIdcFtpHost)->setText(host);
            FindControl<QLineEdit>(d, kIdcFtpPort)->setText(port);
            FindControl<QCheckBox>(d, kIdcFtpAskPassword)->setChecked(true);
            Click(*d, kIdOk);
        });
    }
};

TEST_F(FtpDialogs, ButtonsFollowTheSelectionAndEditsAreStored) {
    {
        CFtpServersDialog d;
        auto* list = FindControl<QListWidget>(&d, kIdcServerList);
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(1)->text(), "two:2121  u2");
        EXPECT_EQ(States(d), (std::array<bool, 3>{false, false, false}));
        list->setCurrentRow(1);
        EXPECT_EQ(States(d), (std::array<bool, 3>{true, true, true}));
        list->clearSelection();
        EXPECT_EQ(States(d), (std::array<bool, 3>{false, false, false}));

        AnswerAddress("three", "990");
        Click(d, kIdcServerNew);
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->item(2)->text(), "three:990  anonymous");

        list->setCurrentRow(0);
        AnswerAddress("uno", "2100");
        Click(d, kIdcServerEdit);
        EXPECT_EQ(list->item(0)->text(), "uno:2100  u1");

        list->setCurrentRow(1);
        Click(d, kIdcServerDelete);
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(States(d), (std::array<bool, 3>{false, false, false}));

        list->setCurrentRow(1);
        Click(d, kIdOk); // Connect
        EXPECT_EQ(d.result(), (CFtpNode{"three", {}, {}, 1, 990}));
    }
    // Fields the edit left alone stay.
    EXPECT_EQ(LoadFtpServerList(),
              (std::vector<CFtpNode>{{"uno", "p1", "u1", 1, 2100}, {"three", {}, {}, 1, 990}}));
}

TEST_F(FtpDialogs, CancelAfterDeletingTheOnlyEntryLeavesAnEmptyList) {
    SaveFtpServerList({{"only", {}, {}, 0, 21}});
    {
        CFtpServersDialog d;
        FindControl<QListWidget>(&d, kIdcServerList)->setCurrentRow(0);
        Click(d, kIdcServerDelete);
        Click(d, kIdCancel);
        EXPECT_EQ(d.result().host, QString());
    }
    EXPECT_TRUE(LoadFtpServerList().empty());
}

TEST_F(FtpDialogs, PortOutsideTheRangeIsRefusedWithAMessage) {
    // A port typed and whether the dialog takes it.
    using Row = std::tuple<const char*, bool>;
    const Row cases[] = {{"0", false}, {"65536", false}, {"-21", false}, {"ftp", false},
                         {"", false},  {"1", true},      {"65535", true}};
    for (const auto& [port, accepted] : cases) {
        MessageScript messages;
        CFtpAddressDialog d(CFtpNode{});
        EXPECT_EQ(FindControl<QLineEdit>(&d, kIdcFtpPort)->text(), "21");
        FindControl<QLineEdit>(&d, kIdcFtpPort)->setText(QString::fromLatin1(port));
        d.accept();
        EXPECT_EQ(d.result() == QDialog::Accepted, accepted) << port;
        EXPECT_EQ(messages.shown.size(), accepted ? 0 : 1) << port;
    }
}

// Which mistakes: the port not following the protocol (or overwriting one the user typed), the
// protocol lost on the way to the store, another entry's protocol given to an entry after the
// list changed under it, a damaged value read as anything but FTP, a list too large to store
// closing the dialog and losing the edits.
TEST_F(FtpDialogs, ProtocolFollowsThePortAndIsStoredBesideTheList) {
    CFtpNode node{"h", {}, "u", 0, 21};
    CFtpAddressDialog d(node);
    auto* protocol = d.findChild<QComboBox*>("ftpProtocol");
    auto* port = FindControl<QLineEdit>(&d, kIdcFtpPort);
    protocol->setCurrentIndex(protocol->findText("SFTP"));
    EXPECT_EQ(port->text(), "22");
    protocol->setCurrentIndex(protocol->findText("FTP over TLS"));
    EXPECT_EQ(port->text(), "21");
    port->setText("2121");
    protocol->setCurrentIndex(protocol->findText("SFTP"));
    EXPECT_EQ(port->text(), "2121");
    d.accept();
    EXPECT_EQ(d.node().protocol, FtpProtocol::Sftp);

    const std::vector<CFtpNode> before = LoadFtpServerList();
    std::vector<CFtpNode> nodes = {{"a", {}, "u", 0, 22, FtpProtocol::Sftp},
                                   {"a", {}, "u", 0, 21, FtpProtocol::FtpTls},
                                   {"b", {}, {}, 0, 21}};
    ASSERT_TRUE(SaveFtpServerList(nodes));
    EXPECT_EQ(LoadFtpServerList(), nodes);
    // The list without its first entry under the old protocol lines (a program that knows no
    // protocols rewrote it), and damaged lines: nobody gets another's protocol.
    std::vector<CFtpNode> shifted(nodes.begin() + 1, nodes.end());
    ApplyProtocolLines(ProtocolLines(nodes), shifted);
    EXPECT_EQ(shifted[0].protocol, FtpProtocol::Ftp);
    ApplyProtocolLines({"SFTP", "\xff"}, nodes);
    EXPECT_EQ(nodes[0].protocol, FtpProtocol::Ftp);

    // Too large to store: said, the dialog stays open, and the stored list is the old one.
    ASSERT_TRUE(SaveFtpServerList(before));
    MessageScript messages;
    {
        CFtpServersDialog servers;
        AnswerAddress(QString(40000, 'h'), "21");
        Click(servers, kIdcServerNew);
        Click(servers, kIdCancel);
        EXPECT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(servers.nodes().size(), before.size() + 1);
        // Deleting the long entry lets it close.
        FindControl<QListWidget>(&servers, kIdcServerList)->setCurrentRow(int(before.size()));
        Click(servers, kIdcServerDelete);
        Click(servers, kIdCancel);
    }
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(LoadFtpServerList(), before);
}

TEST_F(FtpDialogs, LoginDialogStartsWithTheEntrysUser) {
    CFtpLoginDialog d("u2");
    EXPECT_EQ(FindControl<QLineEdit>(&d, kIdcLoginUser)->text(), "u2");
    EXPECT_EQ(FindControl<QLineEdit>(&d, kIdcLoginPassword)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.password(), QString());
}

} // namespace
} // namespace velmar::test
