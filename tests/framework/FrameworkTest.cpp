// The framework layer: routing order and states, bars built from the tables, the dialog
// seam, document templates and the manual.
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/DocTemplate.h"
#include "framework/Frame.h"
#include "framework/Icons.h"
#include "framework/Message.h"
#include "framework/Routing.h"
#include "framework/View.h"
#include "res/Ids.h"
#include "res/MenuTables.h"
#include "support/Gui.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>

using namespace velmar;

namespace {

// A target that handles and knows a configurable set of ids and records what reached it.
struct Recorder : CommandTarget {
    std::set<int> handles;
    std::map<int, CommandState> states;
    std::vector<int> received;
    bool OnCommand(int id) override {
        received.push_back(id);
        return handles.count(id) != 0;
    }
    bool OnUpdateCommand(int id, CommandState& state) override {
        if (!states.count(id)) return false;
        state = states.at(id);
        return true;
    }
};

class RecordingView : public QWidget, public CView {
public:
    Recorder r;
    int initialUpdates = 0;
    int updates = 0;
    QWidget* widget() override { return this; }
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnUpdate(CView*) override { ++updates; }
    bool OnCommand(int id) override { return r.OnCommand(id); }
    bool OnUpdateCommand(int id, CommandState& s) override { return r.OnUpdateCommand(id, s); }
};

class RecordingFrame : public CFrame {
public:
    Recorder r;
    bool OnCommand(int id) override { return r.OnCommand(id) || CFrame::OnCommand(id); }
    bool OnUpdateCommand(int id, CommandState& s) override {
        return r.OnUpdateCommand(id, s) || CFrame::OnUpdateCommand(id, s);
    }
};

// The application target while it lives.
struct AppTarget : Recorder {
    AppTarget() { SetApplicationTarget(this); }
    ~AppTarget() { SetApplicationTarget(nullptr); }
};

// A frame with one active view and an application target, each recording what reaches it.
struct CommandRouting : ::testing::Test {
    AppTarget app;
    RecordingFrame frame;
    RecordingView* view = new RecordingView;
    CommandRouting() {
        frame.setCentralWidget(view);
        frame.SetActiveView(view);
    }
};

std::vector<int> ToolBarIds(CFrame& f) {
    std::vector<int> ids;
    for (QAction* a : f.toolBar()->actions())
        ids.push_back(a->data().toInt());
    return ids;
}

} // namespace

TEST_F(CommandRouting, GoesToViewThenFrameThenApplicationAndStopsAtTheFirstTaker) {
    view->r.handles = {ids::kCmdCopy};
    frame.r.handles = {ids::kCmdCopy, ids::kCmdPreferences};
    app.handles = {ids::kCmdCopy, ids::kCmdPreferences, ids::kCmdAbout};

    EXPECT_TRUE(frame.RouteCommand(ids::kCmdCopy));
    EXPECT_TRUE(frame.RouteCommand(ids::kCmdPreferences));
    EXPECT_TRUE(frame.RouteCommand(ids::kCmdAbout));
    EXPECT_FALSE(frame.RouteCommand(ids::kCmdMove));

    EXPECT_EQ(view->r.received, (std::vector<int>{ids::kCmdCopy, ids::kCmdPreferences,
                                                  ids::kCmdAbout, ids::kCmdMove}));
    EXPECT_EQ(frame.r.received,
              (std::vector<int>{ids::kCmdPreferences, ids::kCmdAbout, ids::kCmdMove}));
    EXPECT_EQ(app.received, (std::vector<int>{ids::kCmdAbout, ids::kCmdMove}));

    // Without an active view the frame is first.
    frame.SetActiveView(nullptr);
    view->r.received.clear();
    EXPECT_TRUE(frame.RouteCommand(ids::kCmdCopy));
    EXPECT_TRUE(view->r.received.empty());
}

TEST_F(CommandRouting, StatesComeFromTheFirstTargetThatKnowsTheCommand) {
    frame.SetCommandBar(ids::kMenuLikeNcSideBySide);

    view->r.states[ids::kCmdCopy] = CommandState{false, false, false};
    frame.r.states[ids::kCmdCopy] = CommandState{true, false, false}; // hidden by the view
    frame.r.states[ids::kCmdFirstFtp] = CommandState{true, true, true};
    app.states[ids::kCmdTelnet] = CommandState{};

    frame.UpdateCommandStates();
    EXPECT_FALSE(frame.action(ids::kCmdCopy)->isEnabled());
    EXPECT_TRUE(frame.action(ids::kCmdFirstFtp)->isEnabled());
    EXPECT_TRUE(frame.action(ids::kCmdFirstFtp)->isChecked());
    EXPECT_TRUE(frame.action(ids::kCmdTelnet)->isEnabled());
    // Nobody knows "Move": shown disabled, as a command without a handler.
    EXPECT_FALSE(frame.action(ids::kCmdMove)->isEnabled());

    // A menu asks again before it opens.
    view->r.states[ids::kCmdCopy].enabled = true;
    QMenu* file = nullptr;
    for (QAction* a : frame.menuBar()->actions())
        if (a->text() == QLatin1String("File")) file = a->menu();
    ASSERT_NE(file, nullptr);
    emit file->aboutToShow();
    EXPECT_TRUE(frame.action(ids::kCmdCopy)->isEnabled());

    frame.r.states[ids::kCmdFirstFtp].checked = false;
    frame.UpdateCommandStates();
    EXPECT_FALSE(frame.action(ids::kCmdFirstFtp)->isChecked());
}

TEST_F(CommandRouting, TriggeringAnActionRoutesItsIdButNotWhenItHasBecomeDisabled) {
    frame.SetCommandBar(ids::kMenuFileManager);
    view->r.handles = {ids::kCmdDelete};
    view->r.states[ids::kCmdDelete] = CommandState{};
    frame.UpdateCommandStates();

    frame.action(ids::kCmdDelete)->trigger();
    EXPECT_EQ(view->r.received, std::vector<int>{ids::kCmdDelete});

    // The action still shows enabled, but the selection has gone meanwhile.
    view->r.states[ids::kCmdDelete].enabled = false;
    frame.action(ids::kCmdDelete)->trigger();
    EXPECT_EQ(view->r.received.size(), 1u);
    EXPECT_FALSE(frame.action(ids::kCmdDelete)->isEnabled());
}

TEST(CommandBars, BarsSwapWithTheirButtonsAndTheActionsStayWithTheFrame) {
    RecordingFrame frame;
    const std::vector<int> buttons{ids::kCmdInvertSelection, ids::kCmdEditHex, ids::kCmdDelete,
                                   ids::kCmdFastFolders};
    for (int bar : {ids::kMenuFileManager, ids::kMenuLikeNcSideBySide, ids::kMenuLikeNcStacked}) {
        ASSERT_TRUE(frame.SetCommandBar(bar));
        EXPECT_EQ(ToolBarIds(frame), buttons) << bar;
    }
    // An unknown bar leaves the current one.
    EXPECT_FALSE(frame.SetCommandBar(999));
    EXPECT_EQ(frame.commandBarId(), ids::kMenuLikeNcStacked);
    // The accelerator outlives a bar swap.
    QAction* fast = frame.action(ids::kCmdFastFolders);
    EXPECT_EQ(fast->shortcut(), QKeySequence("Ctrl+Alt+F"));
    ASSERT_TRUE(frame.SetCommandBar(ids::kMenuTelnet));
    EXPECT_EQ(test::MenuTitles(frame), QStringList{"Menu"});
    EXPECT_EQ(frame.action(ids::kCmdFastFolders), fast);
    EXPECT_TRUE(frame.actions().contains(fast));
}

// Hooks that fill and accept are used by every dialog test; here what they cannot show.
TEST(DialogSeam, ControlsAreFoundByNumberAndNameAndAnUnansweredDialogIsRejected) {
    QDialog dialog;
    SetControlId(new QLineEdit(&dialog), 1010, "host");
    EXPECT_EQ(FindControl<QLineEdit>(&dialog, 1010), dialog.findChild<QLineEdit*>("host"));
    EXPECT_NE(FindControl<QLineEdit>(&dialog, 1010), nullptr);
    EXPECT_EQ(FindControl<QLineEdit>(&dialog, 1011), nullptr);
    // The title is never cut for want of width.
    dialog.setWindowTitle(QStringLiteral("Add in \"fast\" folder list, a title that needs room"));
    int width = 0;
    SetDialogHookForTesting([&](QDialog* d) { width = d->width(); });
    EXPECT_EQ(RunModal(dialog), QDialog::Rejected);
    SetDialogHookForTesting(nullptr);
    EXPECT_GT(width, dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()));
}

// A server reply or a file name shows as the characters it is, in every kind of box.
TEST(MessageSeam, TextIsNeverRenderedAsMarkup) {
    const QString reply = QStringLiteral("530 <a href=\"http://x/\">login</a> <b>now</b>");
    for (MessageKind kind : {MessageKind::Info, MessageKind::Error, MessageKind::StopQuestion}) {
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            if (label->textFormat() == Qt::PlainText) shown = label->text();
            box->reject();
        });
        ShowMessage(reply, kind);
        EXPECT_EQ(shown, reply) << int(kind);
    }
}

TEST(DocTemplates, OneDocumentWithItsFrameAndOneInitialUpdatePerView) {
    RecordingView* view = nullptr;
    int frames = 0;
    CDocTemplate t(
        145, "Telnet terminal (CE velmar)\n\nTelnet terminal\n\n\nTelnet.Document",
        [] { return std::make_unique<CDocument>(); },
        [&](CDocument* doc) -> CFrame* {
            ++frames;
            auto* f = new RecordingFrame;
            view = new RecordingView;
            f->setCentralWidget(view);
            doc->AddView(view);
            return f;
        });
    ASSERT_NE(t.OpenNewDocument(), nullptr);
    EXPECT_EQ(view->initialUpdates, 1);
    EXPECT_EQ(t.frame()->windowTitle(), "Telnet terminal (CE velmar)");
    EXPECT_EQ(t.titleField(2), "Telnet terminal");
    EXPECT_EQ(t.OpenNewDocument(), nullptr);
    EXPECT_EQ(frames, 1);
    t.document()->UpdateAllViews();
    EXPECT_EQ(view->updates, 1);

    CDocTemplate none(
        150, "Lines", [] { return std::make_unique<CDocument>(); },
        [](CDocument*) -> CFrame* { return nullptr; });
    EXPECT_EQ(none.OpenNewDocument(), nullptr);
    EXPECT_EQ(none.document(), nullptr) << "a frame that cannot be made leaves no document";
}

TEST(Help, TheManualIsFoundAndTheHelpRequestOpensItInTheBrowser) {
    // What it says is checked against the menus in ManualTest.
    const QString path = HelpFilePath();
    ASSERT_TRUE(QFile::exists(path)) << qPrintable(path);

    test::UrlRecorder urls;
    RecordingFrame frame;
    frame.SetCommandBar(ids::kMenuTelnet);
    frame.UpdateCommandStates();
    ASSERT_TRUE(frame.action(ids::kCmdHelp)->isEnabled());
    frame.action(ids::kCmdHelp)->trigger();
    EXPECT_EQ(urls.opened, std::vector{QUrl::fromLocalFile(path)});
}

// Every picture drawn in code shows ink in its middle at a tool bar's size: a label whose
// letters came out empty, or a bar arrow the style left blank, would show as an empty button.
TEST(Icons, EveryButtonAndBarArrowHasInkInItsMiddle) {
    const auto inked = [](const QIcon& icon) {
        const QImage img = icon.pixmap(16, 16).toImage();
        for (int y = 5; y < 11; ++y)
            for (int x = 4; x < 12; ++x)
                if (img.pixelColor(x, y).alpha() > 0) return true;
        return false;
    };
    for (const res::ButtonDef& b : res::kButtonTexts)
        EXPECT_TRUE(inked(CommandIcon(b.id))) << b.text;
    std::unique_ptr<QStyle> style(NewProgramStyle());
    EXPECT_TRUE(inked(style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton)));
    EXPECT_TRUE(inked(style->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton)));
}
