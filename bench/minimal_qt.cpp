// The anchor of the start-up benchmark: the least a Qt Widgets program does to show one
// window. It quits after the window's first paint, as `velmar --quit-after-show` does.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (!quitting_) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        quitting_ = true;
    }

private:
    bool quitting_ = false;
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window w;
    w.resize(640, 480);
    w.show();
    return QApplication::exec();
}
