#pragma once
// The file-manager frame: two panes in a splitter (side by side or stacked), the path
// field under them with the battery gauge at its right, and the command bar. It routes
// the per-pane menu commands to a fixed pane and runs the Preferences dialog.

#include "filemgr/PaneHost.h"
#include "framework/Frame.h"

#include <QRect>

class QSplitter;
class QTimer;

namespace velmar {

class BatteryGauge;
class CPaneList;
class CVelmarDoc;
class PathBar;

constexpr int kPathStripHeight = 18;

struct FrameLayout {
    QRect splitter;
    QRect pathBar;
    QRect gauge;
};
// Client area cx x cy: splitter on top, the path field and the 6-pixel gauge below.
FrameLayout ComputeFrameLayout(int cx, int cy);

class CMainFrame : public CFrame, public PaneHost {
    Q_OBJECT
public:
    explicit CMainFrame(CVelmarDoc* doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // PaneHost
    void SetMenuBar(int resourceId) override;
    void SetPathText(const QString& text) override;
    void SetActivePane(CPaneList* pane) override;
    CPaneList* OtherPane(CPaneList* pane) override;
    CPaneList* ActivePane() const override;
    void RefreshCommandStates() override { UpdateCommandStates(); }

    CPaneList* firstPane() const { return first_; }
    CPaneList* secondPane() const { return second_; }
    bool stacked() const { return stacked_; }
    // Rearranges the same two panes, each getting half the room.
    void SetStacked(bool stacked);

    QSplitter* splitter() const { return splitter_; }
    PathBar* pathBar() const { return pathBar_; }
    BatteryGauge* gauge() const { return gauge_; }
    CVelmarDoc* document() const { return doc_; }

    // Preferences: OK stores the ten values, rearranges the panes when "Vertical split"
    // changed, and lets every pane pick up the new settings.
    void RunPreferences();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    bool event(QEvent* event) override;
    // Hands a per-pane command to its pane (tests record it here).
    virtual void SendToPane(CPaneList* pane, int id);

private:
    void Relayout();
    void HalveSplitter();
    CPaneList* PaneForCommand(int id, int* mapped) const;

    CVelmarDoc* doc_;
    QWidget* client_ = nullptr;
    QSplitter* splitter_ = nullptr;
    PathBar* pathBar_ = nullptr;
    BatteryGauge* gauge_ = nullptr;
    CPaneList* first_ = nullptr;
    CPaneList* second_ = nullptr;
    QTimer* gaugeTimer_ = nullptr;
    bool stacked_ = false;
};

} // namespace velmar
