#pragma once
// The one seam every message box and question goes through ("CE Velmar" caption, owner
// the active frame). Tests install an answerer and script the replies; no test ever
// waits for a person.

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace velmar {

// Plain: no icon. StopQuestion: the stop icon with Yes and No. FailureQuestion: the stop icon
// with "Skip" (Ignore), "Skip all" (YesToAll) and "Stop" (Abort).
enum class MessageKind { Info, Warning, Error, Question, Plain, StopQuestion, FailureQuestion };

// Shows `text`; returns the button pressed (QMessageBox::Ok for plain messages).
QMessageBox::StandardButton ShowMessage(const QString& text, MessageKind kind = MessageKind::Info,
                                        QWidget* owner = nullptr);
// A Yes/No question; true only for Yes.
bool AskYesNo(const QString& text, QWidget* owner = nullptr);

// Tests: every message goes to `answerer` instead of a box; it returns the button pressed.
using MessageAnswerer =
    std::function<QMessageBox::StandardButton(const QString& text, MessageKind kind)>;
void SetMessageAnswererForTesting(MessageAnswerer answerer);

// The owner used when none is given (the active frame).
void SetDefaultMessageOwner(QWidget* owner);

} // namespace velmar
