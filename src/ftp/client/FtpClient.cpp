#include "ftp/client/FtpClient.h"

#include "ftp/FtpConnection.h"
#include "ftp/ListParser.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace velmar::ftp {

namespace {

constexpr const char* kCommandNames[] = {
    "",     "CWD",  "MKD",  "RMD",  "XMKD", "XRWD", "XCWD", "PASS", "PORT", "RETR",
    "TYPE", "USER", "MODE", "DELE", "STOR", "RNFR", "RNTO", "APPE", "NLST", "ABOR",
    "LIST", "PWD",  "XPWD", "PASV", "QUIT", "HELP", "SYST", "STOU", "NOOP", "CDUP",
};
constexpr int kCommandCount = int(sizeof kCommandNames / sizeof kCommandNames[0]);

// Sent for an anonymous log-in without a password: an e-mail address of 23 characters.
constexpr char kAnonymousPassword[] = "guest@ce-velmar.invalid";
static_assert(sizeof kAnonymousPassword - 1 == 23);

bool HasLineBreak(const QByteArray& bytes) {
    return bytes.contains('\r') || bytes.contains('\n');
}

} // namespace

QByteArray QuotedPath(const QByteArray& line) {
    const qsizetype open = line.indexOf('"');
    if (open < 0) return {};
    QByteArray path;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            path += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '"') {
            path += '"';
            ++i;
            continue;
        }
        return path;
    }
    return {}; // no closing quote
}

QByteArray WordAfterCode(const QByteArray& line, const char* stops) {
    QByteArray word;
    for (qsizetype i = 4; i < line.size(); ++i) {
        if (std::strchr(stops, line[i])) break;
        word += line[i];
    }
    return word;
}

const char* CommandName(FtpCommand code) {
    const int i = int(code);
    return i >= 0 && i < kCommandCount ? kCommandNames[i] : "";
}

FtpClient::FtpClient(const FtpOptions& options) : linger_(options.linger) {
    const auto ms = [](int value) { return std::max(value, 0); };
    timeouts_ = {ms(options.connectMs), 0,
                 ms(options.sendMs),    ms(options.receiveMs),
                 ms(options.sendMs),    ms(options.receiveMs)};
    control_.SetCancel(&abort_);
    data_.SetCancel(&abort_);
}

FtpClient::~FtpClient() {
    Disconnect();
    FatalReset();
}

QString FtpClient::GetSystemType() const {
    return platform::DecodeName(systemType_);
}

void FtpClient::SetStatus(FtpResult result, const QString& text) {
    status_ = {};
    status_.result = result;
    status_.text = text;
}

FtpStatus FtpClient::SocketFailure(int code) {
    FtpStatus s;
    if (code == sockerr::Interrupted) {
        s.result = FtpResult::Cancelled; // our own stop: nothing to tell
        return s;
    }
    s.result = code == sockerr::TimedOut ? FtpResult::TimedOut : FtpResult::ConnectionLost;
    s.text = SocketErrorText(code);
    return s;
}

void FtpClient::SetSocketError(int code) {
    status_ = SocketFailure(code);
}

void FtpClient::FatalReset() {
    control_.Close();
    data_.Close();
    replies_.Clear();
    controlBuffer_.Clear();
    connected_ = false;
    currentType_ = type::Ascii;
    dataCount_ = 0;
}

bool FtpClient::RequireName(const QString& name) {
    if (!name.isEmpty()) return true;
    SetStatus(FtpResult::InvalidName, QStringLiteral("Invalid filename argument"));
    return false;
}

bool FtpClient::RequireLogin() {
    if (connected_) return true;
    SetStatus(FtpResult::NotConnected, QStringLiteral("Command requires an active connection."));
    return false;
}

// ---- command sender ----

int FtpClient::SendLine(const QByteArray& line) {
    const int64_t sent =
        control_.SendAll(line.constData(), size_t(line.size()), timeouts_[ControlSendTimeout]);
    if (sent > 0) return int(sent);
    SetSocketError(LastSocketError());
    FatalReset();
    return -1;
}

int FtpClient::SendCommand(FtpCommand code) {
    const int c = int(code);
    if (c < 18 || c >= kCommandCount) return -1;
    return SendLine(QByteArray(kCommandNames[c]) + "\r\n");
}

int FtpClient::SendCommand(FtpCommand code, const QString& argument) {
    const int c = int(code);
    if (c < 1 || c > 20 || c == 19) return 0;
    return SendVerb(kCommandNames[c], argument);
}

int FtpClient::SendVerb(const QByteArray& verb, const QString& argument) {
    if (argument.isEmpty()) return 0;
    QByteArray arg = platform::EncodeName(argument);
    arg.replace('\\', '/');
    // An overlong argument, or one that would smuggle a second command line, is refused.
    if (arg.size() > kMaxArgument || HasLineBreak(arg)) {
        SetStatus(FtpResult::InvalidName, QStringLiteral("Invalid filename argument"));
        return 0;
    }
    const int sent = SendLine(verb + ' ' + arg + "\r\n");
    return sent > 0 ? sent : 0;
}

int FtpClient::SendRaw(const QString& text) {
    if (!RequireLogin()) return -1;
    const QByteArray bytes = platform::EncodeName(text);
    if (bytes.size() > kMaxRaw || HasLineBreak(bytes)) {
        SetStatus(FtpResult::InvalidName, QStringLiteral("Invalid filename argument"));
        return -1;
    }
    if (SendLine(bytes + "\r\n") <= 0) return -1;
    ReadReply({200});
    return 1;
}

// ---- reply reader ----

bool FtpClient::ReadReply(std::initializer_list<int> expected, bool queueOnly) {
    if (std::optional<Reply> r = replies_.Take(expected)) {
        consumed_ = std::move(*r);
        // The answer wanted: whatever an earlier reply of this operation said is past.
        status_ = {};
        status_.replyCode = consumed_.code;
        status_.reply = platform::DecodeName(consumed_.line);
        return true;
    }
    if (queueOnly) return false;
    return ReadFromServer(expected);
}

// Takes at most one new final reply from the buffer or the server, then answers from the
// queue, so replies nobody asked for yet wait there for their own call.
bool FtpClient::ReadFromServer(std::initializer_list<int> expected) {
    auto process = [&](bool& done) {
        Reply last;
        switch (ProcessBufferedLines(controlBuffer_, replies_, &last)) {
        case ProcessResult::Queued: {
            done = true;
            if (ReadReply(expected, true)) return true;
            // Not the answer wanted: the server's refusal, in its own words.
            SetStatus(FtpResult::Refused, platform::DecodeName(last.line));
            status_.replyCode = last.code;
            status_.reply = status_.text;
            return false;
        }
        case ProcessResult::BadCode:
            SetStatus(FtpResult::BadReply, QStringLiteral("Invalid Server Response"));
            FatalReset();
            done = true;
            return false;
        case ProcessResult::NeedMore:
            break;
        }
        done = false;
        return false;
    };
    bool done = false;
    bool result = process(done);
    if (done) return result;
    // One bound for the whole reply: a server that trickles continuation lines forever
    // gets the same time-out as one that says nothing.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeouts_[ControlReceiveTimeout]);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int64_t n =
            left <= 0 ? 0
                      : control_.Receive(controlBuffer_.FreeSpace(), controlBuffer_.FreeSize(),
                                         int(std::min<int64_t>(left, INT_MAX)));
        if (n == 0 && (left <= 0 || control_.TimedOut())) {
            // Out of step from here on: a late reply would be taken as the next command's
            // answer (a stale 227 would even open a data connection), so the line goes.
            SetStatus(FtpResult::TimedOut, QStringLiteral("Server timeout (on control)."));
            FatalReset();
            return false;
        }
        if (n <= 0) {
            // The server's end of the line (0) or a broken one; a stop of ours says nothing.
            const int error = n < 0 ? LastSocketError() : 0;
            if (error == sockerr::Interrupted)
                SetStatus(FtpResult::Cancelled, {});
            else
                SetStatus(n == 0 ? FtpResult::ClosedByServer : FtpResult::ConnectionLost,
                          QStringLiteral("Connection closed by host."));
            FatalReset();
            return false;
        }
        controlBuffer_.Commit(size_t(n));
        result = process(done);
        if (done) return result;
    }
}

bool FtpClient::AnsweredWith(int code, uint64_t since) {
    if (std::optional<Reply> r = replies_.TakeNewest(code, since)) {
        consumed_ = std::move(*r);
        return true;
    }
    return false;
}

// ---- connection ----

bool FtpClient::Connect(const QString& host, const QString& user, const QString& password,
                        int port) {
    ClearStatus();
    if (connected_) return false;
    // Refused before any byte goes out, rather than after the server's silence.
    if (platform::EncodeName(user).size() > kMaxArgument ||
        platform::EncodeName(password).size() > kMaxArgument) {
        SetStatus(FtpResult::InvalidName, QStringLiteral("Invalid filename argument"));
        return false;
    }
    port_ = port;
    // Nothing from an earlier connection may answer for this one.
    replies_.Clear();
    controlBuffer_.Clear();
    if (!control_.Create()) return false;
    if (!control_.Connect(host, port, timeouts_[ConnectTimeout])) {
        const int error = LastSocketError();
        SetSocketError(error);
        if (status_.result != FtpResult::Cancelled)
            status_.result = error == sockerr::InvalidArgument ? FtpResult::NameNotResolved
                                                               : FtpResult::CannotConnect;
        control_.Close();
        return false;
    }
    auto fail = [this] {
        control_.Close();
        return false;
    };
    if (!ReadReply({220})) return fail();
    if (SendCommand(FtpCommand::USER, user.isEmpty() ? QStringLiteral("anonymous") : user) <= 0)
        return fail();
    // A server that lets the user in at USER answers 230 there; it waits in the queue.
    if (ReadReply({331}))
        SendCommand(FtpCommand::PASS,
                    password.isEmpty() ? QString::fromLatin1(kAnonymousPassword) : password);
    if (!ReadReply({230})) {
        // Turned away at USER or PASS: the server's words are the text.
        if (status_.result == FtpResult::Refused && status_.replyCode == 530)
            status_.result = FtpResult::LoginFailed;
        return fail();
    }
    currentType_ = type::Ascii;
    connected_ = true;

    if (SendCommand(FtpCommand::HELP) > 0) ReadReply({211});
    systemType_.clear();
    if (SendCommand(FtpCommand::SYST) > 0 && ReadReply({215}))
        systemType_ = WordAfterCode(consumed_.line, " ");
    if (!connected_) return false; // a fatal error on the way
    startFolder_ = currentFolder_ = GetCurrentDir();
    return connected_;
}

bool FtpClient::Disconnect() {
    ClearStatus();
    if (!connected_) return true;
    // The answer to QUIT is a courtesy: a silent server holds up a closing window only
    // briefly, and a stop of the calling thread ends the wait at once.
    const std::array<int, 6> usual = timeouts_;
    for (const int phase : {ControlSendTimeout, ControlReceiveTimeout})
        timeouts_[size_t(phase)] =
            usual[size_t(phase)] > 0 ? std::min(usual[size_t(phase)], kFtpLogOutMs) : kFtpLogOutMs;
    if (SendCommand(FtpCommand::QUIT) > 0) ReadReply({221});
    timeouts_ = usual;
    data_.Close();
    control_.Close();
    connected_ = false;
    systemType_.clear();
    return true;
}

std::unique_ptr<FtpClient> ConnectClient(const QString& host, int port, const QString& user,
                                         const QString& password, const FtpOptions& options) {
    auto client = std::make_unique<FtpClient>(options);
    if (!client->Connect(host, user, password, port == 0 ? 21 : port)) return nullptr;
    return client;
}

// ---- single-command operations ----

QString FtpClient::GetCurrentDir() {
    ClearStatus();
    if (!RequireLogin()) return {};
    const uint64_t since = replies_.NextSerial();
    if (SendCommand(FtpCommand::PWD) <= 0) return {};
    if (ReadReply({257})) return platform::DecodeName(QuotedPath(consumed_.line));
    // The answer to PWD is queued by now; looking further would only wait for a time-out.
    if (AnsweredWith(550, since) && systemType_ == "pSOSytem")
        return platform::DecodeName(WordAfterCode(consumed_.line, " \r\n"));
    return {};
}

bool FtpClient::SendWithArgument(FtpCommand code, const QString& argument) {
    return SendCommand(code, argument) > 0;
}

bool FtpClient::ChangeDir(const QString& path) {
    ClearStatus();
    if (!RequireName(path) || !RequireLogin()) return false;
    if (!SendWithArgument(FtpCommand::CWD, path) || !ReadReply({250})) return false;
    currentFolder_ = GetCurrentDir();
    return true;
}

bool FtpClient::MakeDir(const QString& name) {
    ClearStatus();
    if (!RequireName(name) || !RequireLogin()) return false;
    return SendWithArgument(FtpCommand::MKD, name) && ReadReply({257});
}

bool FtpClient::RemoveDir(const QString& name) {
    ClearStatus();
    if (!RequireName(name) || !RequireLogin()) return false;
    return SendWithArgument(FtpCommand::RMD, name) && ReadReply({250});
}

bool FtpClient::DeleteFile(const QString& name) {
    ClearStatus();
    if (!RequireLogin()) return false;
    return SendWithArgument(FtpCommand::DELE, name) && ReadReply({250});
}

bool FtpClient::Rename(const QString& from, const QString& to) {
    ClearStatus();
    if (!RequireName(from) || !RequireName(to) || !RequireLogin()) return false;
    if (!SendWithArgument(FtpCommand::RNFR, from) || !ReadReply({350})) return false;
    return SendWithArgument(FtpCommand::RNTO, to) && ReadReply({250});
}

bool FtpClient::ModifiedTime(const QString& name, int64_t& seconds) {
    ClearStatus();
    if (!RequireName(name) || !RequireLogin()) return false;
    if (SendVerb("MDTM", name) <= 0 || !ReadReply({213})) return false;
    if (velmar::ParseFtpTime(consumed_.line.mid(4), seconds)) return true;
    SetStatus(FtpResult::BadReply, QStringLiteral("Invalid Server Response"));
    return false;
}

bool FtpClient::SetModifiedTime(const QString& name, int64_t seconds) {
    ClearStatus();
    if (!RequireName(name) || !RequireLogin()) return false;
    return SendVerb("MFMT " + velmar::FtpTimeText(seconds), name) > 0 && ReadReply({213});
}

bool FtpClient::SetType(int transferType) {
    if (!connected_) return false;
    if (transferType == currentType_) return true;
    static constexpr const char* kTypes[] = {"A", "I", "E"};
    if (transferType < 0 || transferType > 2) return false;
    if (!SendWithArgument(FtpCommand::TYPE, QString::fromLatin1(kTypes[transferType])))
        return false;
    currentType_ = transferType;
    return ReadReply({200});
}

bool FtpClient::Noop() {
    return SendCommand(FtpCommand::NOOP) > 0 && ReadReply({200});
}

bool FtpClient::ParseListLine(std::string_view line, FindRecord& record) {
    return ftp::ParseListLine(std::string_view(systemType_.constData(), size_t(systemType_.size())),
                              line, record, clock_);
}

} // namespace velmar::ftp
