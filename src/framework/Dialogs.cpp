#include "framework/Dialogs.h"

#include "res/Ids.h"

#include <QFontMetrics>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace velmar {

namespace {
DialogHook g_hook;
}

void SetControlId(QWidget* widget, int id, const char* name) {
    widget->setProperty(kControlIdProperty, id);
    widget->setObjectName(name ? QString::fromLatin1(name) : QStringLiteral("idc%1").arg(id));
}

QDialogButtonBox* OkCancel(QDialog* dialog, const QString& okText) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = okText.isEmpty() ? buttons->addButton(QDialogButtonBox::Ok)
                                       : buttons->addButton(okText, QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    ok->setDefault(true);
    SetControlId(ok, ids::kIdOk, "ok");
    SetControlId(cancel, ids::kIdCancel, "cancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

int ControlIdOf(const QWidget* widget) {
    return widget ? widget->property(kControlIdProperty).toInt() : 0;
}

void SetDialogHookForTesting(DialogHook hook) {
    g_hook = std::move(hook);
}

int RunModal(QDialog& dialog) {
    // A window manager cuts a title wider than its window ("Create…cut ...."): the dialog is
    // at least as wide as its title needs in the title bar's bolder font, with room for the
    // bar's icon and buttons.
    QFont titleFont = dialog.font();
    titleFont.setBold(true);
    const int needed =
        QFontMetrics(titleFont).horizontalAdvance(dialog.windowTitle()) * 5 / 4 + 120;
    if (dialog.minimumWidth() < needed) dialog.setMinimumWidth(needed);
    if (g_hook) {
        QPointer<QDialog> guard(&dialog);
        QTimer::singleShot(0, &dialog, [guard] {
            // Copy: the hook may replace itself while it runs.
            const DialogHook hook = g_hook;
            if (guard && hook) hook(guard);
            if (guard && guard->isVisible()) guard->reject();
        });
    }
    return dialog.exec();
}

} // namespace velmar
