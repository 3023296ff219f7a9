#include "filemgr/PathBar.h"

#include "filemgr/Launch.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"

#include <QKeyEvent>

namespace velmar {

namespace {
PathBar::LaunchFunction g_launch;
} // namespace

std::optional<PathBarCommand> ParsePathBarText(QString text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    text.remove(0, start);
    if (text.isEmpty() || text.startsWith(QLatin1String("ftp://"))) return std::nullopt;
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0) return PathBarCommand{text, QString()};
    return PathBarCommand{text.left(blank), text.mid(blank)};
}

PathBar::PathBar(QWidget* parent) : QLineEdit(parent) {
    SetControlId(this, ids::kIdcPathBar, "pathBar");
    setFrame(true);
    SetLikeNc(false);
}

PathBar::~PathBar() {
    *alive_ = nullptr;
}

void PathBar::SetLaunchForTesting(LaunchFunction launch) {
    g_launch = std::move(launch);
}

void PathBar::SetLikeNc(bool on) {
    likeNc_ = on;
    QPalette pal = palette();
    if (on) {
        pal.setColor(QPalette::Base, Qt::black);
        pal.setColor(QPalette::Text, Qt::white);
    } else {
        pal = QPalette();
    }
    setPalette(pal);
}

void PathBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Launch();
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        emit escapePressed();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void PathBar::Launch() {
    // A folder opens in the active pane: here we are the file explorer.
    QString whole = text();
    while (whole.startsWith(QLatin1Char(' ')))
        whole.remove(0, 1);
    const std::optional<PathBarCommand> command = ParsePathBarText(text());
    if (!command) return;
    if (g_launch)
        g_launch(command->file, command->parameters);
    else {
        // Verb "open", no folder of its own, shown normally: as the panes launch.
        LaunchJob job;
        job.file = command->file;
        job.parameters = command->parameters;
        // Whether it names a folder is asked on the launch thread: a stat on a hung mount
        // must not freeze the window.
        if (whole.startsWith(QLatin1Char('/'))) {
            job.folder = whole;
            job.enterFolder = [alive = alive_](const QString& folder) {
                if (PathBar* bar = *alive) emit bar->folderEntered(folder);
            };
        }
        StartLaunch(std::move(job));
    }
}

} // namespace velmar
