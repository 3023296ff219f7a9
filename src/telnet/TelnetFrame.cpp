#include "telnet/TelnetFrame.h"

#include "framework/View.h"
#include "res/Ids.h"
#include "telnet/TelnetView.h"

namespace velmar {

CMainFrameTelnet::CMainFrameTelnet(CDocument* doc, QWidget* parent) : CFrame(parent) {
    setObjectName(QStringLiteral("telnetFrame"));
    SetCommandBar(ids::kResTelnet);
    view_ = new telnet::CTelnetView(this);
    setCentralWidget(view_);
    if (doc) doc->AddView(view_);
    SetActiveView(view_);
    resize(1024, 640);
}

} // namespace velmar
