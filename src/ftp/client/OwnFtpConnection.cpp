// FtpConnection over our own FtpClient.

#include "ftp/FtpConnection.h"
#include "ftp/FtpConnectionImpl.h"

#include "ftp/client/FtpClient.h"
#include "platform/FileOps.h"

namespace velmar {
namespace {

using ftp::FtpClient;

class OwnFtpConnection final : public FtpConnection {
public:
    OwnFtpConnection(std::unique_ptr<FtpClient> client, FtpLogin login)
        : client_(std::move(client)), login_(std::move(login)) {}
    ~OwnFtpConnection() override { client_->Disconnect(); }

    bool IsOwnClient() const override { return true; }

    using FtpConnection::ListFolder;
    bool ListFolder(const QString& folder, const RecordSink& take) override {
        Begin();
        if (stop_ && stop_->load()) {
            own_.result = FtpResult::Cancelled;
            return false;
        }
        QString path = ServerPath(folder);
        if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
        // The parser leaves out "." and "..".
        return client_->ListDir(take, path);
    }

    bool ReadFile(const QString& remote, const BlockSink& sink, const std::atomic<int>* running,
                  std::atomic<uint64_t>* counter) override {
        Begin();
        return client_->Retrieve(ServerPath(remote), sink, running, counter);
    }

    bool WriteFile(const QString& remote, const BlockSource& source,
                   const std::atomic<int>* running, std::atomic<uint64_t>* counter) override {
        Begin();
        return client_->Store(ServerPath(remote), source, running, counter);
    }

    bool DeleteFile(const QString& remote) override {
        Begin();
        return client_->DeleteFile(ServerPath(remote));
    }
    bool MakeDir(const QString& remote) override {
        Begin();
        return client_->MakeDir(ServerPath(remote));
    }
    bool RemoveDir(const QString& remote) override {
        Begin();
        return client_->RemoveDir(ServerPath(remote));
    }
    bool Rename(const QString& from, const QString& to) override {
        Begin();
        return client_->Rename(ServerPath(from), ServerPath(to));
    }
    bool FileSize(const QString& remote, uint64_t& size) override {
        Begin();
        FindRecord record;
        if (!client_->GetFileInfo(ServerPath(remote), record)) return false;
        size = record.size;
        return true;
    }

    bool ModifiedTime(const QString& remote, int64_t& seconds) override {
        Begin();
        return client_->ModifiedTime(ServerPath(remote), seconds);
    }
    bool SetModifiedTime(const QString& remote, int64_t seconds) override {
        Begin();
        return client_->SetModifiedTime(ServerPath(remote), seconds);
    }

    void Abort() override { client_->Abort(); }
    void SetStopFlag(const std::atomic<bool>* stop) override { stop_ = stop; }

    FtpStatusInfo LastStatus() const override {
        return own_.ok() ? client_->Status() : own_;
    }

protected:
    void LocalFailure(int error) override {
        own_ = {};
        own_.result = FtpResult::LocalFailure;
        own_.systemError = error;
        own_.text = platform::SystemErrorText(error);
    }

private:
    // Every operation starts clean: no failure of an earlier one, no abort meant for it.
    // The client drops its line when it falls out of step with the server (a reply that did
    // not come in time); the next operation logs in anew rather than fail for ever.
    void Begin() {
        own_ = {};
        client_->ClearAbort();
        if (!client_->IsConnected())
            client_->Connect(login_.host, login_.user, login_.password,
                             login_.port == 0 ? 21 : login_.port);
    }

    std::unique_ptr<FtpClient> client_;
    FtpLogin login_;
    FtpStatusInfo own_; // a failure on our side of a transfer
    const std::atomic<bool>* stop_ = nullptr;
};

} // namespace

std::unique_ptr<FtpConnection> ConnectOwnClient(const FtpLogin& login, const FtpOptions& options,
                                                FtpStatusInfo& status) {
    auto client = std::make_unique<FtpClient>(options);
    if (!client->Connect(login.host, login.user, login.password,
                         login.port == 0 ? 21 : login.port)) {
        status = client->Status();
        return nullptr;
    }
    return std::make_unique<OwnFtpConnection>(std::move(client), login);
}

} // namespace velmar
