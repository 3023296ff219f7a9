#include "filemgr/Preferences.h"

#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace velmar {

using namespace ids;

const std::array<int, 10> PreferencesDialog::kControlIds{
    kIdcPrefVerticalSplit,  kIdcPrefQuestionOnRewrite, kIdcPrefLikeNc,         kIdcPrefInternalFtp,
    kIdcPrefShowHidden,     kIdcPrefShowInRom,         kIdcPrefConnectTimeout, kIdcPrefSendTimeout,
    kIdcPrefReceiveTimeout, kIdcPrefUseLinger};

namespace {
// Index 6 to 8 are the time-outs (whole seconds); the rest are check boxes.
bool IsNumber(size_t index) {
    return index >= 6 && index <= 8;
}

QCheckBox* Box(QWidget* parent, int id, const char* name, const char* text) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    SetControlId(box, id, name);
    return box;
}

QSpinBox* Number(QWidget* parent, int id, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(0, 99999);
    SetControlId(spin, id, name);
    return spin;
}
} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent) : QDialog(parent) {
    SetControlId(this, kDlgPreferences, "preferencesDialog");
    setWindowTitle(QStringLiteral("Preferences"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Box(this, kIdcPrefVerticalSplit, "prefVerticalSplit", "Vertical split"));
    layout->addWidget(
        Box(this, kIdcPrefQuestionOnRewrite, "prefQuestionOnRewrite", "Question on rewrite"));
    layout->addWidget(Box(this, kIdcPrefLikeNc, "prefLikeNc", "style \"like NC\""));
    layout->addWidget(
        Box(this, kIdcPrefInternalFtp, "prefInternalFtp", "Use alternate ftp client"));
    layout->addWidget(Box(this, kIdcPrefShowHidden, "prefShowHidden", "Hide \"hidden\" files"));
    layout->addWidget(Box(this, kIdcPrefShowInRom, "prefShowInRom", "Hide files in ROM"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Connect timeout:"),
                 Number(this, kIdcPrefConnectTimeout, "prefConnectTimeout"));
    form->addRow(QStringLiteral("Send timeout:"),
                 Number(this, kIdcPrefSendTimeout, "prefSendTimeout"));
    form->addRow(QStringLiteral("Recieve timeout"),
                 Number(this, kIdcPrefReceiveTimeout, "prefReceiveTimeout"));
    layout->addLayout(form);
    layout->addWidget(Box(this, kIdcPrefUseLinger, "prefUseLinger", "use LINGER option"));
    layout->addWidget(Box(this, kIdcPrefDeleteToTrash, "prefDeleteToTrash", "Delete to trash"));

    auto* buttons = OkCancel(this);
    layout->addWidget(buttons);

    Load();
}

std::array<int, 10> PreferencesDialog::values() const {
    std::array<int, 10> v{};
    for (size_t i = 0; i < kControlIds.size(); ++i) {
        if (IsNumber(i))
            v[i] = FindControl<QSpinBox>(this, kControlIds[i])->value();
        else
            v[i] = FindControl<QCheckBox>(this, kControlIds[i])->isChecked() ? 1 : 0;
    }
    return v;
}

void PreferencesDialog::setValues(const std::array<int, 10>& v) {
    for (size_t i = 0; i < kControlIds.size(); ++i) {
        if (IsNumber(i))
            FindControl<QSpinBox>(this, kControlIds[i])->setValue(v[i]);
        else
            // Any stored non-zero value shows ticked, as the box's data exchange would.
            FindControl<QCheckBox>(this, kControlIds[i])->setChecked(v[i] != 0);
    }
}

void PreferencesDialog::Load() {
    std::array<int, 10> v{};
    for (size_t i = 0; i < kSettingsStore.size(); ++i)
        v[i] = ReadStoreSetting(kSettingsStore[i].name);
    v[1] = AskBeforeReplacing() ? 1 : 0; // the box shows what a copy will do
    setValues(v);
    FindControl<QCheckBox>(this, kIdcPrefDeleteToTrash)
        ->setChecked(ReadStoreSetting(kDeleteToTrash.name) != 0);
}

void PreferencesDialog::Store(const Writer& write) const {
    const std::array<int, 10> v = values();
    for (size_t i = 0; i < kSettingsStore.size(); ++i)
        write(kSettingsStore[i].name, v[i]);
    write(kDeleteToTrash.name, trash());
}

void PreferencesDialog::Store() const {
    WriteStoreSettings(values()); // one write of the settings file for the whole dialog
    WriteStoreSetting(kDeleteToTrash.name, trash());
}

int PreferencesDialog::trash() const {
    return FindControl<QCheckBox>(this, kIdcPrefDeleteToTrash)->isChecked() ? 1 : 0;
}

} // namespace velmar
