// Listings: LIST and NLST over a passive data connection, cut into lines in place.
#include "ftp/client/FtpListing.h"

#include "platform/NameCodec.h"

#include <cstring>
#include <new>

namespace velmar::ftp {

namespace {

constexpr size_t kListingStart = 64 * 1024;
constexpr size_t kLongestLine = 1024 * 1024;

const char* FindCrLf(const char* from, const char* end) {
    for (const char* p = from; p + 1 < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!p || p + 1 >= end) return nullptr;
        if (p[1] == '\n') return p;
    }
    return nullptr;
}

} // namespace

// A line ends at the first CR LF; where no CR LF is left, at the first LF. A last line
// without any line end when the data ends is not parsed.
bool FtpClient::ReadListing(const RecordSink& take) {
    try {
        std::vector<char> buffer(kListingStart);
        size_t filled = 0;
        uint64_t total = 0;
        bool dropping = false; // inside an over-long line: skip to its end
        FindRecord record;
        for (;;) {
            if (filled == buffer.size()) {
                // No listing line is a megabyte long: drop such a line whole rather than
                // hold it, and never read its tail as a line of its own.
                if (buffer.size() >= kLongestLine) {
                    filled = 0;
                    dropping = true;
                } else {
                    buffer.resize(buffer.size() * 2);
                }
            }
            const int64_t n = data_.Receive(buffer.data() + filled, buffer.size() - filled,
                                            timeouts_[DataReceiveTimeout]);
            if (n == 0 && !data_.TimedOut()) return true;
            if (n <= 0) {
                // A listing cut short would pass for a smaller folder.
                SetSocketError(n < 0 ? LastSocketError() : sockerr::TimedOut);
                return false;
            }
            total += uint64_t(n);
            if (total > kMaxInMemory) {
                SetStatus(status::OutOfMemory, QStringLiteral("Not enough memory."));
                return false;
            }
            filled += size_t(n);

            const char* const end = buffer.data() + filled;
            const char* start = buffer.data();
            const char* crlf = FindCrLf(start, end);
            for (;;) {
                const char* lineEnd = crlf;
                size_t endLength = 2;
                if (!lineEnd) {
                    lineEnd =
                        static_cast<const char*>(std::memchr(start, '\n', size_t(end - start)));
                    endLength = 1;
                }
                if (!lineEnd) break;
                if (dropping)
                    dropping = false;
                else if (ParseListLine(std::string_view(start, size_t(lineEnd - start)), record))
                    take(record);
                start = lineEnd + endLength;
                if (crlf) crlf = FindCrLf(start, end);
            }
            const size_t rest = size_t(end - start);
            std::memmove(buffer.data(), start, rest);
            filled = rest;
        }
    } catch (const std::bad_alloc&) {
        SetStatus(status::OutOfMemory, QStringLiteral("Not enough memory."));
        return false;
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
    return systemType_ != "pSOSytem" && AnsweredWith(550, since);
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
    const bool whole = ReadDataToMemory(0, false) != DataEnd::Failed;
    CloseData();
    const bool confirmed = ReadReply({226, 250});
    if (!whole || !confirmed) return false;
    qsizetype end = 0;
    while (end < dataBuffer_.size() && dataBuffer_[end] != '\r' && dataBuffer_[end] != '\n')
        ++end;
    return ParseListLine(std::string_view(dataBuffer_.constData(), size_t(end)), record);
}

bool FtpClient::ListNames(QStringList& names) {
    if (!RequireLogin()) return false;
    names.clear();
    ClearStatus();
    if (!SetType(type::Ascii) || !OpenPassive()) return false;
    const uint64_t since = replies_.NextSerial();
    if (SendCommand(FtpCommand::NLST) <= 0 || !WaitDataReply()) {
        CloseData();
        return systemType_ == "pSOSytem" && AnsweredWith(550, since);
    }
    const bool whole = ReadDataToMemory(0, false) != DataEnd::Failed;
    CloseData();
    if (!whole) {
        const FtpStatus failure = status_;
        ReadReply({226, 250});
        status_ = failure;
        return false;
    }
    const char* p = dataBuffer_.constData();
    const char* const end = p + dataBuffer_.size();
    while (p < end) {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n')
            ++q;
        if (q > p) names.append(platform::DecodeName(std::string_view(p, size_t(q - p))));
        while (q < end && (*q == '\r' || *q == '\n'))
            ++q;
        p = q;
    }
    return ReadReply({226, 250});
}

bool FindFirst(FtpListing& listing, FtpClient& client, const QString& path, FindRecord& record) {
    listing.position = 0;
    if (!client.ListDir(listing.records, path)) return false;
    if (listing.records.empty()) {
        record = FindRecord{};
        record.attributes = attr::Directory;
        record.name = QStringLiteral(".");
        return true;
    }
    record = listing.records.front();
    listing.position = 1;
    return true;
}

bool FindNext(FtpListing& listing, FindRecord& record) {
    if (listing.position >= int(listing.records.size())) return false;
    record = listing.records[size_t(listing.position++)];
    return true;
}

void FindClose(FtpListing& listing) {
    listing.records.clear();
    listing.position = 0;
}

} // namespace velmar::ftp
