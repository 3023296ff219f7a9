// The terminal window against a real TCP peer on 127.0.0.1: what keys, characters and
// tool-bar buttons send, the size, connect, font and save commands, and the drawing.
#include "TelnetTestSupport.h"

#include "platform/Settings.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"
#include "support/FtpServer.h"
#include "support/Gui.h"
#include "telnet/TelnetProtocol.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace velmar;
using namespace velmar::telnet;

namespace {

TEST_F(TerminalWindow, KeysAndCharactersSendTheirBytes) {
    ConnectToPeer();
    // The key (a Qt::Key, or a character typed as such), its modifiers, whether the host set
    // the keypad's application mode, and the bytes sent.
    const std::tuple<const char*, int, Qt::KeyboardModifiers, bool, QByteArray> cases[] = {
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
        {"ShiftTabIsATab", Qt::Key_Backtab, Qt::ShiftModifier, false, "\t"},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, false, "\033[3~"},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, false, "\b"},
        {"CtrlC", Qt::Key_C, Qt::ControlModifier, false, "\x03"},
        {"CtrlSpace", Qt::Key_Space, Qt::ControlModifier, false, B({0})},
        {"CtrlDigit", Qt::Key_1, Qt::ControlModifier, false, B({0})},
        {"AltLetter", Qt::Key_A, Qt::AltModifier, false, B({0})},
    };
    for (const auto& [name, key, mods, keypad, sent] : cases) {
        SCOPED_TRACE(name);
        view->Feed(keypad ? "\033=" : "\033>");
        if (key < 128)
            QTest::keyClick(view, char(key), mods);
        else
            QTest::keyClick(view, Qt::Key(key), mods);
        EXPECT_EQ(Received(sent.size()), sent);
    }
    // A typed byte 255 is data: it goes doubled, or the host would read a command.
    QKeyEvent y(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0xFF)));
    QApplication::sendEvent(view, &y);
    EXPECT_EQ(Received(2), B({255, 255}));
}

TEST_F(TerminalWindow, EscapeIsAPrefixAndToolBarKeysSendOnlyWithAConnection) {
    const auto enabled = [&](int id) {
        CommandState state;
        return frame->QueryCommand(id, state) && state.enabled;
    };
    EXPECT_FALSE(enabled(ids::kCmdTermCtrlC));
    EXPECT_TRUE(enabled(ids::kCmdTelnetSave));
    ConnectToPeer();
    EXPECT_TRUE(enabled(ids::kCmdTermCtrlC));
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
    const Emulation& e = view->emulation();
    EXPECT_EQ(std::tuple(e.lines(), e.rows(), e.columns()), std::tuple(25, 24, 80));
    EXPECT_EQ(Received(12), WindowSizeUpdate(80, 23));
    EXPECT_EQ(view->pictureSize(),
              QSize(80 * view->cellWidth() + 3, e.viewLines() * view->cellHeight() + 3));

    SetDialogHookForTesting([](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcTelnetLines)->setText("99999999");
        d->accept();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetOption));
    EXPECT_EQ(messages.shown, QStringList{"Out of memory. Please decrease buffer size"});
    EXPECT_EQ(e.lines(), 25);

    // A new connection starts again from the reset size.
    ConnectToPeer();
    EXPECT_EQ(std::pair(view->emulation().lines(), view->emulation().rows()), std::pair(1000, 25));
}

TEST_F(TerminalWindow, ConnectDialogKeepsTheHostHistory) {
    SaveHistory("Telnet", "LastHosts", {"zeta", "alpha"});
    QStringList listed;
    SetDialogHookForTesting([&](QDialog* d) {
        ASSERT_EQ(ControlIdOf(d), ids::kDlgTelnetConnect);
        auto* host = FindControl<QComboBox>(d, ids::kIdcTelnetHost);
        listed = test::ItemTexts(*host);
        host->setEditText("127.0.0.1");
        // The port follows the protocol until the user types one.
        auto* protocol = FindControl<QComboBox>(d, ids::kIdcTelnetProtocol);
        auto* portField = FindControl<QLineEdit>(d, ids::kIdcTelnetPort);
        EXPECT_EQ(protocol->currentIndex(), 0);
        EXPECT_EQ(portField->text(), "23");
        protocol->setCurrentIndex(1);
        EXPECT_EQ(portField->text(), "22");
        portField->setText("2222");
        protocol->setCurrentIndex(0);
        EXPECT_EQ(portField->text(), "2222");
        portField->setText(QString::number(peer.server.serverPort()));
        d->accept();
    });
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
    EXPECT_EQ(test::ReadAll(path), "login:\r\n\xC4x\r\n");

    // Replacing a file asks first; No keeps it.
    view->Feed("\nmore");
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetSave));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(test::ReadAll(path), "login:\r\n\xC4x\r\n");
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

    // A typed width sets the cells' width, and stays for the next start.
    telnet::StoreFontDescription({});
    view->ApplyFontAndLayout();
    const int natural = view->cellWidth();
    SetDialogHookForTesting([&](QDialog* d) {
        FindControl<QLineEdit>(d, ids::kIdcFontWidth)->setText(QString::number(natural * 2));
        FindControl<QPushButton>(d, 1)->click();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetFont));
    EXPECT_EQ(platform::ReadSetting("Telnet", "lfWidth", 0), natural * 2);
    EXPECT_NEAR(view->cellWidth(), natural * 2, 2);
}

TEST_F(TerminalWindow, DrawsColoursLineCharactersAndTheCursor) {
    // The window opens wide enough for all 80 columns.
    EXPECT_GE(view->viewport()->width(), 80 * view->cellWidth() + 3);
    frame->resize(900, 500);
    view->Feed("\033[1;31;44m Red on blue \033[0m\n"
               "\xDA\xC4\xC4\xBF \033[32mgreen\033[0m \033[7mreverse\033[0m\n"
               "\xB3\x41\x42\xB3\n"
               "\xC0\xC4\xC4\xD9 \033[1;33mbright\n");
    view->FlushDamage();
    QApplication::processEvents();
    // Cells as wide as the face's letters ("D e b i a n" had a gap after each), and the screen
    // at the top of the window while there is no scrollback.
    EXPECT_EQ(view->cellWidth(), QFontMetrics(view->font()).horizontalAdvance(QLatin1Char('D')));
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
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
    const std::tuple<const char*, quint16, const char*> cases[] = {
        {"127.0.0.1", quint16(closed), "refused"}, {"no-such-host.invalid", 23, "not found"}};
    for (const auto& [host, port, why] : cases) {
        SCOPED_TRACE(host);
        messages.shown.clear();
        view->Connect(host, port);
        view->Feed("still here");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.shown.isEmpty(); }, 20000));
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown[0].startsWith("Connection error: "))
            << messages.shown[0].toStdString();
        EXPECT_TRUE(messages.shown[0].contains(why, Qt::CaseInsensitive))
            << messages.shown[0].toStdString();
        EXPECT_FALSE(view->connected());
        EXPECT_EQ(view->terminal()->RowBytes(0), "still here");
        // Typing afterwards goes nowhere and says nothing.
        QTest::keyClicks(view, "abc");
        QTest::qWait(50);
        EXPECT_EQ(messages.shown.size(), 1);
    }
}

TEST_F(TerminalWindow, HiddenWindowHoldsTheHostBackAndCatchesUpInSlices) {
    ConnectToPeer();
    frame->hide();
    QByteArray chunk;
    while (chunk.size() < (1 << 20))
        chunk += "\033[32mbacklog\033[0m line of text\r\n";
    for (int k = 0; k < 32; ++k)
        peer.socket->write(chunk);
    peer.socket->write("END OF BACKLOG");
    QTest::qWait(500);
    // Nothing read while hidden: the socket holds at most its bound, the rest waits at the host.
    EXPECT_LE(view->socket()->bytesAvailable(), telnet::TelnetSession::kReadBuffer);
    EXPECT_GT(peer.socket->bytesToWrite(), 0);

    // Shown again, the backlog is read a slice per turn of the event loop.
    int turns = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++turns; });
    tick.start(0);
    frame->show();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->emulation().RowText(view->emulation().cursorY()) == "END OF BACKLOG"; },
        60000));
    EXPECT_GT(turns, 100);
}

TEST_F(TerminalWindow, XtermChosenInOptionsIsStoredAnnouncedAndFollowsTheWindow) {
    SetDialogHookForTesting([](QDialog* d) {
        auto* emulation = FindControl<QComboBox>(d, ids::kIdcTelnetEmulation);
        ASSERT_NE(emulation, nullptr);
        emulation->setCurrentIndex(1);
        d->accept();
    });
    ASSERT_TRUE(frame->RouteCommand(ids::kCmdTelnetOption));
    EXPECT_EQ(platform::ReadStringSetting("Telnet", "Emulation", {}), "xterm");
    ASSERT_EQ(view->session().kind(), EmulationKind::Xterm);
    const Emulation& e = view->emulation();
    EXPECT_EQ(e.columns(), (view->viewport()->width() - 3) / view->cellWidth());
    EXPECT_EQ(e.rows(), (view->viewport()->height() - 3) / view->cellHeight());

    ConnectToPeer();
    peer.socket->write(B({255, 253, 24, 255, 253, 31}));
    const QByteArray type = B({255, 251, 24, 255, 250, 24, 0}) + "xterm-256color" + B({255, 240});
    const QByteArray size = B({255, 251, 31, 255, 250, 31, 0, e.columns(), 0, e.rows(), 255, 240});
    EXPECT_EQ(Received(type.size() + size.size()), type + size);
    // Every new window size goes to the host that asked for sizes.
    frame->resize(frame->width() - 5 * view->cellWidth(), frame->height() - 3 * view->cellHeight());
    QApplication::processEvents();
    // (one report per size the window passed through; the last is the one that counts)
    const QByteArray reports = Received(9);
    EXPECT_EQ(reports.size() % 9, 0);
    EXPECT_TRUE(reports.endsWith(B({255, 250, 31, 0, e.columns(), 0, e.rows(), 255, 240})));
    // Queries are answered through the session.
    peer.socket->write("\033[3;5H\033[6n");
    EXPECT_EQ(Received(6), "\033[3;5R");
    // Keys go through xterm's table (the whole table: the emulation's own tests).
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(Received(1), "\x7f");
}

TEST_F(TerminalWindow, SelectCopyAndPasteInBothEmulations) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (const EmulationKind kind : {EmulationKind::Ansi, EmulationKind::Xterm}) {
        SCOPED_TRACE(kind == EmulationKind::Xterm ? "xterm" : "ansi");
        view->session().Close();
        view->session().SetKind(kind);
        ConnectToPeer();
        view->Feed("hello world\r\nsecond line\r\n");
        QApplication::processEvents();
        QWidget* port = view->viewport();
        const int top = view->emulation().ScreenToView(0);

        // Drag over "hello"; Ctrl+Shift+C copies it.
        QTest::mousePress(port, Qt::LeftButton, {}, CellPoint(top, 0));
        QTest::mouseMove(port, CellPoint(top, 3));
        QTest::mouseRelease(port, Qt::LeftButton, {}, CellPoint(top, 5));
        EXPECT_EQ(view->SelectedText(), "hello");
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(clipboard->text(), "hello");
        EXPECT_TRUE(peer.got.isEmpty()); // the copy keys are not sent

        // Across lines, the blanks at a line's end are left out.
        QTest::mousePress(port, Qt::LeftButton, {}, CellPoint(top, 6));
        QTest::mouseRelease(port, Qt::LeftButton, {}, CellPoint(top + 1, 6));
        EXPECT_EQ(view->SelectedText(), "world\nsecond");

        // A double click takes a word; a middle click pastes the primary selection (where
        // the platform has none, the clipboard).
        QTest::mouseDClick(port, Qt::LeftButton, {}, CellPoint(top + 1, 9));
        EXPECT_EQ(view->SelectedText(), "line");
        QTest::mouseClick(port, Qt::MiddleButton, {}, CellPoint(top, 0));
        const QByteArray middle = clipboard->supportsSelection() ? "line" : "hello";
        EXPECT_EQ(Received(middle.size()), middle);

        // Ctrl+Shift+V types the clipboard, a line end (CR LF or LF) as one Enter key.
        clipboard->setText("ls -l\r\ncd /tmp\n");
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        const QByteArray enter = kind == EmulationKind::Xterm ? "\r" : "\r\n";
        EXPECT_EQ(Received(12 + 2 * enter.size()), "ls -l" + enter + "cd /tmp" + enter);
    }
}

} // namespace
