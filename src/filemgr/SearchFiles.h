#pragma once
// "Search files" (the dialog "File Name & Text" and the search worker under the progress
// dialog) and "Dir Sizes" (folder sums into the size column).

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace velmar {

class PaneController;

// "File Name & Text" (141). Starts from the remembered values and stores them back when it
// goes: the mask and the text when not empty, the hex choice always, the case choice only
// when checked. The text field is read-only for an FTP pane (contents are searched locally).
class CSearchFilesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSearchFilesDialog(bool ftpPane, QWidget* parent = nullptr);
    ~CSearchFilesDialog() override;

    QString mask() const;
    QString text() const;
    bool hex() const;
    bool caseSensitive() const;
    int area() const; // 0 from the root, 1 from the current folder, 2 in it only

private:
    QLineEdit* mask_;
    QLineEdit* text_;
    QCheckBox* hex_;
    QCheckBox* case_;
    QButtonGroup* area_;
};

// Runs the dialog and, on "Search", the search; the hits stay in the pane.
void RunSearchFiles(PaneController& pane, QWidget* parent);
// The total size of every listed folder into its size column. The walk runs beside the
// window, under the wait cursor; Esc stops it (sums done so far stay).
void RunDirSizes(PaneController& pane);

} // namespace velmar
