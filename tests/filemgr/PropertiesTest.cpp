// The properties sheet: which boxes are checked, the times in local time, and that
// nothing reaches the disk.
#include "filemgr/Properties.h"
#include "PaneTestSupport.h"
#include "platform/LocalFind.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

using namespace velmar;
using namespace velmar::test;

namespace {

QStringList CheckedTexts(const QWidget& sheet) {
    QStringList texts;
    for (const auto& f : CFileAttrPage::kFlags)
        if (FindControl<QCheckBox>(&sheet, f.control)->isChecked())
            texts.append(QString::fromLatin1(f.text));
    return texts;
}

} // namespace

TEST(PropertiesSheet, AttributeBoxesFollowTheBits) {
    FindRecord r;
    r.name = "secret.txt";
    r.attributes = attr::ReadOnly | attr::Hidden;
    CPropertiesSheet sheet(r, "secret.txt");
    EXPECT_EQ(sheet.tabs()->count(), 2);
    EXPECT_EQ(CheckedTexts(sheet), (QStringList{"hidden", "read only"}));
    // The sheet applies nothing: no box looks as if it could be changed.
    for (const auto& f : CFileAttrPage::kFlags)
        EXPECT_FALSE(FindControl<QCheckBox>(&sheet, f.control)->isEnabled()) << f.text;

    // One bit stands for both "encrypted" and "in ROM".
    r.attributes = attr::InRom;
    CPropertiesSheet rom(r, "r");
    EXPECT_EQ(CheckedTexts(rom), (QStringList{"encrypted", "in ROM"}));
}

TEST(PropertiesSheet, TimesShowInTheLocalTimeZone) {
    const ScopedEnv tokyo("TZ", "Asia/Tokyo"); // UTC+9 all year
    FindRecord r;
    r.name = "f";
    // 2021-03-04 05:06:07 UTC, 2000-01-01 00:00:00 UTC, 2021-12-31 20:00:00 UTC.
    r.creationTime = FileTimeFromUnix(1614834367, 0);
    r.lastAccessTime = FileTimeFromUnix(946684800, 0);
    r.lastWriteTime = FileTimeFromUnix(1640980800, 0);
    CPropertiesSheet sheet(r, "f");
    // The date from one control, the time from the other, as shown.
    QStringList shown;
    for (int control : {ids::kIdcCreatedDate, ids::kIdcCreatedTime, ids::kIdcAccessedDate,
                        ids::kIdcAccessedTime, ids::kIdcWrittenDate, ids::kIdcWrittenTime}) {
        auto* edit = FindControl<QDateTimeEdit>(&sheet, control);
        ASSERT_NE(edit, nullptr) << control;
        EXPECT_FALSE(edit->isEnabled());
        shown << (shown.size() % 2 ? edit->time().toString(Qt::ISODate)
                                   : edit->date().toString(Qt::ISODate));
    }
    // Past midnight locally: the local date is the next day.
    EXPECT_EQ(shown.join(' '), "2021-03-04 14:06:07 2000-01-01 09:00:00 2022-01-01 05:00:00");
    // No time at all reads as unknown, not as the picker's earliest year.
    r.lastWriteTime = 0;
    CPropertiesSheet unknown(r, "f");
    for (int control : {ids::kIdcWrittenDate, ids::kIdcWrittenTime})
        EXPECT_EQ(FindControl<QDateTimeEdit>(&unknown, control)->text(), "unknown") << control;
}

TEST(PropertiesSheet, PaneShowsFocusedRowAndChangesNothingOnDisk) {
    ResetPaneSettings();
    TempDir dir;
    const QString file = dir.write("keep.txt", "k");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 04750), 0);
    dir.mkdir("folder");
    const QFile::Permissions before = QFile::permissions(file);
    FindRecord statBefore;
    ASSERT_TRUE(platform::StatPath(file, statBefore));

    PaneWindow w;
    ShowFolder(*w.left, dir.path());
    QStringList titles;
    QStringList checked;
    QStringList facts;
    SetDialogHookForTesting([&](QDialog* d) {
        titles.append(d->windowTitle());
        checked = CheckedTexts(*d);
        facts.clear();
        for (const char* name : {"size", "owner", "group", "permissions"})
            if (auto* label = d->findChild<QLabel*>(QString::fromLatin1(name)))
                facts.append(label->text());
        // Toggle everything that can be toggled, then close.
        for (QCheckBox* box : d->findChildren<QCheckBox*>())
            if (box->isEnabled()) box->click();
        d->reject();
    });
    w.left->controller().SelectAndFocus(w.left->controller().FindRow("keep.txt"));
    EXPECT_TRUE(w.left->OnCommand(ids::kCmdProperties));
    EXPECT_EQ(titles, QStringList{"keep.txt"});
    EXPECT_FALSE(checked.contains("directory"));
    EXPECT_EQ(facts,
              (QStringList{"1 bytes", QString::fromLocal8Bit(getpwuid(getuid())->pw_name),
                           QString::fromLocal8Bit(getgrgid(getgid())->gr_name), "rwsr-x---"}));
    EXPECT_EQ(QFile::permissions(file), before);
    FindRecord statAfter;
    ASSERT_TRUE(platform::StatPath(file, statAfter));
    EXPECT_EQ(statAfter.attributes, statBefore.attributes);

    w.left->controller().SelectAndFocus(w.left->controller().FindRow("folder"));
    w.left->OnCommand(ids::kCmdProperties);
    EXPECT_EQ(titles.last(), "folder");
    EXPECT_TRUE(checked.contains("directory"));
    SetDialogHookForTesting(nullptr);
}
