// The file-manager frame under the offscreen platform: layout, orientation switch with the
// same two panes, per-pane routing, menu bars by style, Preferences, the path field and
// the battery gauge.
#include "filemgr/MainFrame.h"
#include "../filemgr/PaneTestSupport.h"
#include "filemgr/BatteryGauge.h"
#include "filemgr/PaneDelegate.h"
#include "filemgr/PathBar.h"
#include "filemgr/Preferences.h"
#include "framework/PostedEvents.h"
#include "platform/Power.h"
#include "platform/Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <optional>

using namespace velmar;

namespace {

// Each test starts from a fresh settings store.
struct FreshSettings : ::testing::Test {
    test::TempDir dir;
    FreshSettings() { platform::SetSettingsFolderForTesting(dir.path()); }
    ~FreshSettings() override { platform::SetSettingsFolderForTesting(QString()); }
};

class RecordingFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    std::vector<std::pair<CPaneList*, int>> sent;

protected:
    void SendToPane(CPaneList* pane, int id) override { sent.emplace_back(pane, id); }
};

class CountingView : public QWidget, public CView {
public:
    int updates = 0;
    QWidget* widget() override { return this; }
    void OnUpdate(CView*) override { ++updates; }
};

// Installed while it lives.
struct FakePower : platform::PowerSource {
    int reads = 0;
    FakePower() { platform::SetPowerSourceForTesting(this); }
    ~FakePower() override { platform::SetPowerSourceForTesting(nullptr); }
    bool Read(platform::PowerStatus& s) override {
        ++reads;
        s = platform::PowerStatus{};
        s.batteryLifePercent = 100;
        return true;
    }
};

// The two panes share the room, give or take the handle.
bool Halved(CMainFrame& frame) {
    const QList<int> sizes = frame.splitter()->sizes();
    return sizes.size() == 2 &&
           std::abs(sizes[0] - sizes[1]) <= frame.splitter()->handleWidth() + 1;
}

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

TEST(FrameLayout, SplitterAbovePathFieldWithTheGaugeAtTheBottomRight) {
    const FrameLayout l = ComputeFrameLayout(240, 300);
    EXPECT_EQ(l.splitter, QRect(0, 0, 240, 282));
    EXPECT_EQ(l.pathBar, QRect(0, 282, 234, 18));
    EXPECT_EQ(l.gauge, QRect(234, 282, 6, 18));
    // A client too small for the strip never yields negative sizes.
    const FrameLayout tiny = ComputeFrameLayout(4, 10);
    EXPECT_GE(tiny.splitter.height(), 0);
    EXPECT_GE(tiny.pathBar.width(), 0);
}

using MainFrame = FreshSettings;

TEST_F(MainFrame, LayoutOrientationSwitchAndTheGaugeOnMessage0x467) {
    FakePower power;
    CVelmarDoc doc;
    CMainFrame frame(&doc);
    frame.resize(400, 400);
    frame.show();
    Settle();
    QWidget* client = frame.centralWidget();
    const FrameLayout l = ComputeFrameLayout(client->width(), client->height());
    EXPECT_EQ(frame.splitter()->geometry(), l.splitter);
    EXPECT_EQ(frame.pathBar()->geometry(), l.pathBar);
    EXPECT_EQ(frame.gauge()->geometry(), l.gauge);
    // Side by side by default ("Horizontal Panes" 1), each pane half the width.
    EXPECT_EQ(frame.splitter()->orientation(), Qt::Horizontal);
    EXPECT_TRUE(Halved(frame));

    const int reads = power.reads;
    QCoreApplication::postEvent(&frame, new QEvent(kGaugeRepaintEventType));
    Settle();
    EXPECT_GT(power.reads, reads);
    EXPECT_EQ(frame.gauge()->grab().toImage().pixelColor(2, 5), QColor(0, 255, 0));

    // Stacking keeps both pane objects.
    CPaneList* first = frame.firstPane();
    CPaneList* second = frame.secondPane();

    frame.SetStacked(true);
    Settle();
    EXPECT_EQ(frame.splitter()->orientation(), Qt::Vertical);
    EXPECT_EQ(std::pair(frame.firstPane(), frame.secondPane()), std::pair(first, second));
    EXPECT_EQ(frame.splitter()->widget(0), first);
    EXPECT_LT(first->geometry().bottom(), second->geometry().top());
    EXPECT_TRUE(Halved(frame));
    EXPECT_EQ(doc.views().size(), 2u);

    frame.SetStacked(false);
    Settle();
    EXPECT_LT(first->geometry().right(), second->geometry().left());
    EXPECT_TRUE(Halved(frame));
}

TEST_F(MainFrame, PanesSetTheBarOfTheirStyleUpAndDownWhenStacked) {
    WriteStoreSetting("Horizontal Panes", 0);
    WriteStoreSetting("LikeNC", 1);
    CVelmarDoc doc;
    CMainFrame frame(&doc);
    EXPECT_TRUE(frame.stacked());
    EXPECT_EQ(frame.commandBarId(), ids::kMenuLikeNcStacked); // built once, not replaced
    for (CView* v : doc.views())
        v->OnInitialUpdate();
    EXPECT_EQ(frame.commandBarId(), ids::kMenuLikeNcStacked);
    // Horizontal Panes, LikeNC, the bar and its menus; the path field (white on black) and the
    // gauge follow the style of the bar.
    using Row = std::tuple<int, int, int, QStringList>;
    const Row styles[] = {{0, 1, ids::kMenuLikeNcStacked, {"&Up", "File", "&Cmd", "&Down"}},
                          {0, 0, ids::kMenuFileManager, {"&File", "Cmds", "&About"}},
                          {1, 1, ids::kMenuLikeNcSideBySide, {"&Left", "File", "&Cmd", "&Right"}}};
    for (const auto& [horizontal, likeNc, bar, titles] : styles) {
        SCOPED_TRACE(bar);
        WriteStoreSetting("Horizontal Panes", horizontal);
        WriteStoreSetting("LikeNC", likeNc);
        doc.UpdateAllViews();
        EXPECT_EQ(frame.commandBarId(), bar);
        EXPECT_EQ(test::MenuTitles(frame), titles);
        EXPECT_EQ(frame.pathBar()->likeNc(), bool(likeNc));
        EXPECT_EQ(frame.gauge()->likeNc(), bool(likeNc));
        const QPalette colours = frame.pathBar()->palette();
        EXPECT_EQ(colours.color(QPalette::Base) == Qt::black, bool(likeNc));
        EXPECT_EQ(colours.color(QPalette::Text) == Qt::white, bool(likeNc));
    }
}

TEST_F(MainFrame, PerPaneCommandsGoToTheirFixedPaneWhicheverHasTheFocus) {
    CVelmarDoc doc;
    RecordingFrame frame(&doc);
    frame.SetMenuBar(ids::kMenuLikeNcSideBySide);
    frame.SetActivePane(frame.firstPane());
    frame.UpdateCommandStates();

    frame.action(ids::kCmdSecondInvertSelection)->trigger();
    frame.action(ids::kCmdFirstInvertSelection)->trigger();
    frame.action(ids::kCmdSecondDirSizes)->trigger();
    using Sent = std::vector<std::pair<CPaneList*, int>>;
    EXPECT_EQ(frame.sent, (Sent{{frame.secondPane(), ids::kCmdInvertSelection},
                                {frame.firstPane(), ids::kCmdInvertSelection},
                                {frame.secondPane(), ids::kCmdDirSizes}}));
    EXPECT_EQ(frame.OtherPane(frame.firstPane()), frame.secondPane());
    EXPECT_EQ(frame.OtherPane(frame.secondPane()), frame.firstPane());
    frame.SetActivePane(frame.secondPane());
    EXPECT_EQ(frame.activeView(), static_cast<CView*>(frame.secondPane()));
}

TEST_F(MainFrame, PreferencesOkStoresRearrangesAndUpdatesEveryViewAndCancelDoesNot) {
    WriteStoreSetting("ShowHidden", 0);
    WriteStoreSetting("SendTimeout", 7);
    CVelmarDoc doc;
    CMainFrame frame(&doc);
    frame.resize(400, 400);
    CountingView counter;
    doc.AddView(&counter);
    ASSERT_FALSE(frame.stacked());

    SetDialogHookForTesting([](QDialog* d) {
        EXPECT_EQ(ControlIdOf(d), ids::kDlgPreferences);
        EXPECT_EQ(static_cast<PreferencesDialog*>(d)->values(),
                  (std::array<int, 10>{1, 1, 1, 0, 0, 1, 15, 7, 5, 0}));
        // Every value changed, so that each is seen stored under its own name (ticking
        // "Hide "hidden" files" stores ShowHidden = 1, whatever the label says).
        for (QCheckBox* box : d->findChildren<QCheckBox*>())
            box->toggle();
        FindControl<QSpinBox>(d, ids::kIdcPrefConnectTimeout)->setValue(16);
        FindControl<QSpinBox>(d, ids::kIdcPrefSendTimeout)->setValue(8);
        FindControl<QSpinBox>(d, ids::kIdcPrefReceiveTimeout)->setValue(42);
        d->accept();
    });
    frame.action(ids::kCmdPreferences)->trigger();
    SetDialogHookForTesting(nullptr);

    const std::pair<const char*, int> stored[] = {
        {"Horizontal Panes", 0}, {"QestionOnRewrite", 0}, {"LikeNC", 0},
        {"InternalFTP", 1},      {"ShowHidden", 1},       {"ShowInRom", 0},
        {"ConnectTimeout", 16},  {"SendTimeout", 8},      {"RecieveTimeout", 42},
        {"UseLinger", 1},        {"DeleteToTrash", 0}};
    EXPECT_TRUE(frame.stacked()); // with the same panes: the layout test
    EXPECT_EQ(counter.updates, 1);

    // Cancel stores nothing and updates nothing, whatever was changed.
    SetDialogHookForTesting([](QDialog* d) {
        for (QCheckBox* box : d->findChildren<QCheckBox*>())
            box->toggle();
        FindControl<QSpinBox>(d, ids::kIdcPrefSendTimeout)->setValue(99);
        d->reject();
    });
    frame.RunPreferences();
    SetDialogHookForTesting(nullptr);
    for (const auto& [name, value] : stored)
        EXPECT_EQ(ReadStoreSetting(name), value) << name;
    EXPECT_TRUE(frame.stacked());
    EXPECT_EQ(counter.updates, 1);
    doc.RemoveView(&counter);
}

TEST(PathBarText, LeadingBlanksParametersFromTheFirstBlankAndFtpIgnored) {
    // Text, file and parameters; no file: nothing to launch.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"  /usr/bin/prog -x", "/usr/bin/prog", " -x"},
        {"/home/me/notes.txt", "/home/me/notes.txt", ""},
        {"prog  a  b ", "prog", "  a  b "},
        {"", "", ""},
        {"    ", "", ""},
        {"ftp://host/pub/file", "", ""},
        {"  ftp://host/pub/file", "", ""},
        {"sftp://host:22/etc", "", ""},
        {"ftpes://host:21/pub", "", ""}};
    for (const auto& [text, file, parameters] : cases) {
        const auto c = ParsePathBarText(QString::fromLatin1(text));
        EXPECT_EQ(c ? c->file + '|' + c->parameters : QString(),
                  *file ? QString::fromLatin1(file) + '|' + parameters : QString())
            << text;
    }
    // How a server location is connected: only plain FTP to another machine is clear text.
    const std::pair<const char*, const char*> notes[] = {
        {"ftp://127.0.0.1:21/pub", "plain FTP"},
        {"ftp://[::1]:2121/", "plain FTP"},
        {"ftp://LocalHost:21/", "plain FTP"},
        {"ftp://localhost.example.org:21/", "clear text"},
        {"ftp://127.example.org:21/", "clear text"},
        {"ftp://files.example.org:21/pub", "clear text"},
        {"ftpes://files.example.org:21/", "encrypted (TLS)"},
        {"sftp://files.example.org:22/home", "encrypted (SSH)"},
        {"/usr/share/ftp://x", ""}};
    for (const auto& [text, note] : notes)
        EXPECT_EQ(ConnectionNote(QString::fromLatin1(text)), QString::fromLatin1(note)) << text;
}

namespace {
QImage PaintGauge(bool ok, int percent, bool likeNc) {
    QImage img(kGaugeWidth, kGaugeHeight, QImage::Format_RGB32);
    img.fill(QColor(1, 2, 3));
    QPainter p(&img);
    PaintBatteryGauge(p, img.rect(), ok, percent, likeNc, QColor(128, 128, 128));
    return img;
}
int GreenRows(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(2, y) == QColor(0, 255, 0)) ++n;
    return n;
}
} // namespace

TEST(BatteryGaugeDrawing, ChargeFillsTheInsideFromTheBottomAndUnknownIsPlain) {
    // Inside: x 2..3, y 3..15 (13 rows); never past it.
    for (auto [percent, rows] : {std::pair{0, 0}, {50, 6}, {100, 13}, {150, 13}})
        EXPECT_EQ(GreenRows(PaintGauge(true, percent, false)), rows) << percent;
    const QImage half = PaintGauge(true, 50, false);
    EXPECT_EQ(half.pixelColor(3, 9), QColor(255, 0, 0));
    EXPECT_EQ(half.pixelColor(3, 10), QColor(0, 255, 0));
    // Outline: body and the narrower cap; the cap's corners stay untouched.
    EXPECT_EQ(half.pixelColor(0, 17), QColor(0, 0, 0));
    EXPECT_EQ(half.pixelColor(1, 0), QColor(0, 0, 0));
    EXPECT_EQ(half.pixelColor(0, 0), QColor(1, 2, 3));
    EXPECT_EQ(PaintGauge(true, 50, true).pixelColor(0, 10), QColor(255, 255, 255));
    for (const QImage& img : {PaintGauge(true, 255, false), PaintGauge(false, 50, false)})
        for (int y = 0; y < kGaugeHeight; ++y)
            for (int x = 0; x < kGaugeWidth; ++x)
                ASSERT_EQ(img.pixelColor(x, y), QColor(128, 128, 128));
}

// A LikeNC frame on two folders, the left one holding `names`, every dialog and message
// recorded (`seen`) and answered `answer`; a worker runs to its end before its dialog closes,
// so that what the next key finds never depends on timing.
struct KeyedFrame {
    test::TempDir files, other;
    CVelmarDoc doc;
    std::optional<CMainFrame> frame;
    CPaneList* left = nullptr;
    QStringList seen;
    QMessageBox::StandardButton answer = QMessageBox::No;

    explicit KeyedFrame(std::initializer_list<const char*> names) {
        for (const char* name : names)
            files.write(QString::fromLatin1(name), "x");
        WriteStoreSetting("LikeNC", 1);
        frame.emplace(&doc);
        doc.UpdateAllViews();
        frame->show();
        left = frame->firstPane();
        frame->secondPane()->controller().GoToFolder(other.path());
        left->controller().GoToFolder(files.path());
        Listed();
        SetDialogHookForTesting([this](QDialog* d) {
            seen.append(d->windowTitle());
            if (ControlIdOf(d) == ids::kDlgProgress) test::WaitDone(d);
            d->reject();
        });
        SetMessageAnswererForTesting([this](const QString& text, MessageKind) {
            seen.append(text);
            return answer;
        });
    }
    ~KeyedFrame() {
        SetDialogHookForTesting(nullptr);
        SetMessageAnswererForTesting(nullptr);
    }
    void Listed() {
        test::WaitListed(left->controller());
        test::WaitListed(frame->secondPane()->controller());
    }
    // A key in the left pane, the frame active again after the last dialog.
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QApplication::setActiveWindow(&*frame);
        left->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods);
        Listed();
    }
    void CursorOn(const QString& name) {
        left->controller().MoveCursorTo(left->controller().FindRow(name));
    }
    QString Cursor() const { return left->controller().RowName(left->controller().FocusedRow()); }
};

TEST_F(MainFrame, WhatANewUserTriesWithTheKeyboard) {
    KeyedFrame k({"a", "b", "c", "d", "e", "sub/s"});
    CMainFrame& frame = *k.frame;
    CPaneList* left = k.left;
    frame.activateWindow();
    QApplication::setActiveWindow(&frame);
    Settle();
    // A desktop size, and the keyboard in the left pane from the start.
    EXPECT_GE(frame.width(), qMin(800, frame.screen()->availableGeometry().width()));
    EXPECT_EQ(QApplication::focusWidget(), left);

    // Enter on a folder path in the path field takes the active pane there (told by the launch
    // thread).
    const QString there = k.other.path();
    frame.pathBar()->setText(there);
    QTest::keyClick(frame.pathBar(), Qt::Key_Return);
    ASSERT_TRUE(test::WaitFor([&] { return left->controller().currentPath() == there + "/"; }));
    EXPECT_EQ(QApplication::focusWidget(), left);
    // Esc in the path field gives the keyboard back to the pane.
    frame.pathBar()->setFocus();
    QTest::keyClick(frame.pathBar(), Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), left);

    // Tab: the other pane takes the keyboard and the path field follows it.
    QTest::keyClick(left, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), frame.secondPane());
    EXPECT_EQ(frame.pathBar()->text(), frame.secondPane()->controller().PathText());
    QTest::keyClick(frame.secondPane(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), left);
    EXPECT_TRUE(frame.pathBar()->text().startsWith(there));

    // Ctrl+R lists the folder again.
    k.other.write("new", "n");
    QTest::keyClick(left, Qt::Key_R, Qt::ControlModifier);
    test::WaitListed(left->controller());
    EXPECT_NE(left->controller().FindRow("new"), -1);

    // The focused row stays in view when the window shrinks.
    test::ShowFolder(*left, k.files.path());
    left->controller().SelectAndFocus(left->controller().RowCount() - 1);
    frame.resize(frame.width(), 200);
    Settle();
    EXPECT_TRUE(left->viewport()->rect().intersects(left->visualRect(left->currentIndex())));
}

// Every command key is a shortcut of its menu command: the menus show it, and it passes the
// same enabled check as the menu.
TEST_F(MainFrame, CommandKeysGoThroughTheMenuCommands) {
    KeyedFrame k({"f", "sub/s"});
    const QString del = "Do you want to delete 1 files and 0 folders?";
    // A command, its key, and what the key brings up.
    using Row = std::tuple<int, QKeySequence, QString>;
    const Row keys[] = {
        {ids::kCmdCopy, QKeySequence(Qt::Key_F5), "Copy"},
        {ids::kCmdMove, QKeySequence(Qt::Key_F6), "Move"},
        {ids::kCmdNewDir, QKeySequence(Qt::Key_F7), "New Folder"},
        {ids::kCmdDelete, QKeySequence(Qt::Key_F8), del},
        {ids::kCmdDelete, QKeySequence(Qt::Key_Delete), del},
        {ids::kCmdDeleteForGood, QKeySequence(Qt::ShiftModifier | Qt::Key_F8), del},
        {ids::kCmdDeleteForGood, QKeySequence(Qt::ShiftModifier | Qt::Key_Delete), del},
        {ids::kCmdProperties, QKeySequence(Qt::AltModifier | Qt::Key_Return), "f"},
    };
    for (const auto& [command, key, seen] : keys) {
        SCOPED_TRACE(key.toString().toStdString());
        EXPECT_TRUE(k.frame->action(command)->shortcuts().contains(key));
        k.CursorOn("f");
        k.seen.clear();
        k.Key(key[0].key(), key[0].keyboardModifiers());
        EXPECT_TRUE(k.seen.contains(seen)) << k.seen.join("|").toStdString();
    }
    // A disabled command's key does nothing: F2 on the parent row. (F2 on a file: the next
    // test; copy into a pane still connecting is disabled: PaneThreadTest.)
    k.left->controller().MoveCursorTo(0);
    k.Key(Qt::Key_F2);
    EXPECT_FALSE(k.left->viewport()->findChild<QLineEdit*>() &&
                 k.left->viewport()->findChild<QLineEdit*>()->isVisible());
}

// The commander style keeps the marks apart from the cursor: a command acts on the marked
// rows or, with none marked, on the row under the cursor. The sequences a new user hit.
TEST_F(MainFrame, CommandsActOnTheRowUnderTheCursorWhenNothingIsMarked) {
    KeyedFrame k({"a.doc", "junk.tmp", "X/inside.txt", "Y/y.txt"});
    k.answer = QMessageBox::Yes;
    // Rename a.doc, arrow down to junk.tmp, F8: junk.tmp goes, not the renamed file.
    k.CursorOn("a.doc");
    k.Key(Qt::Key_F2);
    auto* editor = k.left->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("a2.doc");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor commits on its next turn
    k.Listed();
    EXPECT_EQ(k.Cursor(), "a2.doc");
    EXPECT_FALSE(k.left->selectionModel()->hasSelection());
    k.Key(Qt::Key_Down);
    k.Key(Qt::Key_F8);
    EXPECT_FALSE(QFileInfo::exists(k.files.file("junk.tmp")));
    EXPECT_TRUE(QFileInfo::exists(k.files.file("a2.doc")));

    // Into X, Down onto its file, F5: that file is copied.
    k.CursorOn("X");
    k.Key(Qt::Key_Return);
    EXPECT_FALSE(k.left->selectionModel()->hasSelection());
    k.Key(Qt::Key_Down);
    k.Key(Qt::Key_F5);
    EXPECT_TRUE(QFileInfo::exists(k.other.file("inside.txt")));

    // Out of X (the cursor on X, nothing marked), one Down, F8: Y goes, X stays.
    k.Key(Qt::Key_Backspace);
    EXPECT_EQ(k.Cursor(), "X");
    EXPECT_FALSE(k.left->selectionModel()->hasSelection());
    k.Key(Qt::Key_Down);
    k.Key(Qt::Key_F8);
    EXPECT_FALSE(QFileInfo::exists(k.files.file("Y")));
    EXPECT_TRUE(QFileInfo::exists(k.files.file("X/inside.txt")));
}

// How many pixels of the pane's row `name` in the frame's picture are near `colour` (text is
// smoothed); `bar` is the colour right of the name (the row's background).
struct RowPixels {
    int count = 0;
    QColor bar;
};
RowPixels PixelsOfRow(const QImage& img, QWidget& frame, CPaneList* pane, const QString& name,
                      const QColor& colour) {
    const QModelIndex at = pane->model()->index(pane->controller().FindRow(name), 0);
    const QRect cell = pane->visualRect(at);
    const QPoint origin = pane->viewport()->mapTo(&frame, cell.topLeft());
    RowPixels r;
    r.bar = img.pixelColor(origin + QPoint(cell.width() - 3, cell.height() / 2));
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (const QColor p = img.pixelColor(origin + QPoint(x, y));
                std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                    std::abs(p.blue() - colour.blue()) <
                100)
                ++r.count;
    return r;
}

TEST_F(MainFrame, TheCursorIsASolidBarInTheActivePaneAndMarksKeepTheirColour) {
    KeyedFrame k({"apple", "berry", "cherry"});
    k.other.write("orange", "x");
    CPaneList* right = k.frame->secondPane();
    right->controller().GoToFolder(k.other.path());
    k.Listed();
    k.CursorOn("berry");
    k.Key(Qt::Key_Insert); // marks berry, the cursor goes on to cherry
    right->controller().MoveCursorTo(right->controller().FindRow("orange"));
    k.frame->SetActivePane(k.left);
    QImage img = k.frame->grab().toImage();
    const auto row = [&](CPaneList* pane, const char* name, const QColor& c) {
        return PixelsOfRow(img, *k.frame, pane, QString::fromLatin1(name), c);
    };
    // Active pane: a teal bar with black text; the other pane's cursor is dim, its text not black.
    EXPECT_EQ(row(k.left, "cherry", likenc::kCursorText).bar, likenc::kCursorBackground);
    EXPECT_GT(row(k.left, "cherry", likenc::kCursorText).count, 5);
    EXPECT_EQ(row(right, "orange", likenc::kText).bar, likenc::kDimCursorBackground);
    EXPECT_GT(row(right, "orange", likenc::kText).count, 5);
    // A marked row away from the cursor: yellow on blue; under the cursor: yellow on the bar.
    EXPECT_EQ(row(k.left, "berry", likenc::kHighlightText).bar, likenc::kBackground);
    EXPECT_GT(row(k.left, "berry", likenc::kHighlightText).count, 5);
    EXPECT_EQ(row(k.left, "apple", likenc::kCursorText).bar, likenc::kBackground);
    k.CursorOn("berry");
    img = k.frame->grab().toImage();
    EXPECT_EQ(row(k.left, "berry", likenc::kHighlightText).bar, likenc::kCursorBackground);
    EXPECT_GT(row(k.left, "berry", likenc::kHighlightText).count, 5);
    EXPECT_EQ(row(k.left, "cherry", likenc::kCursorText).bar, likenc::kBackground);

    // The plain style: the active pane's header carries the highlight colour, the other's not.
    WriteStoreSetting("LikeNC", 0);
    k.doc.UpdateAllViews();
    k.Listed();
    k.frame->SetActivePane(right);
    img = k.frame->grab().toImage();
    const auto headerBottom = [&](CPaneList* pane) {
        QHeaderView* h = pane->horizontalHeader();
        return img.pixelColor(h->mapTo(&*k.frame, QPoint(h->sectionSize(0) / 2, h->height() - 2)));
    };
    const QColor highlight = right->palette().color(QPalette::Highlight);
    EXPECT_EQ(headerBottom(right), highlight);
    EXPECT_NE(headerBottom(k.left), highlight);
}
