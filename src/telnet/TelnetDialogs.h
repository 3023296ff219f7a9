#pragma once
// The three dialogs of the terminal menu: size (147), host and port (151), font (1063).

#include "telnet/Emulation.h"

#include <QDialog>
#include <QFont>
#include <QStringList>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace velmar::telnet {

inline constexpr char kTelnetSection[] = "Telnet";

// The stored font of the terminal ("lfHeight", "lfWidth", "lfWeight", "lfFaceName").
struct FontDescription {
    int height = 14; // > 0: cell height in pixels; < 0: character height; 0: default
    int width = 0;   // > 0: the character advance in pixels; 0: the face's own
    int weight = 700;
    QString face = QStringLiteral("Courier New");
};
FontDescription LoadFontDescription();
void StoreFontDescription(const FontDescription& font);
// The font of a description; nullopt when none can be made (no face, absurd sizes).
std::optional<QFont> MakeFont(const FontDescription& font);
// The stored emulation ("Emulation": "ansi" or "xterm"; anything else is "ansi").
EmulationKind LoadEmulationKind();
void StoreEmulationKind(EmulationKind kind);

// "Telnet option": lines of scrollback, rows, columns and the emulation. Where the screen
// follows the window, rows and columns are shown but not edited.
class CTelnetOptionDialog : public QDialog {
    Q_OBJECT
public:
    CTelnetOptionDialog(int lines, int rows, int columns, EmulationKind kind, bool followsWindow,
                        QWidget* parent = nullptr);
    int lines() const;
    int rows() const;
    int columns() const;
    EmulationKind kind() const;

private:
    QLineEdit* lines_;
    QLineEdit* rows_;
    QLineEdit* columns_;
    QComboBox* emulation_;
};

// How the terminal reaches its host; the last choice is stored ("Protocol": "telnet", "ssh").
enum class Protocol { Telnet, Ssh };
quint16 DefaultPort(Protocol protocol);
Protocol LoadProtocol();
void StoreProtocol(Protocol protocol);

// "Host & port settings" with the "LastHosts" history, and the protocol: the port follows
// the protocol's default unless the user typed another.
class CTelnetConnectDialog : public QDialog {
    Q_OBJECT
public:
    CTelnetConnectDialog(const QString& host, int port, Protocol protocol = Protocol::Telnet,
                         QWidget* parent = nullptr);
    ~CTelnetConnectDialog() override; // stores the history
    QString host() const;
    int port() const;
    Protocol protocol() const;
    void setProtocol(Protocol protocol);
    void accept() override;

private:
    QComboBox* host_;
    QLineEdit* port_;
    QComboBox* protocol_;
    QStringList history_;
    QStringList loaded_; // as read, to merge with another running copy's on saving
};

// The password of an SSH log-in ("user@host's password:"), never stored.
class CSshPasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSshPasswordDialog(const QString& userAtHost, QWidget* parent = nullptr);
    QString password() const;
    void setPassword(const QString& password);

private:
    QLineEdit* password_;
};

// "Choose font": the installed faces and the metrics of the font they give.
class CChooseFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit CChooseFontDialog(const FontDescription& font, QWidget* parent = nullptr);
    const FontDescription& description() const { return font_; }
    void accept() override;

private:
    void SelectionChanged();
    void ReadFields();
    void UpdateMetrics();

    FontDescription font_;
    QLineEdit* height_;
    QLineEdit* width_;
    QLineEdit* weight_;
    QLabel* name_;
    QListWidget* faces_;
    QLineEdit* example_;
};

} // namespace velmar::telnet
