#pragma once
// The frame of the telnet mode: the terminal menu and key tool bar (145) and one terminal.

#include "framework/Frame.h"

namespace velmar {

class CDocument;

namespace telnet {
class CTelnetView;
}

class CMainFrameTelnet : public CFrame {
    Q_OBJECT
public:
    explicit CMainFrameTelnet(CDocument* doc, QWidget* parent = nullptr);
    telnet::CTelnetView* view() const { return view_; }

private:
    telnet::CTelnetView* view_ = nullptr;
};

} // namespace velmar
