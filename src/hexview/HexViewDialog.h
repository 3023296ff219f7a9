#pragma once
// The modal hex window over one open file, its "Find" dialog, and the entry point the
// panes call for "View in HEX" and "View/Edit in HEX".

#include "platform/BlockFile.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLineEdit;

namespace velmar {

class HexView;

// "Find" (144): the text, "Search as hex string" and "Case Sensitive". Starts from the
// remembered search text and hex choice (case always unchecked) and stores them back when
// it goes: the text when not empty, the hex choice, the case choice when checked.
class HexFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit HexFindDialog(QWidget* parent = nullptr);
    ~HexFindDialog() override;

    QString text() const;
    bool hex() const;
    bool caseSensitive() const;

private:
    QLineEdit* text_;
    QCheckBox* hex_;
    QCheckBox* case_;
};

class HexViewDialog : public QDialog {
    Q_OBJECT
public:
    // Takes over `file`, open for reading (and writing unless `readOnly`).
    HexViewDialog(std::unique_ptr<platform::BlockFile> file, const QString& path, bool readOnly,
                  QWidget* parent = nullptr);
    ~HexViewDialog() override;

    HexView* view() const { return view_; }
    // "Search" (32795): the Find dialog, then a search from the top visible row.
    void Search();

    void reject() override;

private:
    std::unique_ptr<platform::BlockFile> file_;
    HexView* view_;
};

// Opens `path` and runs the hex window until it is closed. "File can't be opened" (and no
// window) when it cannot be opened: for writing in edit mode, at all in view mode.
bool RunHexView(const QString& path, bool readOnly, QWidget* owner);

} // namespace velmar
