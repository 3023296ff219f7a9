#include "systools/SysToolDialogs.h"

#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "platform/Processes.h"
#include "platform/Windows.h"
#include "res/Ids.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmar {

using namespace ids;

namespace {
constexpr int kKillWaitMs = 5000;
constexpr int kKillPollMs = 20;

void AddNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<InfoNode>& nodes) {
    for (const InfoNode& n : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, n.text);
        AddNodes(item, tree, n.children);
    }
}
} // namespace

// ---- Active tasks ----

CTaskManagerDlg::CTaskManagerDlg(QWidget* parent) : QDialog(parent) {
    SetControlId(this, kDlgActiveTasks);
    setWindowTitle(QStringLiteral("Active tasks"));
    list_ = new QTreeWidget(this);
    SetControlId(list_, kIdcTaskList);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("Process"), QStringLiteral("File Name")});
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    list_->header()->resizeSections(QHeaderView::ResizeToContents);
    // The header's width alone cuts most names on a desktop screen.
    list_->setColumnWidth(0, qMax(list_->columnWidth(0), 160));
    onlyWindows_ = new QCheckBox(QStringLiteral("Only Windows"), this);
    SetControlId(onlyWindows_, kIdcTaskOnlyWindows);
    activate_ = new QPushButton(QStringLiteral("Activate"), this);
    SetControlId(activate_, kIdcTaskActivate);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), this);
    SetControlId(refresh_, kIdcTaskRefresh);
    kill_ = new QPushButton(QStringLiteral("Kill"), this);
    SetControlId(kill_, kIdcTaskKill);
    for (QPushButton* b : {activate_, refresh_, kill_})
        b->setAutoDefault(false);

    connect(activate_, &QPushButton::clicked, this, &CTaskManagerDlg::OnActivate);
    connect(refresh_, &QPushButton::clicked, this, &CTaskManagerDlg::Fill);
    connect(kill_, &QPushButton::clicked, this, &CTaskManagerDlg::OnKill);
    resize(480, 400);
    Fill();
}

void CTaskManagerDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    list_->setGeometry(0, 0, w, h - 41);
    onlyWindows_->setGeometry(1, h - 40, w, 20);
    const int bw = (w - 3) / 3;
    int x = 1;
    for (QPushButton* b : {activate_, refresh_, kill_}) {
        b->setGeometry(x, h - 20, bw, 20);
        x += bw + 1;
    }
}

void CTaskManagerDlg::Fill() {
    list_->clear();
    BuildTaskList(onlyWindows_->isChecked(), platform::CurrentWindowSystem(), rows_);
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows_.size()));
    for (const TaskRow& r : rows_) {
        auto* item = new QTreeWidgetItem({r.process, r.fileName});
        item->setData(0, Qt::UserRole, r.pid);
        items.append(item);
    }
    list_->addTopLevelItems(items);
}

int CTaskManagerDlg::SelectedRow() const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return -1;
    return list_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
}

void CTaskManagerDlg::OnActivate() {
    const int row = SelectedRow();
    if (row < 0) return;
    ActivateProcess(rows_[size_t(row)].pid, platform::CurrentWindowSystem());
}

void CTaskManagerDlg::OnKill() {
    const int row = SelectedRow();
    if (row < 0 || killPending()) return;
    const TaskRow target = rows_[size_t(row)];
    if (!AskYesNo(QStringLiteral("Are you sure you want to kill\n%1?").arg(target.process), this))
        return;
    switch (platform::KillProcess(target.pid, target.startTime)) {
    case platform::KillResult::Sent:
        WaitForEnd(target);
        return;
    case platform::KillResult::NotPermitted:
        ShowMessage(QStringLiteral("You may not end %1 (process %2): permission denied.")
                        .arg(target.process)
                        .arg(target.pid),
                    MessageKind::Error, this);
        break;
    case platform::KillResult::Replaced:
        ShowMessage(QStringLiteral("%1 (process %2) has already ended; its number now belongs to "
                                   "another process, which was left alone.")
                        .arg(target.process)
                        .arg(target.pid),
                    MessageKind::Warning, this);
        break;
    case platform::KillResult::NoSuchProcess:
        break;
    }
    Fill();
}

void CTaskManagerDlg::WaitForEnd(const TaskRow& target) {
    // The list is filled again once the process has gone (or the wait gave up); the
    // window keeps answering meanwhile.
    killTimer_ = new QTimer(this);
    killSince_.start();
    connect(killTimer_, &QTimer::timeout, this, [this, target] {
        const bool alive = platform::ProcessAlive(target.pid, target.startTime);
        if (alive && !killSince_.hasExpired(kKillWaitMs)) return;
        killTimer_->deleteLater();
        killTimer_ = nullptr;
        if (alive)
            ShowMessage(QStringLiteral("%1 (process %2) has not ended yet.")
                            .arg(target.process)
                            .arg(target.pid),
                        MessageKind::Warning, this);
        Fill();
    });
    killTimer_->start(kKillPollMs);
}

// ---- System Info ----

CSystemInfoDlg::CSystemInfoDlg(QWidget* parent, const SystemSources& sources) : QDialog(parent) {
    SetControlId(this, kDlgSystemInfo);
    setWindowTitle(QStringLiteral("System Info"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tree_ = new QTreeWidget(this);
    SetControlId(tree_, kIdcSysInfoTree);
    tree_->setHeaderHidden(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(tree_);
    AddNodes(nullptr, tree_, BuildSystemInfo(sources));
    resize(420, 440);
}

void RunTaskManager(QWidget* owner) {
    CTaskManagerDlg dlg(owner);
    RunModal(dlg);
}

void RunSystemInfo(QWidget* owner) {
    CSystemInfoDlg dlg(owner);
    RunModal(dlg);
}

} // namespace velmar
