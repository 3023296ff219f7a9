#include "framework/Message.h"

#include <QPointer>
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
    switch (kind) {
    case MessageKind::Question:
        return QMessageBox::question(owner, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No);
    case MessageKind::StopQuestion:
        return QMessageBox::critical(owner, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No);
    case MessageKind::Plain: {
        QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, owner);
        return QMessageBox::StandardButton(box.exec());
    }
    case MessageKind::Warning:
        return QMessageBox::warning(owner, kCaption, text);
    case MessageKind::Error:
        return QMessageBox::critical(owner, kCaption, text);
    case MessageKind::Info:
        break;
    }
    return QMessageBox::information(owner, kCaption, text);
}

bool AskYesNo(const QString& text, QWidget* owner) {
    return ShowMessage(text, MessageKind::Question, owner) == QMessageBox::Yes;
}

} // namespace velmar
