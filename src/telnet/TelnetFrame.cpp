#include "telnet/TelnetFrame.h"

#include "framework/View.h"
#include "res/Ids.h"
#include "telnet/TelnetView.h"

#include <QScreen>

namespace velmar {

CMainFrameTelnet::CMainFrameTelnet(CDocument* doc, QWidget* parent) : CFrame(parent) {
    setObjectName(QStringLiteral("telnetFrame"));
    SetCommandBar(ids::kResTelnet);
    view_ = new telnet::CTelnetView(this);
    setCentralWidget(view_);
    if (doc) doc->AddView(view_);
    SetActiveView(view_);
    // Wide enough for the whole terminal where the screen allows.
    QSize size = sizeHint().expandedTo(QSize(800, 600));
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
}

} // namespace velmar
