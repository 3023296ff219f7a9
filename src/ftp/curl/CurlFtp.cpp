#include "ftp/curl/CurlFtp.h"

#include "platform/Cancel.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
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

struct CurlFtp::Handle {
    CURL* easy = nullptr;
};

CurlFtp::CurlFtp(const QString& host, int port, const QByteArray& user, const QByteArray& password,
                 const FtpOptions& options)
    : h_(std::make_unique<Handle>()), user_(user), password_(password), timeouts_(options) {
    // An IPv6 literal needs its brackets in a URL.
    const QByteArray name = host.toUtf8();
    const QByteArray hostPart =
        name.contains(':') && !name.startsWith('[') ? '[' + name + ']' : name;
    base_ = "ftp://" + hostPart + ':' + QByteArray::number(port <= 0 ? 21 : port);
    if (LoadCurl()) h_->easy = Curl().easy_init();
}

CurlFtp::~CurlFtp() {
    if (h_->easy) Curl().easy_cleanup(h_->easy);
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
// at another host), and nothing but plain FTP is spoken, no redirect followed.
static void RestrictToFtp(CURL* e) {
    // The bit-mask forms (ids 181 and 182) for what a library refuses by name: one older
    // than 7.85 has no names, and 7.88 takes no empty list of redirect protocols.
    constexpr CURLoption kProtocols = CURLoption(181);
    constexpr CURLoption kRedirProtocols = CURLoption(182);
    Curl().easy_setopt(e, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    if (Curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp") != CURLE_OK)
        Curl().easy_setopt(e, kProtocols, long(CURLPROTO_FTP));
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
    // An empty user logs in anonymously, like our own client.
    Curl().easy_setopt(e, CURLOPT_USERNAME, user_.isEmpty() ? "anonymous" : user_.constData());
    Curl().easy_setopt(e, CURLOPT_PASSWORD,
                       user_.isEmpty() && password_.isEmpty() ? "velmar@" : password_.constData());
    Curl().easy_setopt(e, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    RestrictToFtp(e);
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
    const CURLcode rc = Curl().easy_perform(e);
    if (stopped_) return kStopped;
    return int(rc);
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
    const int rc = Perform(EncodeFtpUrlPath(path));
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
    const int rc = Perform(EncodeFtpUrlPath(path));
    sink_ = nullptr;
    return rc;
}

int CurlFtp::Store(const QByteArray& path, const Source& source) {
    Curl().easy_reset(h_->easy);
    UseLargeBuffers();
    Curl().easy_setopt(h_->easy, CURLOPT_UPLOAD, 1L);
    source_ = &source;
    const int rc = Perform(EncodeFtpUrlPath(path));
    source_ = nullptr;
    return rc;
}

int CurlFtp::Commands(const std::vector<QByteArray>& commands) {
    Curl().easy_reset(h_->easy);
    curl_slist* list = nullptr;
    for (const QByteArray& c : commands)
        list = Curl().slist_append(list, c.constData());
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    Curl().easy_setopt(h_->easy, CURLOPT_QUOTE, list);
    const int rc = Perform(EncodeFtpUrlPath("/"));
    Curl().easy_setopt(h_->easy, CURLOPT_QUOTE, nullptr);
    Curl().slist_free_all(list);
    return rc;
}

int CurlFtp::Size(const QByteArray& path, uint64_t& size) {
    Curl().easy_reset(h_->easy);
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    const int rc = Perform(EncodeFtpUrlPath(path));
    if (rc != 0) return rc;
    curl_off_t length = -1;
    Curl().easy_getinfo(h_->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0) return CURLE_REMOTE_FILE_NOT_FOUND;
    size = uint64_t(length);
    return 0;
}

int CurlFtp::ModifiedTime(const QByteArray& path, int64_t& seconds) {
    Curl().easy_reset(h_->easy);
    Curl().easy_setopt(h_->easy, CURLOPT_NOBODY, 1L);
    Curl().easy_setopt(h_->easy, CURLOPT_FILETIME, 1L);
    const int rc = Perform(EncodeFtpUrlPath(path));
    if (rc != 0) return rc;
    curl_off_t time = -1;
    Curl().easy_getinfo(h_->easy, CURLINFO_FILETIME_T, &time);
    if (time < 0) return CURLE_REMOTE_FILE_NOT_FOUND;
    seconds = int64_t(time);
    return 0;
}

} // namespace velmar::ftp
