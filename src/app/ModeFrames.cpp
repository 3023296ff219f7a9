#include "app/ModeFrames.h"

#include "res/Ids.h"

#include <QPainter>

namespace velmar {

CPlaceholderView::CPlaceholderView(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
    setFocusPolicy(Qt::StrongFocus);
}

void CPlaceholderView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0));
    p.setPen(QColor(170, 170, 170));
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

namespace {
template <class View> View* MakeView(CFrame* frame, CDocument* doc, const QString& caption) {
    auto* view = new View(caption, frame);
    frame->setCentralWidget(view);
    if (doc) doc->AddView(view);
    frame->SetActiveView(view);
    return view;
}
} // namespace

CMainFrameTelnet::CMainFrameTelnet(CDocument* doc, QWidget* parent) : CFrame(parent) {
    setObjectName(QStringLiteral("telnetFrame"));
    SetCommandBar(ids::kResTelnet);
    view_ = MakeView<CPlaceholderView>(this, doc, QStringLiteral("Telnet terminal"));
    resize(640, 480);
}

} // namespace velmar
