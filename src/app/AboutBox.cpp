#include "app/AboutBox.h"

#include "app/HotStatic.h"
#include "framework/Browser.h"
#include "framework/Dialogs.h"
#include "framework/Icons.h"
#include "res/Ids.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace velmar {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    SetControlId(this, ids::kDlgAbout);
    setWindowTitle(QStringLiteral("About CE Velmar"));

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    SetControlId(icon, ids::kIconProgram);
    auto* name = new QLabel(QStringLiteral("CE Velmar 1.1"), this);
    auto* link = new CHotStatic(this);
    SetControlId(link, ids::kIdcAboutLink);
    // The program has no web site: the link opens the manual installed with it.
    link->setText(QStringLiteral("CE Velmar manual"));
    link->SetTarget(QUrl::fromLocalFile(HelpFilePath()).toString(QUrl::FullyEncoded));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    SetControlId(buttons->button(QDialogButtonBox::Ok), ids::kIdOk);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(link, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

} // namespace velmar
