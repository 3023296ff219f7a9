#pragma once
// The About box (dialog 100): the program's icon, name and version, and a link to the
// product's web page.

#include <QDialog>

namespace velmar {

extern const char kProductWebPage[];

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace velmar
