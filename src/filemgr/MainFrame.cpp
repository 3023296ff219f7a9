#include "filemgr/MainFrame.h"

#include "filemgr/BatteryGauge.h"
#include "filemgr/PaneList.h"
#include "filemgr/PathBar.h"
#include "filemgr/Preferences.h"
#include "filemgr/VelmarDoc.h"
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "framework/PostedEvents.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace velmar {

using namespace ids;

namespace {

// The battery changes slowly; a gauge a minute behind is still right enough.
constexpr int kGaugeRepaintMs = 30000;

struct PaneCommand {
    int id;
    bool second;
    int sent;
};
constexpr PaneCommand kPaneCommands[] = {
    {kCmdFirstInvertSelection, false, kCmdInvertSelection},
    {kCmdFirstDirSizes, false, kCmdDirSizes},
    {kCmdFirstShortcuts, false, kCmdShortcuts},
    {kCmdFirstSearchFiles, false, kCmdSearchFiles},
    {kCmdFirstFtp, false, kCmdFtp},
    {kCmdSecondInvertSelection, true, kCmdInvertSelection},
    {kCmdSecondDirSizes, true, kCmdDirSizes},
    {kCmdSecondShortcuts, true, kCmdShortcuts},
    {kCmdSecondSearchFiles, true, kCmdSearchFiles},
    {kCmdSecondFtp, true, kCmdFtp},
};

// Lays out its three children by the frame's arithmetic whenever it is resized.
class FrameClient : public QWidget {
public:
    explicit FrameClient(QWidget* parent) : QWidget(parent) {}
    std::function<void()> relayout;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (relayout) relayout();
    }
};

} // namespace

FrameLayout ComputeFrameLayout(int cx, int cy) {
    cx = qMax(cx, 0);
    cy = qMax(cy, 0);
    const int strip = qMin(kPathStripHeight, cy);
    const int gauge = qMin(kGaugeWidth, cx);
    FrameLayout l;
    l.splitter = QRect(0, 0, cx, cy - strip);
    l.pathBar = QRect(0, cy - strip, cx - gauge, strip);
    l.gauge = QRect(cx - gauge, cy - strip, gauge, strip);
    return l;
}

CMainFrame::CMainFrame(CVelmarDoc* doc, QWidget* parent) : CFrame(parent), doc_(doc) {
    setObjectName(QStringLiteral("mainFrame"));
    stacked_ = ReadStoreSetting("Horizontal Panes") == 0;
    // The bar of the stored style from the start: the panes ask for the same one when they
    // first apply their style, so it is built once.
    SetCommandBar(ReadStoreSetting("LikeNC") == 0 ? kMenuFileManager
                  : stacked_                      ? kMenuLikeNcStacked
                                                  : kMenuLikeNcSideBySide);

    auto* client = new FrameClient(this);
    client_ = client;
    setCentralWidget(client_);
    // The path field and the gauge come first: a pane reports its path while it is made.
    pathBar_ = new PathBar(client_);
    gauge_ = new BatteryGauge(client_);
    splitter_ = new QSplitter(stacked_ ? Qt::Vertical : Qt::Horizontal, client_);
    splitter_->setObjectName(QStringLiteral("paneSplitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(3);
    first_ = new CPaneList(doc, this, splitter_);
    first_->setObjectName(QStringLiteral("firstPane"));
    second_ = new CPaneList(doc, this, splitter_);
    second_->setObjectName(QStringLiteral("secondPane"));
    first_->controller().SetOtherPane(&second_->controller());
    second_->controller().SetOtherPane(&first_->controller());
    client->relayout = [this] { Relayout(); };
    connect(pathBar_, &PathBar::escapePressed, this, [this] {
        if (CView* v = activeView()) v->widget()->setFocus(Qt::OtherFocusReason);
    });
    connect(pathBar_, &PathBar::folderEntered, this, [this](const QString& folder) {
        if (CPaneList* pane = ActivePane()) {
            pane->controller().GoToFolder(folder);
            pane->setFocus(Qt::OtherFocusReason);
        }
    });
    SetActiveView(first_);
    // The keyboard starts in the left pane, so Down and letters reach the list.
    first_->setFocus(Qt::OtherFocusReason);

    gaugeTimer_ = new QTimer(this);
    gaugeTimer_->setInterval(kGaugeRepaintMs);
    connect(gaugeTimer_, &QTimer::timeout, this,
            [this] { QCoreApplication::postEvent(this, new QEvent(kGaugeRepaintEventType)); });
    gaugeTimer_->start();
    // A desktop size: at least 800 x 600 where the screen allows.
    QSize size(800, 600);
    if (const QScreen* s = screen()) {
        const QSize avail = s->availableGeometry().size();
        size = QSize(qMin(qMax(800, avail.width() * 2 / 3), avail.width()),
                     qMin(qMax(600, avail.height() * 2 / 3), avail.height()));
    }
    resize(size);
}

CMainFrame::~CMainFrame() {
    // The panes go before the frame they call back into.
    // Unhooked before they go: the focus moving away during their destruction asks the
    // frame for command states, which must not reach a half-destroyed pane.
    SetActiveView(nullptr);
    delete std::exchange(first_, nullptr);
    delete std::exchange(second_, nullptr);
}

void CMainFrame::Relayout() {
    const FrameLayout l = ComputeFrameLayout(client_->width(), client_->height());
    splitter_->setGeometry(l.splitter);
    pathBar_->setGeometry(l.pathBar);
    gauge_->setGeometry(l.gauge);
}

void CMainFrame::HalveSplitter() {
    const int total = stacked_ ? splitter_->height() : splitter_->width();
    const int half = qMax(1, total / 2);
    splitter_->setSizes({half, half});
}

void CMainFrame::SetStacked(bool stacked) {
    if (stacked == stacked_) return;
    stacked_ = stacked;
    splitter_->setOrientation(stacked ? Qt::Vertical : Qt::Horizontal);
    HalveSplitter();
}

void CMainFrame::SetMenuBar(int resourceId) {
    if (!SetCommandBar(resourceId)) return;
    // The bar tells the style in force: the LikeNC bars are 151 and 152.
    const bool likeNc = resourceId != kMenuFileManager;
    pathBar_->SetLikeNc(likeNc);
    gauge_->SetLikeNc(likeNc);
    Relayout();
}

void CMainFrame::SetPathText(const QString& text) {
    if (pathBar_) pathBar_->setText(text);
}

void CMainFrame::SetActivePane(CPaneList* pane) {
    SetActiveView(pane);
    if (pane) SetPathText(pane->controller().PathText());
}

CPaneList* CMainFrame::ActivePane() const {
    if (first_ && activeView() == first_) return first_;
    if (second_ && activeView() == second_) return second_;
    return nullptr;
}

CPaneList* CMainFrame::OtherPane(CPaneList* pane) {
    return pane == first_ ? second_ : first_;
}

CPaneList* CMainFrame::PaneForCommand(int id, int* mapped) const {
    for (const PaneCommand& c : kPaneCommands) {
        if (c.id != id) continue;
        *mapped = c.sent;
        return c.second ? second_ : first_;
    }
    return nullptr;
}

void CMainFrame::RunPreferences() {
    PreferencesDialog dialog(this);
    if (RunModal(dialog) != QDialog::Accepted) return;
    dialog.Store();
    const bool stacked = ReadStoreSetting("Horizontal Panes") == 0;
    if (stacked != stacked_) SetStacked(stacked);
    if (doc_) doc_->UpdateAllViews();
    if (CPaneList* pane = ActivePane()) SetPathText(pane->controller().PathText());
}

bool CMainFrame::OnCommand(int id) {
    int mapped = 0;
    if (CPaneList* pane = PaneForCommand(id, &mapped)) {
        // The fixed pane, whichever has the focus.
        SendToPane(pane, mapped);
        return true;
    }
    if (id == kCmdPreferences) {
        RunPreferences();
        return true;
    }
    if (id == kCmdHelp) {
        // Without a browser F1 would do nothing at all: the user is told where the manual is.
        const QString manual = HelpFilePath();
        if (manual.isEmpty())
            ShowMessage(QStringLiteral("The manual could not be found."), MessageKind::Error, this);
        else if (!OpenInBrowser(QUrl::fromLocalFile(manual)))
            ShowMessage(QStringLiteral("No web browser could be started to show the manual.\n%1")
                            .arg(manual),
                        MessageKind::Error, this);
        return true;
    }
    return CFrame::OnCommand(id);
}

bool CMainFrame::OnUpdateCommand(int id, CommandState& state) {
    int mapped = 0;
    if (CPaneList* pane = PaneForCommand(id, &mapped)) {
        // Enabled only when the pane does something with the command.
        if (!pane->controller().OnUpdateCommand(mapped, state)) state.enabled = false;
        return true;
    }
    if (id == kCmdPreferences) return true;
    return CFrame::OnUpdateCommand(id, state);
}

void CMainFrame::SendToPane(CPaneList* pane, int id) {
    pane->controller().OnCommand(id);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == kGaugeRepaintEventType) {
        gauge_->repaint();
        return true;
    }
    return CFrame::event(event);
}

} // namespace velmar
