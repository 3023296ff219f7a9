// The terminal window against a real TCP peer on 127.0.0.1: what keys, characters and
// tool-bar buttons send, the size, connect, font and save commands, and the drawing.
#include "TelnetTestSupport.h"

#include "settings/SettingsStore.h"
#include "framework/Dialogs.h"
#include "platform/Settings.h"
#include "res/Ids.h"
#include "support/FtpServer.h"
#include "support/TempDir.h"
#include "telnet/TelnetProtocol.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace velmar;
using namespace velmar::telnet;

namespace {

struct KeyCase {
    const char* name;
    int key; // a Qt::Key, or a character typed as such
    Qt::KeyboardModifiers mods;
    bool keypad;
    QByteArray sent;
};

TEST_F(TerminalWindow, KeysAndCharactersSendTheirBytes) {
    ConnectToPeer();
    const KeyCase cases[] = {
        {"Letter", 'a', Qt::NoModifier, false, "a"},
        {"ShiftedLetter", 'A', Qt::ShiftModifier, false, "A"},
        {"ShiftedPunctuation", '!', Qt::ShiftModifier, false, "!"},
        {"Up", Qt::Key_Up, Qt::NoModifier, false, "\033[A"},
        {"UpInKeypadMode", Qt::Key_Up, Qt::NoModifier, true, "\033OA"},
        {"Left", Qt::Key_Left, Qt::NoModifier, false, "\033[D"},
        {"F1", Qt::Key_F1, Qt::NoModifier, false, "\0331"},
        {"F6InKeypadMode", Qt::Key_F6, Qt::NoModifier, true, "\033[17~"},
        {"F11", Qt::Key_F11, Qt::NoModifier, false, "\03311"},
        {"Home", Qt::Key_Home, Qt::NoModifier, false, "\033["},
        {"End", Qt::Key_End, Qt::NoModifier, false, "\033[e"},
        {"PageDown", Qt::Key_PageDown, Qt::NoModifier, false, "\033[6~"},
        {"Insert", Qt::Key_Insert, Qt::NoModifier, false, "\033[2~"},
        {"EnterIsCrLf", Qt::Key_Return, Qt::NoModifier, false, "\r\n"},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, false, "\t"},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, false, "\033[3~"},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, false, "\b"},
        {"CtrlC", Qt::Key_C, Qt::ControlModifier, false, "\x03"},
        {"CtrlQ", Qt::Key_Q, Qt::ControlModifier, false, "\x91"},
        {"CtrlS", Qt::Key_S, Qt::ControlModifier, false, "\x93"},
        {"CtrlSpace", Qt::Key_Space, Qt::ControlModifier, false, B({0})},
        {"CtrlDigit", Qt::Key_1, Qt::ControlModifier, false, B({0})},
        {"AltLetter", Qt::Key_A, Qt::AltModifier, false, B({0})},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        view->Feed(c.keypad ? "\033=" : "\033>");
        if (c.key < 128)
            QTest::keyClick(view, char(c.key), c.mods);
        else
            QTest::keyClick(view, Qt::Key(c.key), c.mods);
        EXPECT_EQ(Received(c.sent.size()), c.sent);
    }
}

TEST_F(TerminalWindow, EscapeIsAPrefixAndToolBarKeysSendOnlyWithAConnection) {
    CommandState state;
    ASSERT_TRUE(frame->QueryCommand(ids::kCmdTermCtrlC, state));
    EXPECT_FALSE(state.enabled);
    ASSERT_TRUE(frame->QueryCommand(ids::kCmdTelnetSave, state));
    EXPECT_TRUE(state.enabled);
    ConnectToPeer();
    ASSERT_TRUE(frame->QueryCommand(ids::kCmdTermCtrlC, state));
    EXPECT_TRUE(state.enabled);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(view->terminal()->escapePrefix());
    QTest::keyClick(view, Qt::Key_X);
    EXPECT_EQ(Received(2), "\033x");
    QTest::keyClick(view, Qt::Key_Escape);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(Received(2), "\0330");

    const std::pair<int, QByteArray> buttons[] = {
        {ids::kCmdTermDelete, "\033[3~"}, {ids::kCmdTermCtrlC, "\x03"},
        {ids::kCmdTermCtrlD, "\x04"},     {ids::kCmdTermCtrlS, "\x93"},
        {ids::kCmdTermCtrlQ, "\x91"},     {ids::kCmdTermCtrlZ, "\x1a"},
    };
    for (const auto& [id, bytes] : buttons) {
        ASSERT_TRUE(frame->RouteCommand(id));
        EXPECT_EQ(Received(bytes.size()), bytes) << id;
    }
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTermEscape));
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTermEscape));
    EXPECT_EQ(Received(2), "\0330");
}

TEST_F(TerminalWindow, SizeDialogAppliesItsRulesAndTellsTheHost) {
    ConnectToPeer();
    SetDialogHookForTesting([](QDialog* d) {
        ASSERT_EQ(ControlIdOf(d), ids::kDlgTelnetOption);
        FindControl<QLineEdit>(d, ids::kIdcTelnetLines)->setText("25");
        FindControl<QLineEdit>(d, ids::kIdcTelnetRows)->setText("30");
        FindControl<QLineEdit>(d, ids::kIdcTelnetColumns)->setText("300");
        d->accept();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetOption));
    EXPECT_EQ(view->emulation().lines(), 25);
    EXPECT_EQ(view->emulation().rows(), 24);
    EXPECT_EQ(view->emulation().columns(), 80);
    EXPECT_EQ(Received(12), WindowSizeUpdate(80, 23));
    EXPECT_EQ(view->pictureSize(), QSize(80 * view->cellWidth() + 3,
                                         view->emulation().viewLines() * view->cellHeight() + 3));

    SetDialogHookForTesting([](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcTelnetLines)->setText("99999999");
        d->accept();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetOption));
    EXPECT_EQ(messages.shown, QStringList{"Out of memory. Please decrease buffer size"});
    EXPECT_EQ(view->emulation().lines(), 25);

    // A new connection starts again from the reset size.
    ConnectToPeer();
    EXPECT_EQ(view->emulation().lines(), 1000);
    EXPECT_EQ(view->emulation().rows(), 25);
}

TEST_F(TerminalWindow, ConnectDialogKeepsTheHostHistory) {
    SaveHistory("Telnet", "LastHosts", {"zeta", "alpha"});
    QStringList listed;
    const quint16 port = peer.port();
    auto answer = [&](QDialog* d) {
        ASSERT_EQ(ControlIdOf(d), ids::kDlgTelnetConnect);
        auto* host = FindControl<QComboBox>(d, ids::kIdcTelnetHost);
        listed.clear();
        for (int k = 0; k < host->count(); ++k)
            listed << host->itemText(k);
        host->setEditText("127.0.0.1");
        FindControl<QLineEdit>(d, ids::kIdcTelnetPort)->setText(QString::number(port));
        d->accept();
    };
    SetDialogHookForTesting(answer);
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetConnect));
    EXPECT_EQ(listed, (QStringList{"alpha", "zeta"}));
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetConnect));
    EXPECT_EQ(LoadHistory("Telnet", "LastHosts"), (QStringList{"127.0.0.1", "zeta", "alpha"}));
    EXPECT_EQ(view->lastHost(), "127.0.0.1");
    EXPECT_EQ(frame->windowTitle(), "127.0.0.1 - Telnet terminal (CE velmar)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->connected(); }, 10000));
}

TEST_F(TerminalWindow, SaveWritesTheNonEmptyLines) {
    test::TempDir dir;
    const QString path = dir.path() + "/buffer.txt";
    view->Feed("\n\nlogin:\n\n\xC4x");
    SetDialogHookForTesting([&](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(files, nullptr);
        files->selectFile(path);
        QMetaObject::invokeMethod(files, "accept");
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetSave));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "login:\r\n\xC4x\r\n");
    file.close();

    // Replacing a file asks first; No keeps it.
    view->Feed("\nmore");
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetSave));
    ASSERT_EQ(messages.shown.size(), 1);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "login:\r\n\xC4x\r\n");
}

TEST_F(TerminalWindow, FontDialogStoresTheFaceAndTheTypedHeight) {
    const int before = view->cellHeight();
    QString chosen;
    SetDialogHookForTesting([&](QDialog* d) {
        ASSERT_EQ(ControlIdOf(d), ids::kDlgChooseFont);
        auto* faces = FindControl<QListWidget>(d, ids::kIdcFontFaces);
        ASSERT_GT(faces->count(), 0);
        faces->setCurrentRow(0);
        chosen = faces->currentItem()->text();
        FindControl<QLineEdit>(d, ids::kIdcFontHeight)->setText("30");
        FindControl<QPushButton>(d, 1)->click();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetFont));
    EXPECT_EQ(platform::ReadStringSetting("Telnet", "lfFaceName", {}), chosen);
    EXPECT_EQ(platform::ReadSetting("Telnet", "lfHeight", 0), 30);
    EXPECT_LE(view->cellHeight(), 30);
    EXPECT_GT(view->cellHeight(), before);
}

TEST_F(TerminalWindow, DrawsColoursLineCharactersAndTheCursor) {
    frame->resize(900, 500);
    view->Feed("\033[1;31;44m Red on blue \033[0m\n"
               "\xDA\xC4\xC4\xBF \033[32mgreen\033[0m \033[7mreverse\033[0m\n"
               "\xB3\x41\x42\xB3\n"
               "\xC0\xC4\xC4\xD9 \033[1;33mbright\n");
    view->FlushDamage();
    QApplication::processEvents();
    const QImage image = view->viewport()->grab().toImage();
    const int cw = view->cellWidth(), ch = view->cellHeight();
    const int sy = view->verticalScrollBar()->value();
    auto cellOrigin = [&](int row, int column) {
        return QPoint(column * cw, view->emulation().ScreenToView(row) * ch - sy);
    };
    // Row 0 column 0: a blank on blue.
    EXPECT_EQ(image.pixelColor(cellOrigin(0, 0) + QPoint(2, 2)), QColor(0, 0, 187));
    // Row 1 column 1: byte 196 is a line through the middle in the text colour (grey).
    const QPoint h = cellOrigin(1, 1);
    EXPECT_EQ(image.pixelColor(h + QPoint(1, ch / 2)), QColor(187, 187, 187));
    EXPECT_EQ(image.pixelColor(h + QPoint(1, 1)), QColor(0, 0, 0));
    // Row 2 column 0: byte 179 is a vertical line.
    const QPoint v = cellOrigin(2, 0);
    EXPECT_EQ(image.pixelColor(v + QPoint(cw / 2, 1)), QColor(187, 187, 187));
    // Reverse: grey fill.
    EXPECT_EQ(image.pixelColor(cellOrigin(1, 11) + QPoint(1, 1)), QColor(187, 187, 187));
    // The frame cursor on row 4, column 0.
    EXPECT_EQ(image.pixelColor(cellOrigin(4, 0)), QColor(85, 255, 85));
    // Right of the picture: the default foreground colour.
    if (image.width() > 80 * cw + 3)
        EXPECT_EQ(image.pixelColor(80 * cw + 5, 2), QColor(187, 187, 187));
}

TEST_F(TerminalWindow, FailedConnectionSaysWhyOnceAndKeepsTheScreen) {
    const int closed = test::FreePort();
    ASSERT_NE(closed, 0);
    const struct {
        const char* host;
        quint16 port;
        const char* why;
    } cases[] = {
        {"127.0.0.1", quint16(closed), "refused"},
        {"no-such-host.invalid", 23, "not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        messages.shown.clear();
        view->Connect(c.host, c.port);
        view->Feed("still here");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 20000));
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown[0].startsWith("Connection error: ")) << messages.shown[0].toStdString();
        EXPECT_TRUE(messages.shown[0].contains(c.why, Qt::CaseInsensitive))
            << messages.shown[0].toStdString();
        EXPECT_FALSE(view->connected());
        EXPECT_EQ(view->terminal()->RowBytes(0), "still here");
        // Typing afterwards goes nowhere and says nothing.
        QTest::keyClicks(view, "abc");
        QTest::qWait(50);
        EXPECT_EQ(messages.shown.size(), 1);
    }
}

} // namespace
