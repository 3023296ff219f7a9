#pragma once
// The 6 x 18 battery gauge at the bottom right of the file-manager frame: a battery
// outline with a red inside, filled green from the bottom by the charge.

#include <QColor>
#include <QWidget>

class QPainter;

namespace velmar {

constexpr int kGaugeWidth = 6;
constexpr int kGaugeHeight = 18;

// Paints the gauge into `r`. `percent` 255 (unknown) or !statusOk fills `r` with
// `workspace`; the outline is white in the panes' own style, black otherwise.
void PaintBatteryGauge(QPainter& painter, const QRect& r, bool statusOk, int percent, bool likeNc,
                       const QColor& workspace);

class BatteryGauge : public QWidget {
    Q_OBJECT
public:
    explicit BatteryGauge(QWidget* parent = nullptr);
    void SetLikeNc(bool on);
    bool likeNc() const { return likeNc_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool likeNc_ = false;
};

} // namespace velmar
