#pragma once
// The properties sheet of one entry: its attribute bits and its three times. It only
// shows: whatever the user toggles, nothing is written back to the file.

#include "platform/FindRecord.h"

#include <QDateTime>
#include <QDialog>
#include <QWidget>
#include <array>

class QCheckBox;
class QDateTimeEdit;
class QTabWidget;

namespace velmar {

// A file time (100 ns since 1601, UTC) in the local time zone.
QDateTime LocalTimeOf(uint64_t fileTime);

// "Flags": one check box per attribute bit.
class CFileAttrPage : public QWidget {
    Q_OBJECT
public:
    struct Flag {
        int control;
        const char* text;
        uint32_t bit;
        bool changeable;
    };
    static const std::array<Flag, 14> kFlags;

    explicit CFileAttrPage(uint32_t attributes, QWidget* parent = nullptr);
    uint32_t attributes() const { return attributes_; }

private:
    uint32_t attributes_;
};

// "Time/Date": a date and a time field for each of the three times, read only.
class CFileTimesPage : public QWidget {
    Q_OBJECT
public:
    CFileTimesPage(uint64_t created, uint64_t accessed, uint64_t written,
                   QWidget* parent = nullptr);
};

class CPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    // Titled with `title` (the row's name); `path`, for a local entry, adds its owner, group
    // and permissions to its size.
    CPropertiesSheet(const FindRecord& record, const QString& title, QWidget* parent = nullptr,
                     const QString& path = {});
    QTabWidget* tabs() const { return tabs_; }

private:
    QTabWidget* tabs_ = nullptr;
};

} // namespace velmar
