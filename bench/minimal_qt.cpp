// The anchor of the start-up benchmark: Qt's "hello world", one window showing one line of
// text (so that fonts are loaded, as any program with text must). It quits after the
// window's first paint, as `velmar --quit-after-show` does.
#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {
class Window : public QLabel {
public:
    Window() : QLabel(QStringLiteral("Hello, world")) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
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
