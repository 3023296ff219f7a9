#include "app/framework/Icons.h"

#include "res/Ids.h"
#include "res/MenuTables.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace velmar {

namespace {

const QColor kPaneBlue(0, 0, 143);
const QColor kCyan(0, 255, 255);
const QColor kYellow(255, 255, 0);

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

// Two dark-blue panes with cyan rows, as the file manager looks in its own style.
QPixmap DrawProgram(int s) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int half = s / 2;
    for (int pane = 0; pane < 2; ++pane) {
        const QRect r(pane * half, s / 8, half - 1, s - s / 4);
        p.fillRect(r, kPaneBlue);
        p.setPen(QColor(255, 255, 255));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        for (int y = r.top() + s / 8; y < r.bottom() - s / 16; y += qMax(2, s / 8))
            p.fillRect(QRect(r.left() + s / 16 + 1, y, r.width() - s / 8 - 2, qMax(1, s / 32)),
                       pane == 0 && y == r.top() + s / 8 ? kYellow : kCyan);
    }
    return pm;
}

// A short label in a box: clear at any size and in every style.
QPixmap DrawLabel(int s, const QString& text, const QColor& ink) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(text.size() > 2 ? s * 5 / 12 : s / 2);
    p.setFont(f);
    p.setPen(QPen(ink, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), 2, 2);
    p.drawText(QRect(0, 0, s, s), Qt::AlignCenter, text);
    return pm;
}

QPixmap DrawInvert(int s) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    const int m = s / 8;
    const int row = (s - 2 * m) / 4;
    for (int i = 0; i < 4; ++i) {
        const QRect r(m, m + i * row, s - 2 * m, row - 1);
        if (i % 2 == 0)
            p.fillRect(r, kPaneBlue);
        else
            p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return pm;
}

QPixmap DrawDelete(int s) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), qMax(2, s / 8), Qt::SolidLine, Qt::RoundCap));
    const int m = s / 4;
    p.drawLine(m, m, s - m, s - m);
    p.drawLine(s - m, m, m, s - m);
    return pm;
}

QPixmap DrawFastFolder(int s) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor folder(230, 180, 40);
    p.setPen(QColor(120, 80, 0));
    p.setBrush(folder);
    p.drawRect(QRectF(s * 0.08, s * 0.2, s * 0.4, s * 0.15));
    p.drawRect(QRectF(s * 0.08, s * 0.3, s * 0.84, s * 0.55));
    p.setPen(QPen(QColor(120, 80, 0), 1));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(s / 2);
    p.setFont(f);
    p.drawText(QRectF(s * 0.08, s * 0.3, s * 0.84, s * 0.55), Qt::AlignCenter, QStringLiteral("F"));
    return pm;
}

QIcon FromPainter(QPixmap (*draw)(int)) {
    QIcon icon;
    for (int s : {16, 24, 32, 48})
        icon.addPixmap(draw(s));
    return icon;
}

} // namespace

QIcon ProgramIcon() {
    static const QIcon icon = FromPainter(&DrawProgram);
    return icon;
}

QIcon CommandIcon(int id) {
    switch (id) {
    case ids::kCmdInvertSelection:
        return FromPainter(&DrawInvert);
    case ids::kCmdDelete:
        return FromPainter(&DrawDelete);
    case ids::kCmdFastFolders:
        return FromPainter(&DrawFastFolder);
    default:
        break;
    }
    const res::ButtonDef* b = res::FindButton(id);
    if (!b) return QIcon();
    const QString text = QString::fromUtf8(b->text);
    QIcon icon;
    for (int s : {16, 24, 32, 48})
        icon.addPixmap(DrawLabel(s, text, QColor(0, 0, 0)));
    return icon;
}

} // namespace velmar
