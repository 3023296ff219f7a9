#include "filemgr/SearchFiles.h"

#include "filemgr/FileCommands.h"
#include "filemgr/FtpDialogs.h"
#include "filemgr/PaneController.h"
#include "filemgr/PaneModel.h"
#include "framework/BesideWindow.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "res/Ids.h"
#include "settings/SearchMemory.h"
#include "sources/PatternSearch.h"
#include "sources/SearchJob.h"
#include "sources/SizeText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <optional>
#include <vector>

namespace velmar {

// ---- The dialog ----

CSearchFilesDialog::CSearchFilesDialog(bool ftpPane, QWidget* parent) : QDialog(parent) {
    SetControlId(this, ids::kDlgSearchFiles, "searchFilesDialog");
    setWindowTitle(QStringLiteral("File Name & Text"));
    const SearchMemory& memory = RememberedSearch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("File mask:"), this), 0, 0);
    mask_ = new QLineEdit(memory.mask, this);
    SetControlId(mask_, ids::kIdcSearchMask, "searchMask");
    grid->addWidget(mask_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Search text:"), this), 1, 0);
    text_ = new QLineEdit(memory.text, this);
    // Greyed as well: a remembered text shown in it must not look as if it were searched for.
    text_->setReadOnly(ftpPane);
    text_->setEnabled(!ftpPane);
    SetControlId(text_, ids::kIdcSearchText, "searchText");
    grid->addWidget(text_, 1, 1);
    hex_ = new QCheckBox(QStringLiteral("Search as hex"), this);
    hex_->setChecked(memory.hex != 0);
    SetControlId(hex_, ids::kIdcSearchHex, "searchHex");
    grid->addWidget(hex_, 2, 0, 1, 2);
    case_ = new QCheckBox(QStringLiteral("Case sensitive "), this);
    case_->setChecked(memory.caseSensitive != 0);
    SetControlId(case_, ids::kIdcSearchCase, "searchCase");
    // Both only shape a content search, which an FTP pane does not offer.
    hex_->setEnabled(!ftpPane);
    case_->setEnabled(!ftpPane);
    grid->addWidget(case_, 3, 0, 1, 2);

    auto* group = new QGroupBox(QStringLiteral("Search area"), this);
    auto* areas = new QVBoxLayout(group);
    area_ = new QButtonGroup(this);
    const struct {
        int id;
        const char* name;
        const char* text;
    } kAreas[] = {{ids::kIdcSearchFromRoot, "searchFromRoot", "From root folder"},
                  {ids::kIdcSearchFromCurrent, "searchFromCurrent", "From current folder"},
                  {ids::kIdcSearchCurrentOnly, "searchCurrentOnly", "in current folder only"}};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(kAreas[i].text), group);
        SetControlId(radio, kAreas[i].id, kAreas[i].name);
        area_->addButton(radio, i);
        areas->addWidget(radio);
    }
    area_->button(1)->setChecked(true);
    grid->addWidget(group, 4, 0, 1, 2);

    grid->addWidget(OkCancel(this, QStringLiteral("Search")), 5, 0, 1, 2);
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
        row.recordLater = !hit.complete;
        model.InsertRow(model.size(), std::move(row));
    }
}

} // namespace

namespace {

// The last operation found the connection gone or the server out of reach (not a folder
// the server refused to list).
bool ConnectionBroken(const FtpConnection& connection) {
    const FtpStatusInfo status = connection.LastStatus();
    return status.lost();
}

} // namespace

void RunSearchFiles(PaneController& pane, QWidget* parent) {
    const bool ftp = pane.sourceKind() == kSourceFtp;
    QString text;
    bool hex = false;
    bool caseSensitive = false;
    int area = 1;
    QString mask;
    {
        CSearchFilesDialog dialog(ftp, parent);
        if (RunModal(dialog) != QDialog::Accepted) return;
        text = dialog.text();
        hex = dialog.hex();
        caseSensitive = dialog.caseSensitive();
        area = dialog.area();
        mask = dialog.mask();
    }
    // The walk lists through an FTP pane's own connection: the pane's thread stops first,
    // and rows it still had on the way never mix with the hits. A listing stopped in the
    // middle may have cost the connection: it is made anew.
    QString failure;
    bool stopped = false;
    FtpConnection* connection = ftp ? pane.ConnectionForWork(&failure, &stopped) : nullptr;
    // A connect the user stopped leaves the pane where it was; the next action connects anew.
    if (ftp && !connection && stopped) return;
    if (ftp && !connection) {
        // As a listing's failed connect: told, and the pane goes back to the local root.
        TellListingFailed(failure, false, parent);
        pane.ReturnToLocalRoot();
        return;
    }
    pane.DropListing();
    if (area == 0) pane.setCurrentPath(pane.PathSeparator());
    pane.setMask(mask.isEmpty() ? QStringLiteral("*.*") : mask);
    pane.setListMode(ListMode::Folder);

    PatternSearch pattern;
    pattern.Init();
    SearchJob job;
    job.root = pane.currentPath();
    job.mask = pane.mask();
    job.recursive = area != 2;
    job.showHidden = pane.showHidden() ? 1 : 0;
    job.showInRom = pane.showInRom() ? 1 : 0;
    if (connection) job.side = MakeFtpSide(connection, QString());
    if (!text.isEmpty() && pattern.AddPattern(text, caseSensitive, hex)) {
        job.textSearch = true;
        job.pattern = &pattern;
    }
    CPaneModel& model = *pane.model();
    model.ResetRows({});
    model.InsertRow(0, PaneRow::Parent());

    CProgressDialog dialog(job.progress, CProgressDialog::kSearch, job.title,
                           QStringLiteral("Files found: %1"), parent ? parent->window() : nullptr);
    QTimer hits;
    hits.setInterval(200);
    QObject::connect(&hits, &QTimer::timeout, &pane, [&job, &model] { TakeHits(job, model); });
    bool stoppedEarly = false;
    dialog.SetStopHook([&job, &stoppedEarly] {
        stoppedEarly = !job.progress.ended.load();
        job.Stop();
    });
    dialog.Start([&job] { RunSearch(job); });
    hits.start();
    RunModal(dialog);
    dialog.StopWorker();
    hits.stop();
    TakeHits(job, model);
    pattern.Clear();
    if (const int skipped = job.tooDeep.load(); skipped > 0)
        ShowMessage(QStringLiteral("%1 folders deeper than %2 levels were not searched.")
                        .arg(skipped)
                        .arg(job.side->SearchDepth()),
                    MessageKind::Info, parent);
    // A connection lost or left unusable by a stop in the middle of a LIST: the next search
    // or listing connects anew. Lost on its own, it cut the hits short: the user is told.
    if (connection && ConnectionBroken(*connection)) {
        if (!stoppedEarly)
            ShowMessage(QStringLiteral("Ftp connection closed"), MessageKind::Info, parent);
        pane.ConnectionLost();
    }
    if (parent) parent->setFocus();
}

// ---- Dir Sizes ----

void RunDirSizes(PaneController& pane) {
    if (pane.sourceKind() != kSourceLocal) return;
    std::vector<int> rows;
    std::vector<QString> folders;
    for (int row = 0; row < pane.RowCount(); ++row) {
        // Told by the row's kind first: asking a search hit for its record costs a stat.
        if (!pane.IsFolderRow(row)) continue;
        const FindRecord* record = pane.RowRecord(row);
        if (!record || !record->isFolder()) continue;
        rows.push_back(row);
        folders.push_back(pane.currentPath() + record->name + QLatin1Char('/'));
    }
    if (rows.empty()) return;

    std::atomic<int> running{1};
    std::vector<std::optional<uint64_t>> sums(folders.size());
    RunBesideWindow(running, [&] {
        for (size_t i = 0; i < folders.size() && running.load(); ++i) {
            const uint64_t sum = DirSize(folders[i], &running);
            if (running.load()) sums[i] = sum; // a stopped walk's sum is short: not shown
        }
    });
    for (size_t i = 0; i < rows.size(); ++i)
        if (sums[i]) pane.model()->SetSizeText(rows[i], FormatSize(*sums[i]));
}

} // namespace velmar
