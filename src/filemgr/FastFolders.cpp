#include "filemgr/FastFolders.h"

#include "filemgr/PaneController.h"
#include "filemgr/PaneModel.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "framework/View.h"
#include "platform/FileOps.h"
#include "platform/Shell.h"
#include "res/Ids.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

namespace velmar {

namespace {

bool WriteFastFolderText(const QString& file, const QString& text) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QByteArray bytes(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        bytes[2 * i] = char(u & 0xff);
        bytes[2 * i + 1] = char(u >> 8);
    }
    out.write(bytes);
    return out.commit();
}

QString JoinEntries(const QStringList& entries) {
    return FastFolderText(entries);
}

// "Create Shortcut ...." (159).
class CCreateShortcutDialog : public QDialog {
public:
    CCreateShortcutDialog(const QString& name, QWidget* parent) : QDialog(parent) {
        SetControlId(this, ids::kDlgCreateShortcut, "createShortcutDialog");
        setWindowTitle(QStringLiteral("Create Shortcut ...."));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("Name:"), this));
        name_ = new QLineEdit(name, this);
        SetControlId(name_, ids::kIdcShortcutName, "shortcutName");
        layout->addWidget(name_);
        special_ = new QCheckBox(QStringLiteral("Create in \"special\" folder"), this);
        special_->setChecked(true);
        SetControlId(special_, ids::kIdcShortcutSpecial, "shortcutSpecial");
        layout->addWidget(special_);
        auto* buttons = OkCancel(this);
        layout->addWidget(buttons);
    }
    QString name() const { return name_->text(); }
    bool special() const { return special_->isChecked(); }

private:
    QLineEdit* name_;
    QCheckBox* special_;
};

// "Add in "fast" folder list" (163).
class CAddFastFolderDialog : public QDialog {
public:
    CAddFastFolderDialog(const QString& folder, QWidget* parent) : QDialog(parent) {
        SetControlId(this, ids::kDlgAddFastFolder, "addFastFolderDialog");
        setWindowTitle(QStringLiteral("Add in \"fast\" folder list"));
        auto* layout = new QVBoxLayout(this);
        folder_ = new QPlainTextEdit(folder, this);
        SetControlId(folder_, ids::kIdcFastFolderPath, "fastFolderPath");
        layout->addWidget(folder_);
        layout->addWidget(OkCancel(this, QStringLiteral("Add")));
        resize(360, 120);
    }
    QString folder() const { return folder_->toPlainText().trimmed(); }

private:
    QPlainTextEdit* folder_;
};

} // namespace

bool AddFastFolder(const QString& file, const QString& folder) {
    QStringList entries = FastFolderEntries(ReadFastFolderText(file));
    // Whole entries: "/B/" is not in the list just because "/A/B/" is.
    if (entries.contains(folder)) return true;
    entries.append(folder);
    return WriteFastFolderText(file, JoinEntries(entries));
}

bool RemoveFastFolders(const QString& file, const QStringList& folders) {
    QStringList entries = FastFolderEntries(ReadFastFolderText(file));
    for (const QString& f : folders)
        entries.removeAll(f);
    return WriteFastFolderText(file, JoinEntries(entries));
}

QString ShortcutNameFor(const QString& fileName) {
    QString name = fileName;
    return name.replace(QLatin1Char('.'), QLatin1Char('_'));
}

bool CreateShortcutLink(const QString& folder, const QString& name, const QString& target) {
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return false;
    platform::FileIdentity there;
    if (platform::Identify(folder, there) != 0) QDir().mkpath(folder);
    // By the file system's own bytes: names that are not UTF-8 link too.
    return platform::MakeLink(target, folder + name + QStringLiteral(".lnk"));
}

// ---- Pane commands ----

void DeleteFastFolderRows(PaneController& pane, QWidget* parent) {
    std::vector<int> rows;
    pane.CollectSelection(&rows, nullptr);
    QStringList folders;
    for (int row : rows)
        folders.append(FastFolderEntryOfRow(pane.RowName(row)));
    if (folders.isEmpty()) return;
    // Only the list changes, but an entry gone is gone: the user says so first.
    const QString question = folders.size() == 1
        ? QStringLiteral("Remove %1 from the fast-folder list?").arg(folders.first())
        : QStringLiteral("Remove %1 folders from the fast-folder list?").arg(folders.size());
    if (ShowMessage(question, MessageKind::Question, parent) != QMessageBox::Yes) return;
    if (!RemoveFastFolders(FastFolderFilePath(), folders))
        ShowMessage(QStringLiteral("Can't write the fast-folder list."), MessageKind::Error,
                    parent);
    if (!pane.ShowFastFolders()) pane.model()->ResetToParent();
}

void CreateShortcuts(PaneController& pane, QWidget* parent) {
    if (pane.sourceKind() != kSourceLocal) return;
    const QString path = pane.currentPath();
    // Selected rows and the focused one, in row order.
    std::vector<int> rows;
    pane.CollectSelection(&rows, nullptr);
    const int focused = pane.FocusedRow();
    if (focused >= 0 && std::find(rows.begin(), rows.end(), focused) == rows.end()) {
        rows.push_back(focused);
        std::sort(rows.begin(), rows.end());
    }
    for (int row : rows) {
        const FindRecord* record = pane.RowRecord(row);
        if (!record) continue;
        const QString name = pane.RowName(row);
        if (record->isFolder()) {
            CAddFastFolderDialog dialog(path + name + QLatin1Char('/'), parent);
            if (RunModal(dialog) != QDialog::Accepted) continue;
            QString folder = dialog.folder();
            if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
            if (!AddFastFolder(FastFolderFilePath(), folder))
                ShowMessage(QStringLiteral("Can't write the fast-folder list."), MessageKind::Error,
                            parent);
            continue;
        }
        CCreateShortcutDialog dialog(ShortcutNameFor(name), parent);
        if (RunModal(dialog) != QDialog::Accepted) continue;
        const QString folder = dialog.special() ? ShortcutFolder() : path;
        if (!CreateShortcutLink(folder, dialog.name(), path + name))
            ShowMessage(QStringLiteral("Can't create shortcut %1.lnk").arg(dialog.name()),
                        MessageKind::Error, parent);
    }
    pane.NotifyFilesChanged();
}

} // namespace velmar
