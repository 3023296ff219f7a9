// Listings: LIST over a passive data connection, cut into lines as the blocks arrive.
#include "ftp/ListStream.h"
#include "ftp/client/FtpClient.h"

namespace velmar::ftp {

// Lines as ListLineSplitter cuts them; a listing that did not arrive whole is a failure,
// never a smaller folder.
bool FtpClient::ReadListing(const RecordSink& take) {
    ListStream lines([this](std::string_view line, FindRecord& out) { return ParseListLine(line, out); },
                     take);
    block_.resize(kBlockSize);
    uint64_t total = 0;
    for (;;) {
        const int64_t n =
            data_.Receive(block_.data(), block_.size(), timeouts_[DataReceiveTimeout]);
        if (n == 0 && !data_.TimedOut()) {
            lines.Finish();
            return true;
        }
        if (n <= 0) {
            SetSocketError(n < 0 ? LastSocketError() : sockerr::TimedOut);
            return false;
        }
        total += uint64_t(n);
        if (total > kMaxInMemory) {
            SetStatus(FtpResult::LocalFailure, QStringLiteral("Not enough memory."));
            return false;
        }
        lines.Feed(block_.data(), size_t(n));
    }
}

bool FtpClient::ListDir(std::vector<FindRecord>& records, const QString& path) {
    records.clear();
    if (ListDir([&records](FindRecord& r) { records.push_back(std::move(r)); }, path)) return true;
    records.clear();
    return false;
}

bool FtpClient::ListDir(const RecordSink& take, const QString& path) {
    if (!RequireLogin()) return false;
    ClearStatus();
    clock_ = CurrentListClock();
    if (!SetType(type::Ascii)) return false;
    if (!path.isEmpty()) {
        QString p = path;
        p.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
        // The mask after the last slash is the caller's business: LIST lists it all.
        if (slash >= 0 && !ChangeDir(slash == 0 ? QStringLiteral("/") : p.left(slash)))
            return false;
    }
    if (!OpenPassive()) return false;
    const uint64_t since = replies_.NextSerial();
    if (SendCommand(FtpCommand::LIST) > 0 && WaitDataReply()) {
        const bool whole = ReadListing(take);
        CloseData();
        const FtpStatus failure = status_;
        const bool confirmed = ReadReply({226, 250});
        if (whole) return confirmed;
        status_ = failure;
        return false;
    }
    CloseData();
    // Unix servers answer LIST in an empty folder with 550.
    if (systemType_ == "pSOSytem" || !AnsweredWith(550, since)) return false;
    ClearStatus();
    return true;
}

bool FtpClient::GetFileInfo(const QString& name, FindRecord& record) {
    if (!RequireLogin()) return false;
    record = FindRecord{};
    ClearStatus();
    clock_ = CurrentListClock();
    if (!SetType(type::Ascii) || !OpenPassive()) return false;
    if (!SendWithArgument(FtpCommand::LIST, name) || !WaitDataReply()) {
        CloseData();
        return false;
    }
    const bool whole = ReadDataToMemory() != DataEnd::Failed;
    CloseData();
    const bool confirmed = ReadReply({226, 250});
    if (!whole || !confirmed) return false;
    qsizetype end = 0;
    while (end < dataBuffer_.size() && dataBuffer_[end] != '\r' && dataBuffer_[end] != '\n')
        ++end;
    if (ParseListLine(std::string_view(dataBuffer_.constData(), size_t(end)), record)) {
        // LIST of a folder names its children: the first of them is not what was asked for,
        // and a folder is no file.
        const QString wanted = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
        if (record.name == wanted || record.name == wanted + QLatin1Char(' ')) return true;
        record = FindRecord{};
        return false;
    }
    // No line is no such file; a line we cannot read says nothing either way.
    if (end > 0) SetStatus(FtpResult::BadReply, QStringLiteral("Invalid Server Response"));
    return false;
}

} // namespace velmar::ftp
