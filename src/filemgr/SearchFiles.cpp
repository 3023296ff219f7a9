#include "filemgr/SearchFiles.h"

#include "app/core/SearchMemory.h"
#include "filemgr/FileCommands.h"
#include "filemgr/PaneList.h"
#include "filemgr/PaneModel.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "sources/PatternSearch.h"
#include "sources/SearchJob.h"
#include "sources/SizeText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

namespace velmar {

// ---- The dialog ----

CSearchFilesDialog::CSearchFilesDialog(bool ftpPane, QWidget* parent) : QDialog(parent) {
    SetControlId(this, ids::kDlgSearchFiles);
    setWindowTitle(QStringLiteral("File Name & Text"));
    const SearchMemory& memory = RememberedSearch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("File mask:"), this), 0, 0);
    mask_ = new QLineEdit(memory.mask, this);
    SetControlId(mask_, ids::kIdcSearchMask);
    grid->addWidget(mask_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Search text:"), this), 1, 0);
    text_ = new QLineEdit(memory.text, this);
    text_->setReadOnly(ftpPane);
    SetControlId(text_, ids::kIdcSearchText);
    grid->addWidget(text_, 1, 1);
    hex_ = new QCheckBox(QStringLiteral("Search as hex"), this);
    hex_->setChecked(memory.hex != 0);
    SetControlId(hex_, ids::kIdcSearchHex);
    grid->addWidget(hex_, 2, 0, 1, 2);
    case_ = new QCheckBox(QStringLiteral("Case sensitive "), this);
    case_->setChecked(memory.caseSensitive != 0);
    SetControlId(case_, ids::kIdcSearchCase);
    grid->addWidget(case_, 3, 0, 1, 2);

    auto* group = new QGroupBox(QStringLiteral("Search area"), this);
    auto* areas = new QVBoxLayout(group);
    area_ = new QButtonGroup(this);
    const struct {
        int id;
        const char* text;
    } kAreas[] = {{ids::kIdcSearchFromRoot, "From root folder"},
                  {ids::kIdcSearchFromCurrent, "From current folder"},
                  {ids::kIdcSearchCurrentOnly, "in current folder only"}};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(kAreas[i].text), group);
        SetControlId(radio, kAreas[i].id);
        area_->addButton(radio, i);
        areas->addWidget(radio);
    }
    area_->button(1)->setChecked(true);
    grid->addWidget(group, 4, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* search =
        buttons->addButton(QStringLiteral("Search"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    search->setDefault(true);
    SetControlId(search, ids::kIdOk);
    SetControlId(cancel, ids::kIdCancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 5, 0, 1, 2);
}

CSearchFilesDialog::~CSearchFilesDialog() {
    SearchMemory& memory = RememberedSearch();
    if (!mask_->text().isEmpty()) memory.mask = mask_->text();
    if (!text_->text().isEmpty()) memory.text = text_->text();
    memory.hex = hex_->isChecked() ? 1 : 0;
    if (case_->isChecked()) memory.caseSensitive = 1;
}

QString CSearchFilesDialog::mask() const {
    return mask_->text();
}
QString CSearchFilesDialog::text() const {
    return text_->isReadOnly() ? QString() : text_->text();
}
bool CSearchFilesDialog::hex() const {
    return hex_->isChecked();
}
bool CSearchFilesDialog::caseSensitive() const {
    return case_->isChecked();
}
int CSearchFilesDialog::area() const {
    return std::max(area_->checkedId(), 0);
}

// ---- Search files ----

namespace {

void TakeHits(SearchJob& job, CPaneModel& model) {
    for (SearchHit& hit : job.TakeHits()) {
        PaneRow row = PaneRow::FromRecord(std::move(hit.record), hit.kind);
        if (hit.kind != kEntryFtp) row.SetSizeText(QString());
        model.InsertRow(model.size(), std::move(row));
    }
}

} // namespace

void RunSearchFiles(CPaneList& pane) {
    const bool ftp = pane.sourceKind() == kSourceFtp;
    QString text;
    bool hex = false;
    bool caseSensitive = false;
    int area = 1;
    QString mask;
    {
        CSearchFilesDialog dialog(ftp, &pane);
        if (RunModal(dialog) != QDialog::Accepted) return;
        text = dialog.text();
        hex = dialog.hex();
        caseSensitive = dialog.caseSensitive();
        area = dialog.area();
        mask = dialog.mask();
    }
    StopListing(pane.listingJob());
    if (area == 0) pane.setCurrentPath(pane.PathSeparator());
    pane.setMask(mask.isEmpty() ? QStringLiteral("*.*") : mask);
    pane.setListMode(0);

    PatternSearch pattern;
    pattern.Init();
    SearchJob job;
    job.root = pane.currentPath();
    job.mask = pane.mask();
    job.recursive = area != 2;
    job.showHidden = pane.showHidden() ? 1 : 0;
    job.showInRom = pane.showInRom() ? 1 : 0;
    if (!text.isEmpty() && pattern.AddPattern(text, caseSensitive, hex)) {
        job.textSearch = true;
        job.pattern = &pattern;
    }
    CPaneModel& model = *pane.paneModel();
    model.ResetRows({});
    model.InsertRow(0, PaneRow::Parent());

    CProgressDialog dialog(job.progress, CProgressDialog::kSearch, job.title,
                           QStringLiteral("Files found: %1"), pane.window());
    QTimer hits;
    hits.setInterval(200);
    QObject::connect(&hits, &QTimer::timeout, &pane, [&job, &model] { TakeHits(job, model); });
    dialog.Start([&job] { RunSearch(job); });
    hits.start();
    RunModal(dialog);
    dialog.StopWorker();
    hits.stop();
    TakeHits(job, model);
    pattern.Clear();
    pane.setFocus();
}

// ---- Dir Sizes ----

namespace {

// While the sums run beside the window: Esc stops them, other input waits.
class StopOnEscape : public QObject {
public:
    explicit StopOnEscape(std::atomic<int>& running) : running_(running) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) running_.store(0);
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Close:
            return true;
        default:
            return QObject::eventFilter(watched, e);
        }
    }

private:
    std::atomic<int>& running_;
};

} // namespace

void RunDirSizes(CPaneList& pane) {
    if (pane.sourceKind() != kSourceLocal) return;
    std::vector<int> rows;
    std::vector<QString> folders;
    for (int row = 0; row < pane.RowCount(); ++row) {
        const FindRecord* record = pane.RowRecord(row);
        if (!record || !record->isFolder()) continue;
        rows.push_back(row);
        folders.push_back(pane.currentPath() + record->name + QLatin1Char('/'));
    }
    if (rows.empty()) return;

    std::atomic<int> running{1};
    std::vector<std::optional<uint64_t>> sums(folders.size());
    QEventLoop loop;
    StopOnEscape filter(running);
    qApp->installEventFilter(&filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::thread worker([&] {
        for (size_t i = 0; i < folders.size() && running.load(); ++i) {
            const uint64_t sum = DirSize(folders[i], &running);
            if (running.load()) sums[i] = sum; // a stopped walk's sum is short: not shown
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&filter);
    for (size_t i = 0; i < rows.size(); ++i)
        if (sums[i]) pane.paneModel()->SetSizeText(rows[i], FormatSize(*sums[i]));
}

} // namespace velmar
