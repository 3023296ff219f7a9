#pragma once
// The frames of the telnet and game modes: each has its own menu and tool bar (145 and
// 150) and one view; no panes, no path field, no gauge.

#include "framework/Frame.h"
#include "framework/View.h"
#include "telnet/TelnetFrame.h"

#include <QWidget>

namespace velmar {

// Stands in for a mode's view until that mode's own view is built.
class CPlaceholderView : public QWidget, public CView {
    Q_OBJECT
public:
    CPlaceholderView(const QString& caption, QWidget* parent = nullptr);
    QWidget* widget() override { return this; }
    void OnUpdate(CView*) override {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace velmar
