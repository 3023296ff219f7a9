#include "framework/Message.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace velmar {

namespace {
MessageAnswerer g_answerer;
QPointer<QWidget> g_owner;
const QString kCaption = QStringLiteral("CE Velmar");
} // namespace

void SetMessageAnswererForTesting(MessageAnswerer answerer) {
    g_answerer = std::move(answerer);
}
void SetDefaultMessageOwner(QWidget* owner) {
    g_owner = owner;
}

QMessageBox::StandardButton ShowMessage(const QString& text, MessageKind kind, QWidget* owner) {
    if (g_answerer) return g_answerer(text, kind);
    if (!owner) owner = g_owner;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case MessageKind::Question:
        icon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageKind::StopQuestion:
        icon = QMessageBox::Critical;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageKind::FailureQuestion:
        icon = QMessageBox::Critical;
        buttons = QMessageBox::Ignore | QMessageBox::YesToAll | QMessageBox::Abort;
        break;
    case MessageKind::Plain:
        icon = QMessageBox::NoIcon;
        break;
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    case MessageKind::Info:
        break;
    }
    QMessageBox box(icon, kCaption, text, buttons, owner);
    // Messages carry file names and server replies: "530 <a href=...>" must read as it came,
    // never turn into a link or markup.
    box.setTextFormat(Qt::PlainText);
    if (kind == MessageKind::FailureQuestion) {
        box.button(QMessageBox::Ignore)->setText(QStringLiteral("Skip"));
        box.button(QMessageBox::YesToAll)->setText(QStringLiteral("Skip all"));
        box.button(QMessageBox::Abort)->setText(QStringLiteral("Stop"));
        box.setDefaultButton(QMessageBox::Ignore);
    } else {
        box.setDefaultButton(buttons & QMessageBox::No ? QMessageBox::No : QMessageBox::Ok);
    }
    return QMessageBox::StandardButton(box.exec());
}

bool AskYesNo(const QString& text, QWidget* owner) {
    return ShowMessage(text, MessageKind::Question, owner) == QMessageBox::Yes;
}

} // namespace velmar
