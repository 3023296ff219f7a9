#pragma once
// Two real panes over one document in a window, with a frame stand-in that records what
// the panes ask of it.

#include "filemgr/Launch.h"
#include "filemgr/PaneHost.h"
#include "filemgr/PaneList.h"
#include "filemgr/PaneModel.h"
#include "filemgr/PaneSort.h"
#include "filemgr/VelmarDoc.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"
#include "support/Gui.h"
#include "support/MessageScript.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace velmar::test {

class RecordingHost : public PaneHost {
public:
    void SetMenuBar(int resourceId) override { menuBars.push_back(resourceId); }
    void SetPathText(const QString& text) override { pathTexts.append(text); }
    void SetActivePane(CPaneList* pane) override { active = pane; }
    CPaneList* OtherPane(CPaneList* pane) override { return pane == first ? second : first; }

    std::vector<int> menuBars;
    QStringList pathTexts;
    CPaneList* active = nullptr;
    CPaneList* first = nullptr;
    CPaneList* second = nullptr;
};

inline void ResetPaneSettings() {
    for (const SettingDef& d : kSettingsStore)
        WriteStoreSetting(d.name, d.fallback);
    WriteStoreSetting(kDeleteToTrash.name, kDeleteToTrash.fallback);
    SortMode = 0;
}

// Processes events until the pane's listing has ended.
inline void WaitListed(const PaneController& pane) {
    EXPECT_TRUE(WaitFor([&] { return !pane.IsListing(); })) << "the listing never ended";
}

struct PaneWindow {
    CVelmarDoc doc;
    RecordingHost host;
    QWidget window;
    CPaneList* left = nullptr;
    CPaneList* right = nullptr;

    PaneWindow() {
        // Opening a file row must never start a real program or viewer from a test.
        SetLauncherForTesting([](const LaunchPlan&) {});
        auto* layout = new QHBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        left = new CPaneList(&doc, &host, &window);
        right = new CPaneList(&doc, &host, &window);
        layout->addWidget(left);
        layout->addWidget(right);
        host.first = left;
        host.second = right;
        left->controller().SetOtherPane(&right->controller());
        right->controller().SetOtherPane(&left->controller());
        window.resize(480, 320);
        left->OnUpdate(nullptr);
        right->OnUpdate(nullptr);
        WaitListed();
    }

    // Until both panes have all their rows.
    void WaitListed() const {
        test::WaitListed(left->controller());
        test::WaitListed(right->controller());
    }

    // Shows the window and gives `pane` the keyboard focus.
    void Focus(CPaneList* pane) {
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        pane->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
};

inline QStringList Names(const PaneController& pane) {
    QStringList names;
    for (int i = 0; i < pane.RowCount(); ++i)
        names.append(pane.RowName(i));
    return names;
}
inline QStringList Names(const CPaneList& pane) {
    return Names(pane.controller());
}

// `folder` as a pane path: ends with "/".
inline QString PanePath(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

inline void ShowFolder(CPaneList& pane, const QString& folder) {
    pane.controller().setCurrentPath(PanePath(folder));
    pane.controller().RefillPane();
    WaitListed(pane.controller());
}

// Folders A (holding "inner") and B; files of known sizes; a hidden file.
class PaneFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPaneSettings();
        dir.mkdir("A/inner");
        dir.mkdir("B");
        dir.write("b", QByteArray(300, 'x'));
        dir.write("a.txt", QByteArray(2048, 'x'));
        dir.write("c.doc", QByteArray(10, 'x'));
        dir.write(".hidden", "h");
    }
    TempDir dir;
};

// The name of the row under the pane's cursor.
inline QString FocusedName(const PaneController& pane) {
    return pane.RowName(pane.FocusedRow());
}

// Opens `row` as Enter would and waits for the listing it starts.
inline void OpenAndWait(PaneController& pane, int row) {
    pane.OpenRow(row);
    WaitListed(pane);
}

// Marks the rows `names` (the other marks go unless `add`).
inline void Mark(CPaneList& pane, const QStringList& names, bool add = false) {
    if (!add) pane.clearSelection();
    for (const QString& n : names)
        pane.selectionModel()->select(pane.model()->index(pane.controller().FindRow(n), 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Whether the pane's command `id` is enabled (the menu's and the key's check).
inline bool Enabled(CPaneList& pane, int id) {
    CommandState state;
    EXPECT_TRUE(pane.OnUpdateCommand(id, state)) << id;
    return state.enabled;
}

// Waits until the progress dialog `d` says "Done" (false when it never does).
inline bool WaitDone(QDialog* d) {
    auto* name = FindControl<QLabel>(d, ids::kIdcProgressName);
    return WaitFor([&] { return name->text() == QLatin1String("Done"); });
}

// The next "Ftp Servers" dialog connects to its only entry.
inline void ChooseTheOnlyServer() {
    SetDialogHookForTesting([](QDialog* d) {
        if (ControlIdOf(d) != ids::kDlgFtpServers) return;
        FindControl<QListWidget>(d, ids::kIdcServerList)->setCurrentRow(0);
        FindControl<QPushButton>(d, ids::kIdOk)->click();
    });
}

// Connects with waits no test outlasts: only the stop under test can end them.
inline void ConnectWithoutTimeOut(PaneController& pane, int port, bool own) {
    FtpOptions slow;
    slow.connectMs = slow.receiveMs = 600000;
    pane.ConnectTo({"127.0.0.1", port, "u", "p"}, own, slow);
}

} // namespace velmar::test
