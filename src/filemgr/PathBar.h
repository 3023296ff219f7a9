#pragma once
// The one-line path field under the panes (control 1007). It shows the focused row's full
// path; Enter launches what it holds, parameters from the first blank on.

#include <QLineEdit>

class QLabel;
#include <functional>
#include <memory>
#include <optional>

namespace velmar {

struct PathBarCommand {
    QString file;
    QString parameters; // from the first blank on, that blank included; may be empty
};

// What Enter does with `text`: leading blanks dropped; nothing for an empty text or one
// that is a pane's server location ("ftp://", "ftpes://", "sftp://": not something to launch).
std::optional<PathBarCommand> ParsePathBarText(QString text);

// How a pane's server location in the path field is connected, as the field shows it beside
// the path: "encrypted (TLS)", "encrypted (SSH)", "plain FTP" (this machine) or "clear text"
// (plain FTP to another host); empty for a local path.
QString ConnectionNote(const QString& text);

class PathBar : public QLineEdit {
    Q_OBJECT
public:
    explicit PathBar(QWidget* parent = nullptr);
    ~PathBar() override;

    // White on black in the panes' own style, the usual colours otherwise.
    void SetLikeNc(bool on);
    bool likeNc() const { return likeNc_; }

signals:
    // Esc: the frame gives the keyboard back to the active pane.
    void escapePressed();
    // Enter on the path of an existing local folder (told after the launch thread looked).
    void folderEntered(const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Launch();
    void UpdateNote();
    void PlaceNote();
    QLabel* note_ = nullptr;
    bool likeNc_ = false;
    // Read and cleared on the window's thread only; a launch thread just carries it.
    std::shared_ptr<PathBar*> alive_ = std::make_shared<PathBar*>(this);
};

} // namespace velmar
