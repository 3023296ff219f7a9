#include "framework/Icons.h"

#include "res/Ids.h"
#include "res/MenuTables.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleOption>
#include <functional>
#include <map>

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

// A short label in a box: clear at any size and in every style. The letters are the
// outline of the window font's glyphs, scaled to the box: a font of another size or weight
// would cost a second font look-up at start-up for one small picture.
QPixmap DrawLabel(int s, const QString& text, const QColor& ink) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), 2, 2);
    QPainterPath letters;
    letters.addText(0, 0, p.font(), text);
    const QRectF box = letters.boundingRect();
    if (box.isEmpty()) return pm;
    const qreal height = text.size() > 2 ? s * 0.34 : s * 0.42;
    const qreal k = qMin(height / box.height(), (s - 4.0) / box.width());
    p.translate(s / 2.0, s / 2.0);
    p.scale(k, k);
    p.translate(-box.center());
    // A thin outline around the fill reads as bold at the small sizes of a tool bar.
    p.setPen(QPen(ink, 0.5 / k));
    p.setBrush(ink);
    p.drawPath(letters);
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
    // An "F" of strokes: a text of its own would load a font of another size at start-up.
    p.setPen(QPen(QColor(120, 80, 0), qMax(1.0, s / 10.0)));
    const qreal x = s * 0.4, top = s * 0.4, bottom = s * 0.78;
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
    p.drawLine(QPointF(x, top), QPointF(s * 0.66, top));
    p.drawLine(QPointF(x, (top + bottom) / 2), QPointF(s * 0.6, (top + bottom) / 2));
    return pm;
}

// Draws a size only when it is first shown: start-up makes the actions, not their pictures.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(std::function<QPixmap(int)> draw) : draw_(std::move(draw)) {}
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int s = qMax(1, qMin(size.width(), size.height()));
        const int key = s * 4 + int(mode);
        const auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        QPixmap pm = draw_(s);
        if (mode == QIcon::Disabled) {
            QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    const int g = 128 + qGray(c.rgb()) / 2;
                    img.setPixelColor(x, y, QColor(g, g, g, c.alpha() / 2));
                }
            pm = QPixmap::fromImage(img);
        }
        cache_.emplace(key, pm);
        return pm;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new DrawnIconEngine(draw_); }

private:
    std::function<QPixmap(int)> draw_;
    std::map<int, QPixmap> cache_;
};

QIcon FromPainter(std::function<QPixmap(int)> draw) {
    return QIcon(new DrawnIconEngine(std::move(draw)));
}

// "»": where a bar keeps the commands it has no room for.
QPixmap DrawExtension(int s, bool vertical) {
    QPixmap pm = Canvas(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (vertical) {
        p.translate(s, 0);
        p.rotate(90);
    }
    p.setPen(QPen(QColor(60, 60, 60), qMax(1.0, s / 10.0)));
    const qreal mid = s / 2.0, h = s / 5.0;
    for (qreal x : {s * 0.3, s * 0.55}) {
        p.drawLine(QPointF(x, mid - h), QPointF(x + h, mid));
        p.drawLine(QPointF(x + h, mid), QPointF(x, mid + h));
    }
    return pm;
}

class ProgramStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton)
            return FromPainter([](int s) { return DrawExtension(s, false); });
        if (which == SP_ToolBarVerticalExtensionButton)
            return FromPainter([](int s) { return DrawExtension(s, true); });
        return QProxyStyle::standardIcon(which, option, widget);
    }
    // A tool bar is a flat strip with a line under it. The platform style shades it with a
    // gradient and half-transparent lines, which the raster engine blends on helper threads
    // it starts for the purpose at the first paint.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element != CE_ToolBar) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QRect r = option->rect;
        painter->fillRect(r, option->palette.window());
        painter->setPen(option->palette.color(QPalette::Mid));
        painter->drawLine(r.bottomLeft(), r.bottomRight());
    }
};

} // namespace

QStyle* NewProgramStyle() {
    return new ProgramStyle;
}

QIcon ProgramIcon() {
    // The installed icon (share/icons/hicolor beside the program's bin folder), as the desktop
    // shows it in menus and task bars; drawn when the program runs from its build folder.
    // Found by its paths: the icon theme's search costs more at start-up than it is worth.
    static const QIcon icon = [] {
        const QString hicolor =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor/");
        QIcon installed;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
            const QString file =
                hicolor + QStringLiteral("%1x%1/apps/org.korvath.Velmar.png").arg(size);
            if (QFileInfo::exists(file)) installed.addFile(file, QSize(size, size));
        }
        return installed.isNull() ? FromPainter(&DrawProgram) : installed;
    }();
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
    return FromPainter([text](int s) { return DrawLabel(s, text, QColor(0, 0, 0)); });
}

} // namespace velmar
