// A program with a number of top-level windows (argument 1, default 1), for the task
// manager's window tests under Xvfb.
#include <QApplication>
#include <QWidget>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<std::unique_ptr<QWidget>> windows;
    for (int i = 0; i < count; ++i) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setWindowTitle(QStringLiteral("child %1").arg(i));
        windows.back()->resize(120, 80);
        windows.back()->show();
    }
    return QApplication::exec();
}
