#pragma once
// Modal dialogs that tests can answer: every control carries its number (property
// "controlId") and an object name (the name given, else "idc<number>"), every dialog its
// resource number, and RunModal hands each dialog to a test hook once it is up.

#include <QDialog>
#include <QDialogButtonBox>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace velmar {

inline constexpr char kControlIdProperty[] = "controlId";

// Marks `widget` as control (or dialog) `id`, found by `name` as well when one is given.
void SetControlId(QWidget* widget, int id, const char* name = nullptr);
int ControlIdOf(const QWidget* widget);

// The child of `parent` with control number `id` and type T, or nullptr.
template <class T> T* FindControl(const QWidget* parent, int id) {
    if (!parent) return nullptr;
    for (T* child : parent->findChildren<T*>())
        if (child->property(kControlIdProperty).toInt() == id) return child;
    return nullptr;
}

// The dialog's OK and Cancel buttons (controls 1 "ok" and 2 "cancel"), wired to accept and reject; OK is the
// default button and says `okText` when one is given.
QDialogButtonBox* OkCancel(QDialog* dialog, const QString& okText = QString());

// Runs `dialog` modally and returns its result (QDialog::Accepted or Rejected).
int RunModal(QDialog& dialog);

// Tests: `hook` is called with every dialog RunModal shows, inside its event loop; it fills
// controls and accepts or rejects. A dialog the hook leaves open is rejected.
using DialogHook = std::function<void(QDialog* dialog)>;
void SetDialogHookForTesting(DialogHook hook);

} // namespace velmar
