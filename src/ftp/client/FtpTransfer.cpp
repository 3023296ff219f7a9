// Passive data connections and the transfers over them.
#include "ftp/client/FtpClient.h"

#include "ftp/client/PasvReply.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <cstring>
#include <netinet/in.h>
#include <new>
#include <sys/socket.h>

namespace velmar::ftp {

namespace {

bool GoingOn(const std::atomic<int>* continueFlag) {
    return !continueFlag || continueFlag->load(std::memory_order_relaxed) != 0;
}

// Adds a block to the caller's counter, which may run over many files.
void Count(std::atomic<uint64_t>* counter, uint64_t bytes) {
    if (counter) counter->fetch_add(bytes, std::memory_order_relaxed);
}

const QString kWriteFileError = QStringLiteral("WriteFile error");
const QString kReadFileError = QStringLiteral("ReadFile error");
const QString kOutOfMemory = QStringLiteral("Not enough memory.");

FtpStatus LocalFailure(const QString& text) {
    FtpStatus s;
    s.result = FtpResult::LocalFailure;
    s.text = text;
    return s;
}

} // namespace

void FtpClient::CloseData() {
    data_.Close();
}

bool FtpClient::OpenPassive() {
    dataCount_ = 0;
    if (SendCommand(FtpCommand::PASV) <= 0 || !ReadReply({227})) return false;
    const std::optional<PassiveAddress> address = ParsePassiveReply(
        std::string_view(consumed_.line.constData(), size_t(consumed_.line.size())));
    if (!address) {
        SetStatus(FtpResult::BadReply, QStringLiteral("Invalid Server Response"));
        return false;
    }
    std::copy(std::begin(address->ip), std::end(address->ip), dataIp_);
    dataPort_ = address->port;

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(dataPort_);
    std::memcpy(&to.sin_addr.s_addr, dataIp_, 4);
    // The data connection goes to the host we are talking to. A server behind NAT names a
    // private address it cannot be reached at, and a hostile one could name any host on our
    // side of the network; only the port is taken from the answer.
    sockaddr_in peer{};
    if (control_.GetPeerName(peer) && peer.sin_family == AF_INET) to.sin_addr = peer.sin_addr;
    data_.Close();
    if (!data_.Create() || !data_.Connect(to, timeouts_[ConnectTimeout])) {
        SetSocketError(LastSocketError());
        data_.Close();
        return false;
    }
    if (linger_) {
        const linger on{1, 10};
        data_.SetOption(SO_LINGER, &on, sizeof on, SOL_SOCKET);
    }
    return true;
}

// ---- downloads ----

bool FtpClient::Retrieve(const QString& remote, const BlockSink& sink,
                         const std::atomic<int>* continueFlag, std::atomic<uint64_t>* bytesDone) {
    ClearStatus();
    if (!GoingOn(continueFlag)) {
        SetStatus(FtpResult::Cancelled, {});
        return false;
    }
    if (!RequireName(remote) || !RequireLogin()) return false;
    data_.Close();
    bool result = false;
    if (SetType(type::Image) && OpenPassive() && SendWithArgument(FtpCommand::RETR, remote) &&
        WaitDataReply()) {
        block_.resize(kBlockSize);
        bool ended = false;
        FtpStatus failure;
        while (GoingOn(continueFlag)) {
            const int64_t n =
                data_.Receive(block_.data(), block_.size(), timeouts_[DataReceiveTimeout]);
            if (n < 0 || (n == 0 && data_.TimedOut())) {
                failure = SocketFailure(n < 0 ? LastSocketError() : sockerr::TimedOut);
                break;
            }
            if (n == 0) {
                ended = true;
                break;
            }
            if (!sink(block_.data(), size_t(n))) {
                failure = LocalFailure(kWriteFileError);
                break;
            }
            Count(bytesDone, uint64_t(n));
        }
        data_.Close();
        const bool confirmed = ReadReply({226});
        // A cancelled, broken or short download is no success, whatever the server says.
        result = confirmed && ended && failure.ok();
        if (!failure.ok()) status_ = failure;
    }
    data_.Close();
    if (!result && !GoingOn(continueFlag)) SetStatus(FtpResult::Cancelled, {});
    return result;
}

FtpClient::DataEnd FtpClient::ReadDataToMemory() {
    dataBuffer_.clear();
    dataCount_ = 0;
    const uint64_t limit = kMaxInMemory;
    DataEnd end = DataEnd::Closed;
    try {
        for (;;) {
            if (dataCount_ >= limit) {
                // More than we take into memory: fail rather than keep a cut copy.
                SetStatus(FtpResult::LocalFailure, kOutOfMemory);
                end = DataEnd::Failed;
                break;
            }
            const size_t room = size_t(std::min<uint64_t>(kBlockSize, limit - dataCount_));
            // Grow geometrically: a byte at a time over many receives must stay linear.
            if (uint64_t(dataBuffer_.size()) < dataCount_ + room)
                dataBuffer_.resize(qsizetype(std::min<uint64_t>(
                    std::max<uint64_t>(dataCount_ + room, uint64_t(dataBuffer_.size()) * 2),
                    limit)));
            const int64_t n =
                data_.Receive(dataBuffer_.data() + dataCount_, room, timeouts_[DataReceiveTimeout]);
            if (n == 0 && !data_.TimedOut()) break;
            if (n <= 0) {
                SetSocketError(n < 0 ? LastSocketError() : sockerr::TimedOut);
                end = DataEnd::Failed;
                break;
            }
            dataCount_ += uint64_t(n);
        }
        dataBuffer_.resize(qsizetype(dataCount_));
    } catch (const std::bad_alloc&) {
        dataBuffer_ = QByteArray();
        dataCount_ = 0;
        SetStatus(FtpResult::LocalFailure, kOutOfMemory);
        end = DataEnd::Failed;
    }
    return end;
}

// ---- uploads ----

bool FtpClient::Upload(const BlockSource& source, const std::atomic<int>* continueFlag,
                       std::atomic<uint64_t>* bytesDone, FtpStatus& failure) {
    // Small blocks on purpose: a block that stays in the processor's cache between read and
    // send beats sendfile here, whose pages reach the receiver cold (measured on loopback).
    block_.resize(kUploadBlockSize);
    for (;;) {
        if (!GoingOn(continueFlag)) return false;
        const int64_t n = source(block_.data(), block_.size());
        if (n < 0) {
            failure = LocalFailure(kReadFileError);
            return false;
        }
        if (n == 0) return true;
        const int64_t sent = data_.SendAll(block_.data(), size_t(n), timeouts_[DataSendTimeout]);
        if (sent < n) {
            failure = SocketFailure(LastSocketError());
            return false;
        }
        Count(bytesDone, uint64_t(n));
    }
}

// Ends the data phase of an upload. A complete one is shut down for writing, so the
// server reads every byte and its end, and then confirms; an incomplete one is reset, so
// the server cannot take a cut file for a whole one.
bool FtpClient::FinishUpload(bool complete, const FtpStatus& failure,
                             std::initializer_list<int> confirm) {
    FtpStatus reason = failure;
    if (complete) {
        if (!data_.ShutdownSend()) {
            complete = false;
            reason = SocketFailure(LastSocketError());
        }
    } else {
        const linger reset{1, 0};
        data_.SetOption(SO_LINGER, &reset, sizeof reset, SOL_SOCKET);
        data_.Close();
    }
    const bool confirmed = ReadReply(confirm);
    data_.Close();
    // A server that refused the rest (426, 452, 552: a full disk) answered on a working
    // control connection: its reply says more than the data connection it broke, which
    // would pass for a lost connection.
    const bool refused = !confirmed && status_.result == FtpResult::Refused;
    if (!reason.ok() && !refused) status_ = reason;
    return confirmed && complete;
}

bool FtpClient::Store(const QString& remote, const BlockSource& source,
                      const std::atomic<int>* continueFlag, std::atomic<uint64_t>* bytesDone) {
    ClearStatus();
    if (!GoingOn(continueFlag)) {
        SetStatus(FtpResult::Cancelled, {});
        return false;
    }
    if (!RequireLogin()) return false;
    bool result = false;
    if (SetType(type::Image) && OpenPassive()) {
        const bool started = (remote.isEmpty() ? SendCommand(FtpCommand::STOU) > 0
                                               : SendWithArgument(FtpCommand::STOR, remote)) &&
                             WaitDataReply();
        if (started) {
            FtpStatus failure;
            const bool complete = Upload(source, continueFlag, bytesDone, failure);
            result = FinishUpload(complete, failure, {226});
        }
        data_.Close();
    }
    if (!result && !GoingOn(continueFlag)) SetStatus(FtpResult::Cancelled, {});
    return result;
}

} // namespace velmar::ftp
