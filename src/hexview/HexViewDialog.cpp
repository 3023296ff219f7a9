#include "hexview/HexViewDialog.h"

#include "settings/SearchMemory.h"
#include "framework/BesideWindow.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "hexview/HexView.h"
#include "res/Ids.h"
#include "sources/PatternSearch.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <atomic>

namespace velmar {

// ---- Find ----

HexFindDialog::HexFindDialog(QWidget* parent) : QDialog(parent) {
    SetControlId(this, ids::kDlgHexFind);
    setWindowTitle(QStringLiteral("Find"));
    const SearchMemory& memory = RememberedSearch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Search:"), this), 0, 0);
    text_ = new QLineEdit(memory.text, this);
    text_->setMaxLength(32);
    SetControlId(text_, ids::kIdcFindText);
    grid->addWidget(text_, 0, 1);
    hex_ = new QCheckBox(QStringLiteral("Search as hex string"), this);
    hex_->setChecked(memory.hex != 0);
    SetControlId(hex_, ids::kIdcFindHex);
    grid->addWidget(hex_, 1, 0, 1, 2);
    case_ = new QCheckBox(QStringLiteral("Case Sensitive"), this);
    SetControlId(case_, ids::kIdcFindCase);
    grid->addWidget(case_, 2, 0, 1, 2);
    auto* buttons = OkCancel(this);
    grid->addWidget(buttons, 3, 0, 1, 2);
}

HexFindDialog::~HexFindDialog() {
    SearchMemory& memory = RememberedSearch();
    if (!text_->text().isEmpty()) memory.text = text_->text();
    memory.hex = hex_->isChecked() ? 1 : 0;
    if (case_->isChecked()) memory.caseSensitive = 1;
}

QString HexFindDialog::text() const {
    return text_->text();
}
bool HexFindDialog::hex() const {
    return hex_->isChecked();
}
bool HexFindDialog::caseSensitive() const {
    return case_->isChecked();
}

// ---- The window ----

HexViewDialog::HexViewDialog(std::unique_ptr<platform::BlockFile> file, const QString& path,
                             bool readOnly, QWidget* parent)
    : QDialog(parent), file_(std::move(file)) {
    SetControlId(this, ids::kDlgHexView);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    setWindowTitle(name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new HexView(file_.get(), file_->Size(), readOnly, name, this);
    layout->addWidget(view_);
    connect(view_, &HexView::searchRequested, this, &HexViewDialog::Search);
    resize(720, 480);
    view_->setFocus();
}

HexViewDialog::~HexViewDialog() = default;

void HexViewDialog::reject() {
    // Closing with a row under edit asks about it first.
    view_->FinishEdit();
    QDialog::reject();
}

void HexViewDialog::Search() {
    view_->FinishEdit();
    QString text;
    bool caseSensitive = false;
    bool hex = false;
    {
        HexFindDialog find(this);
        if (RunModal(find) != QDialog::Accepted) return;
        text = find.text();
        caseSensitive = find.caseSensitive();
        hex = find.hex();
    }
    PatternSearch search;
    search.Init();
    search.AddPattern(text, caseSensitive, hex);
    // A search through gigabytes runs beside the window: Esc ends it between blocks.
    std::atomic<int> running{1};
    search.SetStillRunning([&running] { return running.load() != 0; });
    const qint64 start = view_->layout().rowOffset(view_->topRow());
    const int handle = file_->handle();
    qint64 found = -1; // written by the worker, read once it has ended
    const bool ran = RunBesideWindow(running, [&] {
        QFile stream;
        if (stream.open(handle, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            found = search.SearchStream(stream, start);
    });
    if (!ran) return;
    if (found < 0 && running.load() == 0) return; // stopped with Esc: nothing to tell
    search.Clear();
    const qint64 row = found >= 0 ? view_->layout().rowOf(found) : -1;
    if (row < 0) {
        ShowMessage(QStringLiteral("Search string not found"), MessageKind::Info, this);
        return;
    }
    view_->SetMark(row);
    view_->ScrollToTop(row);
}

bool RunHexView(const QString& path, bool readOnly, QWidget* owner) {
    auto file = std::make_unique<platform::BlockFile>();
    if (!file->Open(path, readOnly ? platform::BlockFile::Mode::ReadShared
                                   : platform::BlockFile::Mode::ReadWriteExclusive)) {
        ShowMessage(QStringLiteral("File can't be opened"), MessageKind::Error, owner);
        return false;
    }
    HexViewDialog dialog(std::move(file), path, readOnly, owner);
    RunModal(dialog);
    return true;
}

} // namespace velmar
