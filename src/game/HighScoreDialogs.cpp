#include "game/HighScoreDialogs.h"

#include "framework/Dialogs.h"
#include "res/Ids.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmar {

using namespace ids;

InsertNameDialog::InsertNameDialog(int score, QWidget* parent) : QDialog(parent) {
    SetControlId(this, kDlgInsertName);
    setWindowTitle(QStringLiteral("Insert your name !"));

    auto* value = new QLabel(QString::number(score), this);
    SetControlId(value, kIdcScoreValue);
    name_ = new QLineEdit(this);
    SetControlId(name_, kIdcScoreName);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Score:"), value);
    form->addRow(QStringLiteral("Name:"), name_);

    auto* buttons = OkCancel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(280); // room to see the name being typed
    name_->setFocus();
}

QString InsertNameDialog::name() const {
    return name_->text();
}

HighScoresDialog::HighScoresDialog(const std::vector<lines::HighScoreEntry>& entries,
                                   QWidget* parent)
    : QDialog(parent) {
    SetControlId(this, kDlgHighScores);
    setWindowTitle(QStringLiteral("High Scores"));

    list_ = new QTreeWidget(this);
    SetControlId(list_, kIdcScoreList);
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Score")});
    list_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    for (const lines::HighScoreEntry& e : entries)
        list_->addTopLevelItem(new QTreeWidgetItem({e.name, QString::number(e.score)}));

    // Closing is the only thing to do here; the handheld had the title bar's OK for it.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    SetControlId(buttons->button(QDialogButtonBox::Ok), kIdOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(300, 340);
    FitColumns();
}

void HighScoresDialog::FitColumns() {
    list_->setColumnWidth(0, std::max(0, list_->width() / 2 - 4));
    list_->setColumnWidth(1, list_->header()->sectionSizeHint(1));
}

void HighScoresDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitColumns();
}

} // namespace velmar
