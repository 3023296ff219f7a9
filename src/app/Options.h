#pragma once
// Command-line options of the program:
//   --screenshot FILE   render the main window after start-up into a PNG and exit
//   --size WxH          the main window's size
//   --quit-after-show   exit as soon as the main window has been painted once

#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

namespace velmar {

struct ProgramOptions {
    QString screenshotFile;
    QSize size;
    bool quitAfterShow = false;
    QString error; // not empty: the options are wrong, this says why
};

// `args` as QCoreApplication::arguments() gives them (the program first; Qt's own options
// already taken out).
ProgramOptions ParseOptions(const QStringList& args);

// Shows `window`, lets it settle (panes filled, layout done) and saves its picture as PNG.
bool SaveWindowShot(QWidget* window, const QString& file);

// Quits the event loop once `window` has painted for the first time.
void QuitAfterFirstPaint(QWidget* window);

} // namespace velmar
