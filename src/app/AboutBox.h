#pragma once
// The About box (dialog 100): the program's icon, name and version, and a link to the
// manual.

#include <QDialog>

namespace velmar {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace velmar
