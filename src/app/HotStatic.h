#pragma once
// A text that works as a link: blue, italic and underlined, purple once visited. A click
// opens its target (or, with no target, its own text) in the browser when that is a web
// address or a file: URL; a failed start beeps and leaves the link unvisited.

#include <QColor>
#include <QFont>
#include <QLabel>

namespace velmar {

class CHotStatic : public QLabel {
    Q_OBJECT
public:
    explicit CHotStatic(QWidget* parent = nullptr);

    void SetTarget(const QString& target) { target_ = target; }
    bool visited() const { return visited_; }
    QColor currentColor() const { return visited_ ? visitedColor_ : normalColor_; }

    // What a click does; true when the browser took the link.
    bool Click();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const QFont& LinkFont();

    QColor normalColor_{0, 0, 255};
    QColor visitedColor_{128, 0, 128};
    bool visited_ = false;
    QFont linkFont_;
    bool haveLinkFont_ = false;
    QString target_;
};

} // namespace velmar
