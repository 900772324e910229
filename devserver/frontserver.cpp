#include "devserver/frontserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReadChunk = 16 * 1024;
constexpr int kListenBacklog = 1024;
// The answer of a refused request is not lost to a reset: what the client still sends
// is read and dropped for this long before the socket closes.
constexpr int kLingerMs = 200;
constexpr int kLingerBytes = 1024 * 1024;
// Bodies up to this size are collected with the headers, so a slow sender never holds a
// worker; all connections together keep at most the budget of such bodies waiting.
constexpr size_t kCollectBodyBytes = 256 * 1024;
constexpr size_t kCollectBudgetBytes = 64 * 1024 * 1024;

std::atomic<int> g_live{0};

Clock::time_point after(int ms)
{
    return Clock::now() + std::chrono::milliseconds(ms);
}

int msUntil(Clock::time_point t)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now());
    return int(std::max<long long>(0, left.count()));
}

std::string addressText(const sockaddr_storage &a, int *port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(&a);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        *port = ntohs(in->sin_port);
    } else if (a.ss_family == AF_INET6) {
        const auto *in = reinterpret_cast<const sockaddr_in6 *>(&a);
        inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        *port = ntohs(in->sin6_port);
    }
    return text;
}

// The declared body length of a header block that a collector may wait for, or 0 when
// the worker reads the body itself (chunked, expecting a continue, malformed or large).
size_t collectableBody(const std::string &in, size_t from, size_t to)
{
    std::string headers = in.substr(from, to - from);
    std::transform(headers.begin(), headers.end(), headers.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    if (headers.find("\ntransfer-encoding:") != std::string::npos ||
        headers.find("\nexpect:") != std::string::npos)
        return 0;
    const size_t at = headers.find("\ncontent-length:");
    if (at == std::string::npos)
        return 0;
    const char *p = headers.c_str() + at + 16;
    while (*p == ' ' || *p == '\t')
        ++p;
    size_t n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + size_t(*p - '0');
        if (n > kCollectBodyBytes)
            return 0;
    }
    return n;
}

} // namespace

struct FrontServer::Connection
{
    int fd = -1;
    SSL *ssl = nullptr;
    bool handshaken = false;
    std::string in; // received, not yet taken by the request reader
    size_t taken = 0;
    size_t scanned = 0; // where the search for the end of the headers resumes
    size_t needed = 0;  // bytes of the current request from `taken` once its headers are in
    size_t reserved = 0; // of the collector's body budget
    short events = POLLIN;
    Clock::time_point deadline;
    int served = 0;
    bool closeAfter = false;
    std::string peer, local;
    int peerPort = 0, localPort = 0;

    ~Connection()
    {
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        if (fd >= 0)
            ::close(fd);
        --g_live;
    }

    // > 0 bytes, 0 at the end, -1 on error, -2 when it would wait (`events` says for what).
    int receive(char *buf, int size)
    {
        if (!ssl) {
            for (;;) {
                const ssize_t n = ::recv(fd, buf, size_t(size), 0);
                if (n >= 0)
                    return int(n);
                if (errno == EINTR)
                    continue;
                events = POLLIN;
                return errno == EAGAIN || errno == EWOULDBLOCK ? -2 : -1;
            }
        }
        ERR_clear_error();
        const int n = handshaken ? SSL_read(ssl, buf, size) : SSL_accept(ssl);
        if (n > 0 && !handshaken) {
            handshaken = true;
            return receive(buf, size);
        }
        return n > 0 ? n : tlsFailure(n);
    }

    int send(const char *buf, int size)
    {
        if (!ssl) {
            for (;;) {
                const ssize_t n = ::send(fd, buf, size_t(size), MSG_NOSIGNAL);
                if (n >= 0)
                    return int(n);
                if (errno == EINTR)
                    continue;
                events = POLLOUT;
                return errno == EAGAIN || errno == EWOULDBLOCK ? -2 : -1;
            }
        }
        ERR_clear_error();
        const int n = SSL_write(ssl, buf, size);
        return n > 0 ? n : tlsFailure(n);
    }

    int tlsFailure(int n)
    {
        switch (SSL_get_error(ssl, n)) {
        case SSL_ERROR_WANT_READ:
            events = POLLIN;
            return -2;
        case SSL_ERROR_WANT_WRITE:
            events = POLLOUT;
            return -2;
        case SSL_ERROR_ZERO_RETURN:
            return 0;
        default:
            return -1;
        }
    }

    // Waits for `events` until the deadline or the single-operation limit.
    bool wait(int ioTimeoutMs)
    {
        const int ms = std::min(ioTimeoutMs, msUntil(deadline));
        pollfd p = {fd, events, 0};
        int r;
        while ((r = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
        }
        return r > 0;
    }

    // Where the headers of the request at `taken` end, or npos.
    size_t headersEnd()
    {
        const size_t from = std::max(taken, scanned >= 3 ? scanned - 3 : 0);
        scanned = in.size();
        const size_t end = in.find("\r\n\r\n", from);
        return end == std::string::npos ? end : end + 4;
    }
    bool headersComplete() { return headersEnd() != std::string::npos; }

    // The next request starts at `taken`: its headers are searched for from there, even
    // when it arrived in one write with the previous one.
    void consumed()
    {
        needed = 0;
        if (taken == in.size()) {
            in.clear();
            taken = scanned = 0;
        } else {
            scanned = taken;
        }
    }
};

namespace {

thread_local FrontServer::Connection *t_current = nullptr;

// The library's view of one connection while a worker runs its requests.
class ConnectionStream : public httplib::Stream
{
public:
    ConnectionStream(FrontServer::Connection &c, const ConnectionLimits &limits)
        : m_c(c), m_limits(limits)
    {
    }

    bool is_readable() const override
    {
        m_c.events = POLLIN;
        return m_c.taken < m_c.in.size() || (m_c.ssl && SSL_pending(m_c.ssl) > 0) ||
               m_c.wait(m_limits.ioTimeoutMs);
    }
    bool is_writable() const override
    {
        m_c.events = POLLOUT;
        return m_c.wait(m_limits.ioTimeoutMs);
    }

    ssize_t read(char *ptr, size_t size) override
    {
        if (m_c.taken >= m_c.in.size()) {
            char buf[kReadChunk];
            int n;
            while ((n = m_c.receive(buf, kReadChunk)) == -2) {
                if (!m_c.wait(m_limits.ioTimeoutMs))
                    return -1;
            }
            if (n <= 0)
                return n;
            m_c.in.assign(buf, size_t(n));
            m_c.taken = m_c.scanned = 0;
        }
        const size_t n = std::min(size, m_c.in.size() - m_c.taken);
        memcpy(ptr, m_c.in.data() + m_c.taken, n);
        m_c.taken += n;
        return ssize_t(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        if (!m_writing) {
            // The body is in; what is left is the answer, with its own time.
            m_writing = true;
            m_c.deadline = after(m_limits.answerTimeoutMs);
        }
        int n;
        while ((n = m_c.send(ptr, int(std::min<size_t>(size, 1 << 20)))) == -2) {
            if (!m_c.wait(m_limits.ioTimeoutMs))
                return -1;
        }
        return n;
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = m_c.peer;
        port = m_c.peerPort;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        ip = m_c.local;
        port = m_c.localPort;
    }
    socket_t socket() const override { return m_c.fd; }

private:
    FrontServer::Connection &m_c;
    const ConnectionLimits &m_limits;
    bool m_writing = false;
};

} // namespace

FrontServer::FrontServer(const ConnectionLimits &limits, SSL_CTX *tls)
    : m_limits(limits), m_tls(tls)
{
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    set_keep_alive_max_count(size_t(limits.maxRequestsPerConnection));
    set_keep_alive_timeout(std::max(1, limits.headerTimeoutMs / 1000));
}

FrontServer::~FrontServer()
{
    stopServing();
    waitStopped();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_tls)
        SSL_CTX_free(m_tls);
}

SSL_CTX *FrontServer::serverContext(const std::string &chainFile, const std::string &keyFile,
                                    std::string *error)
{
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    if (ctx && SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) == 1 &&
        SSL_CTX_use_certificate_chain_file(ctx, chainFile.c_str()) == 1 &&
        SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) == 1 &&
        SSL_CTX_check_private_key(ctx) == 1) {
        SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return ctx;
    }
    *error = "cannot set up TLS with " + chainFile;
    SSL_CTX_free(ctx);
    return nullptr;
}

int FrontServer::bindExclusive(const std::string &host, int port, std::string *error)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        *error = "not an IPv4 address: " + host;
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Address reuse only lets a restart bind over connections still closing; without
    // port reuse a second process cannot bind the port while this one listens.
    const int yes = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        *error =
            errno == EADDRINUSE
                ? host + ":" + std::to_string(port) +
                      " is already in use (is another quillora-devserver running?)"
                : "cannot listen on " + host + ":" + std::to_string(port) + ": " + strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    sockaddr_in bound = {};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    m_listenFd = fd;
    return ntohs(bound.sin_port);
}

void FrontServer::startServing()
{
    for (int i = 0; i < m_limits.workers; ++i)
        m_workers.emplace_back([this] { work(); });
    m_collector = std::thread([this] { collect(); });
}

void FrontServer::stopServing()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
    }
    m_readySignal.notify_all();
    wake();
}

void FrontServer::waitStopped()
{
    if (m_collector.joinable())
        m_collector.join();
    // Workers may still add workers until they see the stop, so they are counted under the lock.
    for (;;) {
        std::thread t;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_workers.empty())
                return;
            t = std::move(m_workers.back());
            m_workers.pop_back();
        }
        if (t.joinable())
            t.join();
    }
}

void FrontServer::closeAfterAnswer(httplib::Response &res)
{
    res.set_header("Connection", "close");
    if (t_current)
        t_current->closeAfter = true;
}

void FrontServer::dropConnection()
{
    if (t_current) {
        t_current->closeAfter = true;
        ::shutdown(t_current->fd, SHUT_RDWR);
    }
}

void FrontServer::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

FrontServer::Progress FrontServer::pump(Connection &c)
{
    char buf[kReadChunk];
    for (;;) {
        if (c.needed == 0 && c.taken < c.in.size()) {
            const size_t end = c.headersEnd();
            if (end != std::string::npos) {
                size_t body = collectableBody(c.in, c.taken, end);
                if (m_collected + body > kCollectBudgetBytes)
                    body = 0;
                m_collected += body;
                c.reserved = body;
                c.needed = end - c.taken + body;
                c.deadline = after(m_limits.bodyTimeoutMs);
            }
        }
        if (c.needed > 0 && c.in.size() - c.taken >= c.needed)
            return Progress::Ready;
        if (c.needed == 0 && int(c.in.size() - c.taken) > m_limits.maxHeaderBytes)
            return Progress::Closed;
        const int n = c.receive(buf, kReadChunk);
        if (n == -2)
            return Progress::Waiting;
        if (n <= 0)
            return Progress::Closed;
        c.in.append(buf, size_t(n));
    }
}

void FrontServer::release(Connection &c)
{
    m_collected -= c.reserved;
    c.reserved = 0;
}

void FrontServer::place(std::unique_ptr<Connection> c)
{
    const Progress progress = pump(*c);
    if (progress == Progress::Waiting) {
        m_waiting.push_back(std::move(c));
        return;
    }
    release(*c);
    if (progress == Progress::Closed)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ready.push_back(std::move(c));
    // Slow bodies may hold every worker; a request whose headers are in still gets one.
    if (m_idleWorkers == 0 && int(m_workers.size()) < 4 * m_limits.workers)
        m_workers.emplace_back([this] { work(); });
    m_readySignal.notify_one();
}

void FrontServer::acceptAll()
{
    for (;;) {
        sockaddr_storage peer = {};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr *>(&peer), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors the socket stays readable; wait rather than spin.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                m_acceptPausedUntil = after(100);
            return;
        }
        ++g_live;
        std::unique_ptr<Connection> c(new Connection);
        c->fd = fd;
        c->deadline = after(m_limits.headerTimeoutMs);
        c->peer = addressText(peer, &c->peerPort);
        sockaddr_storage local = {};
        length = sizeof local;
        getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length);
        c->local = addressText(local, &c->localPort);
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (m_tls) {
            c->ssl = SSL_new(m_tls);
            if (!c->ssl || SSL_set_fd(c->ssl, fd) != 1)
                continue;
        }
        place(std::move(c));
        if (g_live >= m_limits.maxConnections)
            return;
    }
}

void FrontServer::collect()
{
    std::vector<pollfd> fds;
    for (;;) {
        std::vector<std::unique_ptr<Connection>> returned;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                break;
            returned.swap(m_returned);
        }
        for (auto &c : returned)
            place(std::move(c));

        // Connections past their time go; the rest wait for what they asked for.
        const auto now = Clock::now();
        m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(),
                                       [this, now](const std::unique_ptr<Connection> &c) {
                                           if (c->deadline > now)
                                               return false;
                                           release(*c);
                                           return true;
                                       }),
                        m_waiting.end());
        int timeout = m_limits.headerTimeoutMs;
        fds.assign({{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}});
        if (g_live >= m_limits.maxConnections || Clock::now() < m_acceptPausedUntil) {
            fds[1].fd = -1; // the backlog holds newcomers until connections end
            timeout = std::min(timeout, 100);
        }
        for (const auto &c : m_waiting) {
            fds.push_back({c->fd, c->events, 0});
            timeout = std::min(timeout, msUntil(c->deadline) + 1);
        }
        if (::poll(fds.data(), nfds_t(fds.size()), timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
        }
        // Connections that became readable move on before newcomers are added.
        std::vector<std::unique_ptr<Connection>> active, still;
        for (size_t i = 0; i < m_waiting.size(); ++i)
            (fds[i + 2].revents ? active : still).push_back(std::move(m_waiting[i]));
        m_waiting.swap(still);
        for (auto &c : active)
            place(std::move(c));
        if (fds[1].revents)
            acceptAll();
    }
    m_waiting.clear();
    ::close(m_listenFd);
    m_listenFd = -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_returned.clear();
    m_ready.clear();
}

void FrontServer::work()
{
    for (;;) {
        std::unique_ptr<Connection> c;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            ++m_idleWorkers;
            m_readySignal.wait(lock, [this] { return m_stopping || !m_ready.empty(); });
            --m_idleWorkers;
            if (m_stopping)
                return;
            c = std::move(m_ready.front());
            m_ready.pop_front();
        }
        serve(std::move(c));
    }
}

void FrontServer::serve(std::unique_ptr<Connection> c)
{
    t_current = c.get();
    for (;;) {
        c->deadline = after(m_limits.bodyTimeoutMs);
        ConnectionStream stream(*c, m_limits);
        bool closed = false;
        const bool last = ++c->served >= m_limits.maxRequestsPerConnection;
        const bool ok = process_request(stream, last, closed, nullptr);
        c->consumed();
        bool stopping;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            stopping = m_stopping;
        }
        if (!ok || closed || last || c->closeAfter || stopping)
            break;
        c->deadline = after(m_limits.headerTimeoutMs);
        if (c->taken < c->in.size() && c->headersComplete())
            continue;
        t_current = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_returned.push_back(std::move(c));
        }
        wake();
        return;
    }
    t_current = nullptr;
    if (c->closeAfter) {
        // Whatever the client still sends of a refused body is read and dropped briefly.
        if (c->ssl)
            SSL_shutdown(c->ssl);
        ::shutdown(c->fd, SHUT_WR);
        c->deadline = after(kLingerMs);
        char buf[kReadChunk];
        int drained = 0;
        while (drained < kLingerBytes) {
            const ssize_t n = ::recv(c->fd, buf, sizeof buf, 0);
            if (n > 0) {
                drained += int(n);
                continue;
            }
            c->events = POLLIN;
            if (n == 0 || (errno != EAGAIN && errno != EINTR) || !c->wait(kLingerMs))
                break;
        }
    }
}
