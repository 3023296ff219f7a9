#include "ftp/curl/CurlFtp.h"

#include "platform/Cancel.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <ctime>
#include <mutex>
#include <type_traits>

namespace velmar::ftp {
namespace {

// One share object for every connection: host-name lookups are cached across them. Handles
// of different threads use it at once, so its data is guarded.
struct Internet {
    CURLSH* share = nullptr;
    std::mutex dnsLock;
    std::mutex shareLock;
};
std::mutex g_openLock;
Internet* g_internet = nullptr;

// libcurl is loaded on first use, not at start: with its TLS, Kerberos and LDAP libraries it
// costs several milliseconds of relocation that only an FTP connection through it needs.
struct CurlApi {
    decltype(&curl_global_init) global_init;
    decltype(&curl_global_cleanup) global_cleanup;
    decltype(&curl_share_init) share_init;
    decltype(&curl_share_cleanup) share_cleanup;
    CURLSHcode (*share_setopt)(CURLSH*, CURLSHoption, ...);
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_reset) easy_reset;
    decltype(&curl_easy_perform) easy_perform;
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    decltype(&curl_easy_strerror) easy_strerror;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
    decltype(&curl_version_info) version_info;
};

// libcurl and the thirty-odd libraries under it (TLS, Kerberos, LDAP, SSH, HTTP/2) look up
// their symbols among their own dependencies first. Searched in the usual order, every one of
// those look-ups first walks the fifty-odd Qt, ICU and system libraries the program already
// has, which doubled the time of the load (about 11 ms against 5 ms). The sanitizers refuse
// this flag, since they must see every allocation; their builds take the usual order.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMAR_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(VELMAR_SANITIZED)
constexpr int kCurlOpenFlags = RTLD_NOW | RTLD_LOCAL;
#else
constexpr int kCurlOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif

const CurlApi* LoadCurl() {
    static const CurlApi* const api = []() -> const CurlApi* {
        void* lib = ::dlopen("libcurl.so.4", kCurlOpenFlags);
        if (!lib) return nullptr;
        static CurlApi a;
        bool complete = true;
        const auto bind = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib, name));
            complete = complete && fn != nullptr;
        };
        bind(a.global_init, "curl_global_init");
        bind(a.global_cleanup, "curl_global_cleanup");
        bind(a.share_init, "curl_share_init");
        bind(a.share_cleanup, "curl_share_cleanup");
        bind(a.share_setopt, "curl_share_setopt");
        bind(a.easy_init, "curl_easy_init");
        bind(a.easy_cleanup, "curl_easy_cleanup");
        bind(a.easy_reset, "curl_easy_reset");
        bind(a.easy_perform, "curl_easy_perform");
        bind(a.easy_setopt, "curl_easy_setopt");
        bind(a.easy_getinfo, "curl_easy_getinfo");
        bind(a.easy_strerror, "curl_easy_strerror");
        bind(a.slist_append, "curl_slist_append");
        bind(a.slist_free_all, "curl_slist_free_all");
        bind(a.version_info, "curl_version_info");
        return complete ? &a : nullptr; // the library stays loaded for the process's life
    }();
    return api;
}

// Only reached once OpenInternet has succeeded, which needs the library.
const CurlApi& Curl() {
    return *LoadCurl();
}

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    auto* net = static_cast<Internet*>(user);
    (data == CURL_LOCK_DATA_DNS ? net->dnsLock : net->shareLock).lock();
}
void UnlockShare(CURL*, curl_lock_data data, void* user) {
    auto* net = static_cast<Internet*>(user);
    (data == CURL_LOCK_DATA_DNS ? net->dnsLock : net->shareLock).unlock();
}

Internet* TheInternet() {
    std::lock_guard lock(g_openLock);
    return g_internet;
}

// The few OpenSSL calls that check a peer's certificate ourselves, from the OpenSSL libcurl
// already loaded (its SSL_CTX is handed to us); none when libcurl uses another TLS library.
struct Ssl {
    void (*ctx_set_verify)(void* ctx, int mode, int (*callback)(int, void*));
    void* (*store_get0_cert)(void* storeContext);
    int (*i2d_x509)(void* x509, unsigned char** out);
    void* (*get_subject_name)(void* x509);
    void* (*get_issuer_name)(void* x509);
    char* (*name_oneline)(void* name, char* buffer, int size);
    const void* (*get0_not_before)(void* x509);
    const void* (*get0_not_after)(void* x509);
    int (*time_to_tm)(const void* time, std::tm* out);
};
constexpr int kSslVerifyPeer = 1; // SSL_VERIFY_PEER

const Ssl* LoadSsl() {
    static const Ssl* const api = []() -> const Ssl* {
        const curl_version_info_data* info = LoadCurl()->version_info(CURLVERSION_NOW);
        if (!info || !info->ssl_version || qstrncmp(info->ssl_version, "OpenSSL/3", 9) != 0)
            return nullptr;
        void* ssl = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_NOLOAD);
        void* crypto = ::dlopen("libcrypto.so.3", RTLD_NOW | RTLD_NOLOAD);
        if (!ssl || !crypto) return nullptr;
        static Ssl a;
        bool complete = true;
        const auto bind = [&](void* lib, auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib, name));
            complete = complete && fn != nullptr;
        };
        bind(ssl, a.ctx_set_verify, "SSL_CTX_set_verify");
        bind(crypto, a.store_get0_cert, "X509_STORE_CTX_get0_cert");
        bind(crypto, a.i2d_x509, "i2d_X509");
        bind(crypto, a.get_subject_name, "X509_get_subject_name");
        bind(crypto, a.get_issuer_name, "X509_get_issuer_name");
        bind(crypto, a.name_oneline, "X509_NAME_oneline");
        bind(crypto, a.get0_not_before, "X509_get0_notBefore");
        bind(crypto, a.get0_not_after, "X509_get0_notAfter");
        bind(crypto, a.time_to_tm, "ASN1_TIME_to_tm");
        return complete ? &a : nullptr;
    }();
    return api;
}

// The connection whose TLS handshake runs on this thread (set around each perform).
thread_local CurlFtp* t_handshaking = nullptr;

QString ShownTime(const Ssl& ssl, const void* time) {
    std::tm tm{};
    if (!time || ssl.time_to_tm(time, &tm) != 1) return QStringLiteral("?");
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return QString::fromLatin1(text);
}

QString NameText(const Ssl& ssl, void* name) {
    char buffer[512] = {};
    if (!name || !ssl.name_oneline(name, buffer, int(sizeof buffer))) return QStringLiteral("?");
    return QString::fromUtf8(buffer);
}

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEncoded(QByteArray& out, const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = uint8_t(p[i]);
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
}

} // namespace

bool OpenInternet() {
    std::lock_guard lock(g_openLock);
    if (g_internet) return true;
    if (!LoadCurl() || Curl().global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    auto* net = new Internet;
    net->share = Curl().share_init();
    if (!net->share) {
        delete net;
        Curl().global_cleanup();
        return false;
    }
    Curl().share_setopt(net->share, CURLSHOPT_LOCKFUNC, LockShare);
    Curl().share_setopt(net->share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    Curl().share_setopt(net->share, CURLSHOPT_USERDATA, net);
    Curl().share_setopt(net->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    g_internet = net;
    return true;
}

bool InternetIsOpen() {
    return TheInternet() != nullptr;
}

void CloseInternet() {
    std::lock_guard lock(g_openLock);
    if (!g_internet) return;
    // A connection still holding the share keeps it (and the process-wide state) alive.
    if (Curl().share_cleanup(g_internet->share) != CURLSHE_OK) return;
    delete g_internet;
    g_internet = nullptr;
    Curl().global_cleanup();
}

QString CurlErrorText(int code) {
    const CurlApi* api = LoadCurl();
    return api ? QString::fromLatin1(api->easy_strerror(CURLcode(code))) : QString();
}

QByteArray EncodeFtpUrlPath(const QByteArray& path) {
    QByteArray p = path;
    p.replace('\\', '/');
    qsizetype start = 0;
    while (start < p.size() && p[start] == '/')
        ++start;
    QByteArray out("/%2F");
    if (start == p.size()) return out + '/'; // the root folder itself
    qsizetype i = start;
    while (i < p.size()) {
        qsizetype j = p.indexOf('/', i);
        if (j < 0) j = p.size();
        AppendEncoded(out, p.constData() + i, j - i);
        if (j < p.size()) out += '/';
        i = j + 1;
    }
    return out;
}

QByteArray EncodeSftpUrlPath(const QByteArray& path) {
    QByteArray p = path;
    p.replace('\\', '/');
    QByteArray out;
    qsizetype i = 0;
    while (i < p.size()) {
        while (i < p.size() && p[i] == '/')
            ++i;
        if (i == p.size()) break;
        qsizetype j = p.indexOf('/', i);
        if (j < 0) j = p.size();
        out += '/';
        AppendEncoded(out, p.constData() + i, j - i);
        i = j;
    }
    if (out.isEmpty() || p.endsWith('/')) out += '/';
    return out;
}

QByteArray SftpQuoted(const QByteArray& path) {
    QByteArray out("\"");
    for (const char c : path) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

struct CurlFtp::Handle {
    CURL* easy = nullptr;
};

CurlFtp::CurlFtp(const QString& host, int port, const QByteArray& user, const QByteArray& password,
                 const FtpOptions& options, const CurlSecurity& security)
    : h_(std::make_unique<Handle>()), user_(user), password_(password), timeouts_(options),
      security_(security), host_(host) {
    // An IPv6 literal needs its brackets in a URL.
    const QByteArray name = host.toUtf8();
    const QByteArray hostPart =
        name.contains(':') && !name.startsWith('[') ? '[' + name + ']' : name;
    port_ = port <= 0 ? DefaultPort(security.protocol) : port;
    // Explicit TLS starts as plain FTP on the FTP port and is required at once (AUTH TLS).
    base_ = (security.protocol == FtpProtocol::Sftp ? "sftp://" : "ftp://") + hostPart + ':' +
            QByteArray::number(port_);
    if (LoadCurl()) h_->easy = Curl().easy_init();
}

CurlFtp::~CurlFtp() {
    if (h_->easy) LogOut();
}

// libcurl sends QUIT when the handle goes and may wait for the answer as for any reply,
// calling none of our callbacks meanwhile: a silent server holds up a closing window for a
// second at most, and not at all once the calling thread was told to stop (a Close, an Esc).
void CurlFtp::LogOut() {
    CURL* e = h_->easy;
    Curl().easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, long((kFtpLogOutMs + 999) / 1000));
    const platform::CancelToken* stop = platform::CurrentCancelToken();
    curl_socket_t control = CURL_SOCKET_BAD;
    // On this thread libcurl is not using the socket: shutting it down only makes the QUIT
    // fail at once, and libcurl still closes it.
    if (stop && stop->IsCancelled() &&
        Curl().easy_getinfo(e, CURLINFO_ACTIVESOCKET, &control) == CURLE_OK &&
        control != CURL_SOCKET_BAD)
        ::shutdown(control, SHUT_RDWR);
    Curl().easy_cleanup(e);
}

bool CurlFtp::ShouldStop() const {
    if (abort_.load()) return true;
    // The calling thread's stop request (a listing thread's, for one).
    if (const platform::CancelToken* token = platform::CurrentCancelToken(); token && token->IsCancelled()) return true;
    if (const std::atomic<bool>* s = stop_.load(); s && s->load()) return true;
    if (const std::atomic<int>* r = running_.load(); r && r->load() == 0) return true;
    return false;
}

int CurlFtp::OnProgress(void* self, int64_t, int64_t, int64_t, int64_t) {
    auto* me = static_cast<CurlFtp*>(self);
    if (me->ShouldStop()) {
        me->stopped_ = true;
        return 1;
    }
    return 0;
}

size_t CurlFtp::OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<CurlFtp*>(self);
    const size_t n = size * count;
    if (me->ShouldStop()) {
        me->stopped_ = true;
        return 0;
    }
    if (me->sink_ && !(*me->sink_)(data, n)) {
        me->sinkRefused_ = true;
        return 0;
    }
    return n;
}

size_t CurlFtp::OnRead(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<CurlFtp*>(self);
    if (me->ShouldStop()) {
        me->stopped_ = true;
        return CURL_READFUNC_ABORT;
    }
    if (!me->source_) return 0;
    const int64_t n = (*me->source_)(data, size * count);
    if (n < 0) {
        me->sinkRefused_ = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(n);
}

int CurlFtp::OnDebug(void*, int type, char* data, size_t size, void* self) {
    auto* me = static_cast<CurlFtp*>(self);
    if (type == CURLINFO_HEADER_OUT) {
        // The answer to QUIT would hide the failure that made libcurl close the connection.
        me->quitting_ = size >= 4 && qstrnicmp(data, "QUIT", 4) == 0;
        if (!me->quitting_) me->lastReply_.clear();
    } else if (type == CURLINFO_HEADER_IN && !me->quitting_) {
        if (me->lastReply_.size() < 4096) me->lastReply_.append(data, qsizetype(size));
    }
    return 0;
}

// Said outright rather than left to the installed library's defaults: data connections go
// to the control connection's peer whatever address a 227 names (a server cannot point us
// at another host), and nothing but the entry's protocol is spoken, no redirect followed.
static void RestrictTo(CURL* e, FtpProtocol protocol) {
    // The bit-mask forms (ids 181 and 182) for what a library refuses by name: one older
    // than 7.85 has no names, and 7.88 takes no empty list of redirect protocols.
    constexpr CURLoption kProtocols = CURLoption(181);
    constexpr CURLoption kRedirProtocols = CURLoption(182);
    const bool sftp = protocol == FtpProtocol::Sftp;
    Curl().easy_setopt(e, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    if (Curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, sftp ? "sftp" : "ftp") != CURLE_OK)
        Curl().easy_setopt(e, kProtocols, long(sftp ? CURLPROTO_SFTP : CURLPROTO_FTP));
    if (Curl().easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "") != CURLE_OK)
        Curl().easy_setopt(e, kRedirProtocols, 0L);
}

int CurlFtp::Perform(const QByteArray& urlPath) {
    CURL* e = h_->easy;
    if (!e) return CURLE_FAILED_INIT;
    Internet* net = TheInternet();
    if (!net) return CURLE_FAILED_INIT;
    stopped_ = false;
    sinkRefused_ = false;
    abort_.store(false);
    if (ShouldStop()) {
        stopped_ = true;
        return kStopped;
    }
    const QByteArray url = base_ + urlPath;
    Curl().easy_setopt(e, CURLOPT_URL, url.constData());
    Curl().easy_setopt(e, CURLOPT_SHARE, net->share);
    Curl().easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    if (security_.protocol == FtpProtocol::Sftp) {
        // SSH has no anonymous log-in: an empty user is this machine's user, as with ssh.
        QByteArray user = user_;
        if (user.isEmpty()) {
            const passwd* me = ::getpwuid(::getuid());
            user = me && me->pw_name ? QByteArray(me->pw_name) : qgetenv("USER");
        }
        Curl().easy_setopt(e, CURLOPT_USERNAME, user.constData());
        Curl().easy_setopt(e, CURLOPT_PASSWORD, password_.constData());
    } else {
        // An empty user logs in anonymously, like our own client.
        Curl().easy_setopt(e, CURLOPT_USERNAME, user_.isEmpty() ? "anonymous" : user_.constData());
        Curl().easy_setopt(e, CURLOPT_PASSWORD, user_.isEmpty() && password_.isEmpty()
                                                    ? "velmar@"
                                                    : password_.constData());
        Curl().easy_setopt(e, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    }
    RestrictTo(e, security_.protocol);
    SetSecurity(e);
    Curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(timeouts_.connectMs));
    const long quietSeconds =
        std::max(1L, long(std::max(timeouts_.receiveMs, timeouts_.sendMs)) / 1000);
    Curl().easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, quietSeconds);
    // A data connection that stalls for the receive time-out counts as broken.
    Curl().easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    Curl().easy_setopt(e, CURLOPT_LOW_SPEED_TIME, quietSeconds);
    Curl().easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    Curl().easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &CurlFtp::OnProgress);
    Curl().easy_setopt(e, CURLOPT_XFERINFODATA, this);
    Curl().easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlFtp::OnWrite);
    Curl().easy_setopt(e, CURLOPT_WRITEDATA, this);
    Curl().easy_setopt(e, CURLOPT_READFUNCTION, &CurlFtp::OnRead);
    Curl().easy_setopt(e, CURLOPT_READDATA, this);
    Curl().easy_setopt(e, CURLOPT_DEBUGFUNCTION, &CurlFtp::OnDebug);
    Curl().easy_setopt(e, CURLOPT_DEBUGDATA, this);
    Curl().easy_setopt(e, CURLOPT_VERBOSE, 1L);
    t_handshaking = this;
    const CURLcode rc = Curl().easy_perform(e);
    t_handshaking = nullptr;
    return Finish(int(rc));
}

int CurlFtp::Finish(int rc) {
    if (stopped_) return kStopped;
    if (rc == CURLE_OK) return rc;
    // Refused in the handshake by our own check: the callbacks said why (unknown or changed).
    using trust::KeyState;
    if (peer_.state == KeyState::Changed || peer_.state == KeyState::Unknown)
        return CURLE_PEER_FAILED_VERIFICATION;
    // Refused by libcurl's: a chain that checks out for another host name is unknown too.
    if (rc == CURLE_PEER_FAILED_VERIFICATION)
        peer_.state = peer_.kind == trust::PeerIdentity::Kind::Certificate ? KeyState::Unknown
                                                                            : KeyState::Error;
    return rc;
}

void CurlFtp::SetSecurity(void* handle) {
    CURL* e = static_cast<CURL*>(handle);
    peer_ = {};
    peer_.host = host_;
    peer_.port = quint16(port_);
    if (security_.protocol == FtpProtocol::FtpTls) {
        // Control and data both in TLS, or no connection: never a fall-back to clear text.
        Curl().easy_setopt(e, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        Curl().easy_setopt(e, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
        const bool pinned = !security_.pinnedCertificate.isEmpty();
        // A certificate the user trusted is checked against its pin alone (by OnVerify); one
        // not trusted yet must satisfy the system's store and name the host.
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, pinned ? 0L : 1L);
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, pinned ? 0L : 2L);
        if (LoadSsl()) {
            Curl().easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &CurlFtp::OnSslContext);
            Curl().easy_setopt(e, CURLOPT_SSL_CTX_DATA, this);
        } else if (pinned) {
            // Without our own check a pinned certificate could not be held to its pin.
            Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
            Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
        }
    } else if (security_.protocol == FtpProtocol::Sftp) {
        const QString ssh = security_.sshDir.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh")
                                                       : security_.sshDir;
        const QString known = security_.knownHosts.isEmpty()
                                  ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                                  : security_.knownHosts;
        const QByteArray knownPath = QFile::encodeName(known);
        Curl().easy_setopt(e, CURLOPT_SSH_KNOWNHOSTS, knownPath.constData());
        Curl().easy_setopt(e, CURLOPT_SSH_KEYFUNCTION, &CurlFtp::OnHostKey);
        Curl().easy_setopt(e, CURLOPT_SSH_KEYDATA, this);
        Curl().easy_setopt(e, CURLOPT_SSH_AUTH_TYPES,
                           long(CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_AGENT | CURLSSH_AUTH_PASSWORD |
                                CURLSSH_AUTH_KEYBOARD));
        for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
            const QString key = ssh + QLatin1Char('/') + QLatin1String(name);
            if (!QFileInfo::exists(key)) continue;
            const QByteArray keyPath = QFile::encodeName(key);
            Curl().easy_setopt(e, CURLOPT_SSH_PRIVATE_KEYFILE, keyPath.constData());
            if (QFileInfo::exists(key + QStringLiteral(".pub"))) {
                const QByteArray pub = QFile::encodeName(key + QStringLiteral(".pub"));
                Curl().easy_setopt(e, CURLOPT_SSH_PUBLIC_KEYFILE, pub.constData());
            }
            break;
        }
    }
}

int CurlFtp::OnSslContext(void*, void* sslContext, void*) {
    LoadSsl()->ctx_set_verify(sslContext, kSslVerifyPeer,
                              reinterpret_cast<int (*)(int, void*)>(&CurlFtp::OnVerify));
    return CURLE_OK;
}

// Called by OpenSSL for each certificate of the chain, on the thread of the perform.
int CurlFtp::OnVerify(int preverified, void* storeContext) {
    CurlFtp* me = t_handshaking;
    const Ssl* ssl = LoadSsl();
    if (!me || !ssl) return 0;
    void* leaf = ssl->store_get0_cert(storeContext);
    if (!leaf) return 0;
    const int length = ssl->i2d_x509(leaf, nullptr);
    if (length <= 0 || length > 1024 * 1024) return 0;
    QByteArray der(length, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    if (ssl->i2d_x509(leaf, &out) != length) return 0;
    trust::PeerIdentity& peer = me->peer_;
    const QByteArray pin = trust::CertificatePin(der);
    if (peer.pin != pin) {
        peer.kind = trust::PeerIdentity::Kind::Certificate;
        peer.keyType = QStringLiteral("X.509");
        peer.pin = pin;
        peer.fingerprint = trust::ShownPin(pin);
        peer.subject = NameText(*ssl, ssl->get_subject_name(leaf));
        peer.issuer = NameText(*ssl, ssl->get_issuer_name(leaf));
        peer.validFrom = ShownTime(*ssl, ssl->get0_not_before(leaf));
        peer.validUntil = ShownTime(*ssl, ssl->get0_not_after(leaf));
    }
    if (!me->security_.pinnedCertificate.isEmpty()) {
        if (pin == me->security_.pinnedCertificate) return 1;
        peer.state = trust::KeyState::Changed;
        return 0;
    }
    if (!preverified) peer.state = trust::KeyState::Unknown;
    return preverified ? 1 : 0;
}

int CurlFtp::OnHostKey(void*, const void* knownKey, const void* foundKey, int match, void* self) {
    auto* me = static_cast<CurlFtp*>(self);
    const auto* found = static_cast<const curl_khkey*>(foundKey);
    (void)knownKey;
    trust::PeerIdentity& peer = me->peer_;
    peer.kind = trust::PeerIdentity::Kind::HostKey;
    if (found && found->key) {
        const QByteArray blob = found->len > 0 ? QByteArray(found->key, qsizetype(found->len))
                                               : QByteArray::fromBase64(found->key);
        peer.pin = blob.toBase64();
        peer.fingerprint = trust::KeyFingerprint(blob);
        peer.keyType = trust::KeyTypeOf(blob);
    }
    switch (match) {
    case CURLKHMATCH_OK:
        peer.state = trust::KeyState::Known;
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISMATCH:
        peer.state = trust::KeyState::Changed;
        break;
    case CURLKHMATCH_MISSING:
        // Asked on the window's thread, which adds the key on Yes and connects again.
        peer.state = peer.keyType.isEmpty() ? trust::KeyState::Error : trust::KeyState::Unknown;
        break;
    default:
        peer.state = trust::KeyState::Error;
        break;
    }
    return CURLKHSTAT_REJECT;
}

QByteArray CurlFtp::UrlPath(const QByteArray& path) const {
    return security_.protocol == FtpProtocol::Sftp ? EncodeSftpUrlPath(path)
                                                   : EncodeFtpUrlPath(path);
}

int CurlFtp::Login() {
    Curl().easy_reset(h_->easy);
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    // No path: the log-in alone, without a CWD the first listing would undo at once.
    return Perform(QByteArrayLiteral("/"));
}

int CurlFtp::List(const QByteArray& folder, const Sink& sink) {
    Curl().easy_reset(h_->easy);
    QByteArray path = folder;
    if (!path.endsWith('/')) path += '/';
    // A large listing arrives in fewer, larger blocks: fewer calls into the line splitter.
    Curl().easy_setopt(h_->easy, CURLOPT_BUFFERSIZE, 64L * 1024);
    sink_ = &sink;
    const int rc = Perform(UrlPath(path));
    sink_ = nullptr;
    return rc;
}

// Large blocks for file transfers only: a listing keeps libcurl's small buffer rather than
// touch fresh pages of a large one.
void CurlFtp::UseLargeBuffers() {
    Curl().easy_setopt(h_->easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    Curl().easy_setopt(h_->easy, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024);
}

int CurlFtp::Retrieve(const QByteArray& path, const Sink& sink) {
    Curl().easy_reset(h_->easy);
    UseLargeBuffers();
    sink_ = &sink;
    const int rc = Perform(UrlPath(path));
    sink_ = nullptr;
    return rc;
}

int CurlFtp::Store(const QByteArray& path, const Source& source) {
    Curl().easy_reset(h_->easy);
    UseLargeBuffers();
    Curl().easy_setopt(h_->easy, CURLOPT_UPLOAD, 1L);
    source_ = &source;
    const int rc = Perform(UrlPath(path));
    source_ = nullptr;
    return rc;
}

// The FTP commands the connection gives as the SFTP requests libcurl's quote list knows.
static std::vector<QByteArray> SftpCommands(const std::vector<QByteArray>& commands) {
    std::vector<QByteArray> out;
    for (size_t i = 0; i < commands.size(); ++i) {
        const QByteArray& c = commands[i];
        const qsizetype blank = c.indexOf(' ');
        const QByteArray verb = c.left(blank).toUpper();
        const QByteArray path = blank < 0 ? QByteArray() : c.mid(blank + 1);
        if (verb == "RNFR" && i + 1 < commands.size() && commands[i + 1].startsWith("RNTO ")) {
            out.push_back("rename " + SftpQuoted(path) + ' ' + SftpQuoted(commands[i + 1].mid(5)));
            ++i;
        } else if (verb == "DELE") {
            out.push_back("rm " + SftpQuoted(path));
        } else if (verb == "MKD") {
            out.push_back("mkdir " + SftpQuoted(path));
        } else if (verb == "RMD") {
            out.push_back("rmdir " + SftpQuoted(path));
        } else if (verb == "MFMT" && path.size() > 15 && path[14] == ' ') {
            // "MFMT yyyyMMddHHmmss path" (UTC) as a date libcurl's date reader takes.
            const QByteArray t = path.left(14);
            const QByteArray date = t.left(8) + ' ' + t.mid(8, 2) + ':' + t.mid(10, 2) + ':' +
                                    t.mid(12, 2) + " GMT";
            out.push_back("mtime " + SftpQuoted(date) + ' ' + SftpQuoted(path.mid(15)));
        } else {
            out.push_back("unknown-command"); // fails the list rather than skipping a step
        }
    }
    return out;
}

int CurlFtp::Commands(const std::vector<QByteArray>& commands) {
    Curl().easy_reset(h_->easy);
    curl_slist* list = nullptr;
    const std::vector<QByteArray> sent =
        security_.protocol == FtpProtocol::Sftp ? SftpCommands(commands) : commands;
    for (const QByteArray& c : sent)
        list = Curl().slist_append(list, c.constData());
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    Curl().easy_setopt(h_->easy, CURLOPT_QUOTE, list);
    const int rc = Perform(UrlPath("/"));
    Curl().easy_setopt(h_->easy, CURLOPT_QUOTE, nullptr);
    Curl().slist_free_all(list);
    return rc;
}

// A request for `path` without its body, and what libcurl learnt of it (`info`, set only on
// success); a value the server did not give counts as a missing file.
int CurlFtp::Head(const QByteArray& path, int info, int64_t& value) {
    Curl().easy_reset(h_->easy);
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    if (info == CURLINFO_FILETIME_T) Curl().easy_setopt(h_->easy, CURLOPT_FILETIME, 1L);
    const int rc = Perform(UrlPath(path));
    if (rc != 0) return rc;
    curl_off_t got = -1;
    Curl().easy_getinfo(h_->easy, CURLINFO(info), &got);
    if (got < 0) return CURLE_REMOTE_FILE_NOT_FOUND;
    value = got;
    return 0;
}

int CurlFtp::Size(const QByteArray& path, uint64_t& size) {
    int64_t length = -1;
    const int rc = Head(path, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, length);
    if (rc == 0) size = uint64_t(length);
    return rc;
}

int CurlFtp::ModifiedTime(const QByteArray& path, int64_t& seconds) {
    return Head(path, CURLINFO_FILETIME_T, seconds);
}

} // namespace velmar::ftp
