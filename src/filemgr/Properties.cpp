#include "filemgr/Properties.h"

#include "framework/Dialogs.h"
#include "platform/FileOwner.h"
#include "res/Ids.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cctype>

namespace velmar {

const std::array<CFileAttrPage::Flag, 14> CFileAttrPage::kFlags{{
    {ids::kIdcAttrArchive, "archive file ", attr::Archive, true},
    {ids::kIdcAttrCompressed, "compressed", 0x800, false},
    {ids::kIdcAttrDirectory, "directory", attr::Directory, false},
    {ids::kIdcAttrEncrypted, "encrypted", attr::InRom, false},
    {ids::kIdcAttrHidden, "hidden", attr::Hidden, true},
    {ids::kIdcAttrInRom, "in ROM", attr::InRom, false},
    {ids::kIdcAttrNormal, "normal", attr::Normal, true},
    {ids::kIdcAttrReadOnly, "read only", attr::ReadOnly, true},
    {ids::kIdcAttrReparsePoint, "reparse point", attr::ReparsePoint, false},
    {ids::kIdcAttrRomModule, "ROM module", 0x2000, false},
    {ids::kIdcAttrRomStaticRef, "ROM static reference", 0x1000, false},
    {ids::kIdcAttrSparse, "sparse file", 0x200, false},
    {ids::kIdcAttrSystem, "system file", 0x4, true},
    {ids::kIdcAttrTemporary, "temporary file", 0x100, true},
}};

namespace {

// The locale's long time format without the zone name: the time is already local.
QString TimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

// A control's object name from its label: "Last access time:" is lastAccessTime.
QByteArray ControlName(const char* text) {
    QByteArray name;
    bool upper = false;
    for (const char* c = text; *c; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c))) {
            upper = !name.isEmpty();
            continue;
        }
        name += upper            ? char(std::toupper(static_cast<unsigned char>(*c)))
                : name.isEmpty() ? char(std::tolower(static_cast<unsigned char>(*c)))
                                 : *c;
        upper = false;
    }
    return name;
}

} // namespace

QDateTime LocalTimeOf(uint64_t fileTime) {
    return QDateTime::fromMSecsSinceEpoch(UnixMillisFromFileTime(fileTime), Qt::LocalTime);
}

CFileAttrPage::CFileAttrPage(uint32_t attributes, QWidget* parent)
    : QWidget(parent), attributes_(attributes) {
    SetControlId(this, ids::kDlgFlags, "flagsDialog");
    auto* grid = new QGridLayout(this);
    int i = 0;
    for (const Flag& f : kFlags) {
        auto* box = new QCheckBox(QString::fromLatin1(f.text), this);
        SetControlId(box, f.control, ControlName(f.text).constData());
        box->setChecked((attributes & f.bit) != 0);
        // The sheet applies nothing, so no box may look as if it could be changed.
        box->setEnabled(false);
        grid->addWidget(box, i % 7, i / 7);
        ++i;
    }
}

CFileTimesPage::CFileTimesPage(uint64_t created, uint64_t accessed, uint64_t written,
                               QWidget* parent)
    : QWidget(parent) {
    SetControlId(this, ids::kDlgTimeDate, "timeDateDialog");
    auto* grid = new QGridLayout(this);
    struct Row {
        const char* label;
        uint64_t time;
        int dateControl;
        int timeControl;
    };
    const Row rows[] = {
        {"Created:", created, ids::kIdcCreatedDate, ids::kIdcCreatedTime},
        {"Last access time:", accessed, ids::kIdcAccessedDate, ids::kIdcAccessedTime},
        {"Last write time", written, ids::kIdcWrittenDate, ids::kIdcWrittenTime},
    };
    const QLocale locale;
    int r = 0;
    for (const Row& row : rows) {
        const QDateTime when = LocalTimeOf(row.time);
        grid->addWidget(new QLabel(QString::fromLatin1(row.label), this), r, 0, 1, 2);
        auto* date = new QDateTimeEdit(when, this);
        date->setDisplayFormat(locale.dateFormat(QLocale::ShortFormat));
        date->setEnabled(false);
        const QByteArray name = ControlName(row.label);
        SetControlId(date, row.dateControl, (name + "Date").constData());
        auto* time = new QDateTimeEdit(when, this);
        time->setDisplayFormat(TimeFormat(locale));
        time->setEnabled(false);
        SetControlId(time, row.timeControl, (name + "Time").constData());
        // No time at all (a server that gave none): say so rather than show the picker's
        // earliest date.
        if (row.time == 0) {
            for (QDateTimeEdit* edit : {date, time}) {
                edit->setSpecialValueText(QStringLiteral("unknown"));
                edit->setDateTime(edit->minimumDateTime());
            }
        }
        grid->addWidget(date, r + 1, 0);
        grid->addWidget(time, r + 1, 1);
        r += 2;
    }
    grid->setRowStretch(r, 1);
}

CPropertiesSheet::CPropertiesSheet(const FindRecord& record, const QString& title, QWidget* parent,
                                   const QString& path)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    // What a Linux user looks for first: size, owner, group and permissions.
    auto* facts = new QFormLayout;
    auto addFact = [&](const char* label, const QString& value, const char* name) {
        auto* text = new QLabel(value, this);
        text->setTextFormat(Qt::PlainText); // a user or group name is outside text
        text->setObjectName(QString::fromLatin1(name));
        facts->addRow(QString::fromLatin1(label), text);
    };
    if (!record.isFolder())
        addFact("Size:", QStringLiteral("%1 bytes").arg(record.size), "size");
    platform::FileOwner owner;
    if (!path.isEmpty() && platform::OwnerOf(path, owner)) {
        addFact("Owner:", owner.owner, "owner");
        addFact("Group:", owner.group, "group");
        addFact("Permissions:", owner.permissions, "permissions");
    }
    layout->addLayout(facts);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(new CFileAttrPage(record.attributes, tabs_), QStringLiteral("Flags"));
    tabs_->addTab(
        new CFileTimesPage(record.creationTime, record.lastAccessTime, record.lastWriteTime, tabs_),
        QStringLiteral("Time/Date"));
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    if (QPushButton* close = buttons->button(QDialogButtonBox::Close))
        SetControlId(close, ids::kIdOk, "ok");
    // Nothing is applied on close: the sheet only shows.
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

} // namespace velmar
