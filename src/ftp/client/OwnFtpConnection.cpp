// FtpConnection over our own FtpClient.

#include "ftp/FtpConnection.h"
#include "ftp/FtpConnectionImpl.h"

#include "ftp/client/FtpClient.h"
#include "platform/NameCodec.h"
#include "ftp/InternetErrors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace velmar {
namespace {

using ftp::FtpClient;

class OwnFtpConnection final : public FtpConnection {
public:
    explicit OwnFtpConnection(std::unique_ptr<FtpClient> client) : client_(std::move(client)) {}
    ~OwnFtpConnection() override { client_->Disconnect(); }

    bool IsOwnClient() const override { return true; }

    using FtpConnection::ListFolder;
    bool ListFolder(const QString& folder, const RecordSink& take) override {
        own_ = {};
        if (stop_ && stop_->load()) return false;
        QString path = ServerPath(folder);
        if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
        // The parser leaves out "." and "..".
        return client_->ListDir(take, path);
    }

    bool ReadFile(const QString& remote, const BlockSink& sink, const std::atomic<int>* running,
                  std::atomic<uint64_t>* counter) override {
        own_ = {};
        // The client writes to files only: go through a private temporary file.
        QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/vlfXXXXXX"));
        if (!temp.open()) return Fail(ftp::status::LocalFileError, "CreateFile error");
        temp.close();
        if (!ReadFileTo(remote, temp.fileName(), running, counter)) return false;
        QFile in(temp.fileName());
        if (!in.open(QIODevice::ReadOnly))
            return Fail(ftp::status::LocalFileError, "OpenFile error");
        std::vector<char> block(FtpClient::kBlockSize);
        for (;;) {
            const qint64 n = in.read(block.data(), qint64(block.size()));
            if (n < 0) return Fail(ftp::status::LocalFileError, "OpenFile error");
            if (n == 0) return true;
            if (!sink(block.data(), size_t(n))) return false;
        }
    }

    bool ReadFileTo(const QString& remote, const QString& local, const std::atomic<int>* running,
                    std::atomic<uint64_t>* counter) override {
        own_ = {};
        std::atomic<int> always{1};
        auto* flag = const_cast<std::atomic<int>*>(running ? running : &always);
        return client_->GetFile(flag, counter, ServerPath(remote), local, 0, true, attr::Normal,
                                ftp::type::Image);
    }

    bool WriteFile(const QString& remote, const BlockSource& source,
                   const std::atomic<int>* running, std::atomic<uint64_t>* counter) override {
        own_ = {};
        QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/vlfXXXXXX"));
        if (!temp.open()) return Fail(ftp::status::LocalFileError, "CreateFile error");
        std::vector<char> block(FtpClient::kUploadBlockSize);
        for (;;) {
            const int64_t n = source(block.data(), block.size());
            if (n < 0) return Fail(ftp::status::LocalFileError, "OpenFile error");
            if (n == 0) break;
            if (temp.write(block.data(), n) != n)
                return Fail(ftp::status::LocalFileError, "CreateFile error");
        }
        temp.close();
        return WriteFileFrom(temp.fileName(), remote, running, counter);
    }

    bool WriteFileFrom(const QString& local, const QString& remote, const std::atomic<int>* running,
                       std::atomic<uint64_t>* counter) override {
        own_ = {};
        std::atomic<int> always{1};
        auto* flag = const_cast<std::atomic<int>*>(running ? running : &always);
        return client_->PutFile(flag, counter, local, ServerPath(remote), 0);
    }

    bool DeleteFile(const QString& remote) override {
        own_ = {};
        return client_->DeleteFile(ServerPath(remote));
    }
    bool MakeDir(const QString& remote) override {
        own_ = {};
        return client_->MakeDir(ServerPath(remote));
    }
    bool RemoveDir(const QString& remote) override {
        own_ = {};
        return client_->RemoveDir(ServerPath(remote));
    }
    bool Rename(const QString& from, const QString& to) override {
        own_ = {};
        return client_->Rename(ServerPath(from), ServerPath(to));
    }
    bool FileSize(const QString& remote, uint64_t& size) override {
        own_ = {};
        FindRecord record;
        if (!client_->GetFileInfo(ServerPath(remote), record)) return false;
        size = record.size;
        return true;
    }

    // Our client's waits are bounded by its time-outs; a stop is seen between operations.
    void Abort() override {}
    void SetStopFlag(const std::atomic<bool>* stop) override { stop_ = stop; }

    FtpStatusInfo LastStatus() const override {
        if (own_.code != 0) return own_;
        return {client_->StatusCode(), client_->StatusMessage()};
    }

    int ErrorText(QString& text) const override {
        const FtpStatusInfo s = LastStatus();
        text = s.responseInfo;
        return ClientErrorCode(s.code);
    }

private:
    bool Fail(int code, const char* text) {
        own_ = {code, QString::fromLatin1(text)};
        return false;
    }

    std::unique_ptr<FtpClient> client_;
    FtpStatusInfo own_; // a failure of this adapter's own local side
    const std::atomic<bool>* stop_ = nullptr;
};

} // namespace

std::unique_ptr<FtpConnection> ConnectOwnClient(const FtpLogin& login, int& code, QString& text) {
    auto client = std::make_unique<FtpClient>();
    if (!client->Connect(login.host, login.user, login.password,
                         login.port == 0 ? 21 : login.port)) {
        code = ClientErrorCode(client->StatusCode());
        text = client->StatusMessage();
        return nullptr;
    }
    return std::make_unique<OwnFtpConnection>(std::move(client));
}

} // namespace velmar
