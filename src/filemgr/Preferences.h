#pragma once
// "Preferences" (dialog 158): the ten "Settings" values, read into the controls when the
// dialog opens and written back, all ten in table order, on OK only; then "Delete to trash".

#include <QDialog>
#include <array>
#include <functional>

namespace velmar {

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget* parent = nullptr);

    // The control numbers in the order of the settings table.
    static const std::array<int, 10> kControlIds;

    // Current control values, in table order.
    std::array<int, 10> values() const;
    void setValues(const std::array<int, 10>& values);
    // "Delete to trash": 1 ticked.
    int trash() const;

    // Loads every control from its setting (with its default).
    void Load();
    // Writes all ten values in table order, then "DeleteToTrash", through `write` (the settings
    // store by default).
    using Writer = std::function<void(const char* name, int value)>;
    void Store(const Writer& write) const;
    void Store() const;
};

} // namespace velmar
