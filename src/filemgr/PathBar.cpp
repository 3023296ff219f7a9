#include "filemgr/PathBar.h"

#include "filemgr/Launch.h"
#include "framework/Dialogs.h"
#include "res/Ids.h"

#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QResizeEvent>

namespace velmar {

std::optional<PathBarCommand> ParsePathBarText(QString text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char(' '))
        ++start;
    text.remove(0, start);
    if (text.isEmpty() || !ConnectionNote(text).isEmpty()) return std::nullopt;
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0) return PathBarCommand{text, QString()};
    return PathBarCommand{text.left(blank), text.mid(blank)};
}

QString ConnectionNote(const QString& text) {
    if (text.startsWith(QLatin1String("ftpes://"))) return QStringLiteral("encrypted (TLS)");
    if (text.startsWith(QLatin1String("sftp://"))) return QStringLiteral("encrypted (SSH)");
    if (!text.startsWith(QLatin1String("ftp://"))) return {};
    // The host: up to the port's colon (after a bracketed IPv6 literal) or the path.
    QString host = text.mid(6);
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
    } else {
        host.truncate(host.indexOf(QLatin1Char('/')) < 0 ? host.size()
                                                         : host.indexOf(QLatin1Char('/')));
        const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) host.truncate(colon);
    }
    host = host.toLower();
    static const QRegularExpression loopbackV4(QStringLiteral("^127(\\.[0-9]{1,3}){3}$"));
    const bool here = host == QLatin1String("localhost") || host == QLatin1String("::1") ||
                      loopbackV4.match(host).hasMatch();
    // On this machine nothing crosses a network; anywhere else the password and files do.
    return here ? QStringLiteral("plain FTP") : QStringLiteral("clear text");
}

PathBar::PathBar(QWidget* parent) : QLineEdit(parent) {
    SetControlId(this, ids::kIdcPathBar, "pathBar");
    setFrame(true);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("connectionNote"));
    note_->setAutoFillBackground(true);
    note_->hide();
    connect(this, &QLineEdit::textChanged, this, &PathBar::UpdateNote);
    SetLikeNc(false);
}

void PathBar::UpdateNote() {
    const QString note = ConnectionNote(text());
    note_->setText(note.isEmpty() ? QString() : QLatin1Char(' ') + note + QLatin1Char(' '));
    QPalette pal = note_->palette();
    const bool clear = note == QLatin1String("clear text");
    const bool secure = note.startsWith(QLatin1String("encrypted"));
    pal.setColor(QPalette::Window, clear    ? QColor(0xB0, 0x20, 0x20)
                                   : secure ? QColor(0x20, 0x70, 0x30)
                                            : QColor(0x60, 0x60, 0x60));
    pal.setColor(QPalette::WindowText, Qt::white);
    note_->setPalette(pal);
    note_->setVisible(!note.isEmpty());
    PlaceNote();
}

void PathBar::PlaceNote() {
    const QSize hint = note_->sizeHint();
    const int h = std::max(1, height() - 4);
    note_->setGeometry(width() - hint.width() - 2, 2, hint.width(), h);
    // The path never runs under the note.
    setTextMargins(0, 0, note_->isVisible() ? hint.width() + 2 : 0, 0);
}

void PathBar::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceNote();
}

PathBar::~PathBar() {
    *alive_ = nullptr;
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

} // namespace velmar
