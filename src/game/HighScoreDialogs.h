#pragma once
// The high-score dialogs: "Insert your name !" (148) asks for the name that goes with a
// new score; "High Scores" (149) lists the table.

#include "game/core/HighScores.h"

#include <QDialog>
#include <vector>

class QLineEdit;
class QTreeWidget;

namespace velmar {

class InsertNameDialog : public QDialog {
    Q_OBJECT
public:
    explicit InsertNameDialog(int score, QWidget* parent = nullptr);
    QString name() const;

private:
    QLineEdit* name_ = nullptr;
};

class HighScoresDialog : public QDialog {
    Q_OBJECT
public:
    explicit HighScoresDialog(const std::vector<lines::HighScoreEntry>& entries,
                              QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitColumns();
    QTreeWidget* list_ = nullptr;
};

} // namespace velmar
