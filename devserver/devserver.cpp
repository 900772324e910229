#include "devserver/devserver.h"

#include "devserver/accountstore.h"
#include "devserver/assets.h"
#include "devserver/catalogue.h"
#include "devserver/certificates.h"
#include "devserver/fontservice.h"
#include "devserver/formbody.h"
#include "devserver/frontserver.h"
#include "devserver/resetpage.h"
#include "devserver/throttle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMetaObject>
#include <QRegularExpression>
#include <QUrlQuery>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr int kLoggedBodyBytes = 64 * 1024;

std::mutex g_outputMutex;

std::string toStd(const QByteArray &bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QString fromStd(const std::string &s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

// Answers 413 without reading a body declared too large; the connection then ends,
// since its unread body would follow.
bool refuseDeclaredBody(const httplib::Request &req, httplib::Response &res, size_t maxBody)
{
    const std::string length = req.get_header_value("Content-Length");
    bool declared = req.has_header("Transfer-Encoding");
    bool tooLarge = false;
    if (!length.empty()) {
        char *end = nullptr;
        errno = 0;
        const unsigned long long n = strtoull(length.c_str(), &end, 10);
        tooLarge = errno != 0 || *end != '\0' || n > maxBody;
        declared = declared || n > 0;
    }
    // Only POSTs carry bodies here; any other with one is refused as well.
    if (!tooLarge && !(declared && req.method != "POST"))
        return false;
    res.status = 413;
    res.set_content("request too large\n", "text/plain");
    FrontServer::closeAfterAnswer(res);
    return true;
}

// Reading and splitting a body of megabytes costs several times its size; so many
// clients may send such bodies at once that only a few are taken in at a time.
class LargeBodySlot
{
public:
    static constexpr size_t kLarge = 256 * 1024;
    static constexpr int kSlots = 2;

    LargeBodySlot() = default;
    LargeBodySlot(const LargeBodySlot &) = delete;
    LargeBodySlot &operator=(const LargeBodySlot &) = delete;
    ~LargeBodySlot()
    {
        if (!m_held)
            return;
        std::lock_guard<std::mutex> lock(s_mutex);
        --s_taken;
        s_free.notify_one();
    }
    void take()
    {
        if (m_held)
            return;
        std::unique_lock<std::mutex> lock(s_mutex);
        s_free.wait(lock, [] { return s_taken < kSlots; });
        ++s_taken;
        m_held = true;
    }

private:
    bool m_held = false;
    static std::mutex s_mutex;
    static std::condition_variable s_free;
    static int s_taken;
};
std::mutex LargeBodySlot::s_mutex;
std::condition_variable LargeBodySlot::s_free;
int LargeBodySlot::s_taken = 0;

// Reads a POST body up to `maxBody` bytes; false (with 413 set) beyond it, for
// bodies of unknown length. A large body holds `slot` until the request ends.
bool readBody(const httplib::Request &req, const httplib::ContentReader &reader,
              httplib::Response &res, size_t maxBody, LargeBodySlot *slot, QByteArray *body)
{
    const size_t declared = size_t(atoll(req.get_header_value("Content-Length").c_str()));
    if (declared > LargeBodySlot::kLarge)
        slot->take();
    body->reserve(int(std::min(declared, maxBody)));
    bool tooLarge = false;
    reader([&](const char *data, size_t length) {
        if (size_t(body->size()) + length > maxBody) {
            tooLarge = true;
            return false;
        }
        if (size_t(body->size()) + length > LargeBodySlot::kLarge)
            slot->take();
        body->append(data, int(length));
        return true;
    });
    if (!tooLarge)
        return true;
    body->clear();
    res.status = 413;
    res.set_content("request too large\n", "text/plain");
    FrontServer::closeAfterAnswer(res);
    return false;
}

// The body for the request log, without passwords, codes or tokens.
QString loggedBody(const QByteArray &body)
{
    static const QStringList hidden = {"password", "code", "token"};
    const SignedForm form = SignedForm::parse(body);
    if (!form.isValid())
        return QStringLiteral("(%1 bytes, not a valid signed form)").arg(body.size());
    QStringList entries;
    for (const auto &kv : form.entries())
        entries.append(kv.first + QLatin1Char('=') +
                       (hidden.contains(kv.first) ? QStringLiteral("***") : kv.second));
    return entries.join(QLatin1Char('&')).left(kLoggedBodyBytes);
}

} // namespace

void printLine(const QString &line)
{
    std::lock_guard<std::mutex> lock(g_outputMutex);
    const QByteArray bytes = line.toUtf8() + '\n';
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    fflush(stdout);
}

struct DevServer::Impl
{
    DevServerOptions options;
    TlsFiles tls;
    AccountStore accounts;
    std::unique_ptr<Throttle> throttle;
    Catalogue catalogue;
    std::unique_ptr<AssetStore> assets;
    std::unique_ptr<FontService> service;
    std::unique_ptr<ResetPages> resetPages;
    std::unique_ptr<FaultInjector> faults;
    std::unique_ptr<FrontServer> https;
    std::unique_ptr<FrontServer> web;
    std::thread joiner;
    int port = 0;
    int webPort = 0;

    std::atomic<bool> stopping{false};
    std::mutex stopMutex;
    std::condition_variable stopSignal;

    std::mutex logMutex;
    FILE *requestLog = nullptr;

    QString publicBase(const httplib::Request &req) const;
    void waitFor(int ms);
    void log(const httplib::Request &req, int tag, const QByteArray &body, int status,
             const QByteArray &reply, const FaultRule *fault);
};

QString DevServer::Impl::publicBase(const httplib::Request &req) const
{
    // Addresses in replies use the host the client asked for, so archive passwords
    // derived from them agree with the client's.
    static const QRegularExpression hostRe(
        QStringLiteral("^(127\\.0\\.0\\.1|localhost|\\[::1\\])(?::([0-9]{1,5}))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = hostRe.match(fromStd(req.get_header_value("Host")));
    if (m.hasMatch() && m.captured(2).toInt() == port)
        return QStringLiteral("https://%1:%2/").arg(m.captured(1).toLower()).arg(port);
    return QStringLiteral("https://127.0.0.1:%1/").arg(port);
}

void DevServer::Impl::waitFor(int ms)
{
    std::unique_lock<std::mutex> lock(stopMutex);
    stopSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
}

void DevServer::Impl::log(const httplib::Request &req, int tag, const QByteArray &body, int status,
                          const QByteArray &reply, const FaultRule *fault)
{
    if (!requestLog)
        return;
    QJsonObject line;
    line.insert(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    line.insert(QStringLiteral("method"), fromStd(req.method));
    line.insert(QStringLiteral("path"), fromStd(req.path));
    if (tag > 0)
        line.insert(QStringLiteral("tag"), tag);
    if (req.method == "POST" && !body.isEmpty())
        line.insert(QStringLiteral("body"), loggedBody(body));
    line.insert(QStringLiteral("status"), status);
    const QJsonDocument replyDoc = QJsonDocument::fromJson(reply);
    if (replyDoc.isObject() && replyDoc.object().contains(QStringLiteral("errcode")))
        line.insert(QStringLiteral("errcode"), replyDoc.object().value(QStringLiteral("errcode")));
    if (fault)
        line.insert(QStringLiteral("fault"), fault->text);
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    std::lock_guard<std::mutex> lock(logMutex);
    fwrite(text.constData(), 1, size_t(text.size()), requestLog);
    fflush(requestLog);
}

DevServer::DevServer(const DevServerOptions &options, QObject *parent)
    : QObject(parent), d(new Impl)
{
    d->options = options;
    d->faults.reset(new FaultInjector(options.faults));
}

DevServer::~DevServer()
{
    if (!d->stopping)
        shutdown();
    if (d->joiner.joinable())
        d->joiner.join();
    if (d->requestLog)
        fclose(d->requestLog);
}

int DevServer::port() const
{
    return d->port;
}
int DevServer::webPort() const
{
    return d->webPort;
}
QString DevServer::caPath() const
{
    return d->tls.caCert;
}

QString DevServer::readyLine() const
{
    return QStringLiteral("ready https://127.0.0.1:%1/ ca=%2 web=http://127.0.0.1:%3/")
        .arg(d->port)
        .arg(d->tls.caCert)
        .arg(d->webPort);
}

bool DevServer::start(QString *error, QStringList *warnings)
{
    const QString dataDir = QDir(d->options.dataDir).absolutePath();
    if (!QDir().mkpath(dataDir) ||
        !QFile::setPermissions(dataDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        *error = QStringLiteral("cannot create %1").arg(dataDir);
        return false;
    }
    if (!ensureTlsFiles(dataDir, &d->tls, error))
        return false;
    if (!d->accounts.open(dataDir + QStringLiteral("/devserver.sqlite"), error))
        return false;
    const AbuseLimits &limits = d->options.limits;
    d->accounts.setLimits(limits.tokenLifetimeSeconds, limits.tokensPerUser, limits.maxReports);
    d->throttle.reset(new Throttle(limits));
    const QString manifest =
        d->options.catalogue.isEmpty() ? Catalogue::builtinManifest() : d->options.catalogue;
    if (!d->catalogue.load(manifest, error, warnings))
        return false;
    if (d->options.synthetic > 0)
        d->catalogue.makeSynthetic(d->options.synthetic);
    if (!d->options.requestLog.isEmpty()) {
        // It names every caller and operation: for the owner's eyes only.
        const int fd = ::open(QFile::encodeName(d->options.requestLog).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::fchmod(fd, 0600) == 0)
            d->requestLog = fdopen(fd, "a");
        if (!d->requestLog) {
            if (fd >= 0)
                ::close(fd);
            *error = QStringLiteral("cannot write %1").arg(d->options.requestLog);
            return false;
        }
    }

    d->assets.reset(new AssetStore(dataDir + QStringLiteral("/cache"), &d->catalogue, &d->accounts,
                                   d->options.latestVersion));
    d->assets->setPreviewCacheLimit(limits.previewCache);
    d->assets->setUpdateSource(d->options.updateFrom.isEmpty()
                                   ? QCoreApplication::applicationDirPath()
                                   : d->options.updateFrom);
    d->assets->setUpdateUrl(d->options.updateUrl);
    d->service.reset(new FontService(&d->accounts, &d->catalogue, d->assets.get(),
                                     d->options.latestVersion, printLine));
    d->service->setThrottle(d->throttle.get());
    d->resetPages.reset(new ResetPages(&d->accounts, printLine, d->throttle.get()));
    const size_t maxBody = size_t(d->options.maxBody);

    Impl *impl = d.get();
    QObject *owner = this;
    // Runs `work` on the owner's thread and waits for it.
    auto onOwner = [owner](const std::function<HttpReply()> &work) {
        HttpReply reply;
        QMetaObject::invokeMethod(
            owner, [&] { reply = work(); }, Qt::BlockingQueuedConnection);
        return reply;
    };
    auto send = [](httplib::Response &res, const HttpReply &reply) {
        res.status = reply.status;
        res.set_content(toStd(reply.body), reply.contentType.constData());
    };
    // A fault answers instead of the service; false when the request should go on.
    auto applyFault = [](const FaultRule &fault, int tag, httplib::Response &res, HttpReply *out) {
        switch (fault.action) {
        case FaultRule::Action::None:
            return false;
        case FaultRule::Action::Drop:
            FrontServer::dropConnection();
            // Should the socket not be found, the answer still breaks off unfinished.
            res.set_content_provider(1, "text/plain",
                                     [](size_t, size_t, httplib::DataSink &) { return false; });
            out->status = 0;
            return true;
        case FaultRule::Action::Empty:
            out->contentType = "application/json";
            break;
        case FaultRule::Action::NonJson:
            out->contentType = "text/html; charset=utf-8";
            out->body = "<html><body><h1>502 Bad Gateway</h1></body></html>\n";
            break;
        case FaultRule::Action::ErrCode:
            out->contentType = "application/json";
            out->body =
                QJsonDocument(FontService::envelope(tag, fault.errcode,
                                                    QStringLiteral("服务暂时不可用（模拟故障）")))
                    .toJson(QJsonDocument::Compact);
            break;
        }
        res.status = out->status;
        res.set_content(toStd(out->body), out->contentType.constData());
        return true;
    };
    auto unavailable = [](httplib::Response &res) {
        res.status = 503;
        res.set_content("shutting down\n", "text/plain");
    };

    std::string why;
    SSL_CTX *tls =
        FrontServer::serverContext(QFile::encodeName(d->tls.serverCert).toStdString(),
                                   QFile::encodeName(d->tls.serverKey).toStdString(), &why);
    if (!tls) {
        *error = QString::fromStdString(why);
        return false;
    }
    d->https.reset(new FrontServer(d->options.connections, tls));
    d->web.reset(new FrontServer(d->options.connections));
    for (FrontServer *server : {d->https.get(), d->web.get()}) {
        server->set_pre_routing_handler(
            [maxBody](const httplib::Request &req, httplib::Response &res) {
                return refuseDeclaredBody(req, res, maxBody)
                           ? httplib::Server::HandlerResponse::Handled
                           : httplib::Server::HandlerResponse::Unhandled;
            });
    }

    d->https->Post(".*", [=](const httplib::Request &req, httplib::Response &res,
                             const httplib::ContentReader &reader) {
        if (req.path != "/") {
            res.status = 404;
            FrontServer::closeAfterAnswer(res);
            return;
        }
        QByteArray body;
        LargeBodySlot slot;
        const bool tooLarge = !readBody(req, reader, res, maxBody, &slot, &body);
        const int tag = SignedForm::peekTag(body);
        FaultRule fault;
        const bool faulty = impl->faults->take(fromStd(req.path), tag, &fault);
        if (faulty && fault.delayMs > 0)
            impl->waitFor(fault.delayMs);
        if (impl->stopping)
            return unavailable(res);
        HttpReply reply;
        if (faulty && applyFault(fault, tag, res, &reply)) {
            impl->log(req, tag, body, reply.status, reply.body, &fault);
            return;
        }
        if (tooLarge) {
            impl->log(req, tag, body, res.status, QByteArray(), nullptr);
            return;
        }
        const SignedForm form = SignedForm::parse(body);
        const QString base = impl->publicBase(req);
        const QString client = fromStd(req.remote_addr);
        reply = onOwner([&] {
            HttpReply r;
            r.contentType = "application/json; charset=utf-8";
            r.body = QJsonDocument(impl->service->handle(form, base, client))
                         .toJson(QJsonDocument::Compact);
            return r;
        });
        send(res, reply);
        impl->log(req, tag, body, reply.status, reply.body, faulty ? &fault : nullptr);
    });

    d->https->Get(".*", [=](const httplib::Request &req, httplib::Response &res) {
        const QString path = fromStd(req.path);
        FaultRule fault;
        const bool faulty = impl->faults->take(path, 0, &fault);
        if (faulty && fault.delayMs > 0)
            impl->waitFor(fault.delayMs);
        if (impl->stopping)
            return unavailable(res);
        HttpReply reply;
        if (faulty && applyFault(fault, 0, res, &reply)) {
            impl->log(req, 0, QByteArray(), reply.status, QByteArray(), &fault);
            return;
        }
        if (path == QLatin1String("/")) {
            reply.contentType = "text/plain; charset=utf-8";
            reply.body = "quillora-devserver: POST signed requests here\n";
        } else {
            const QString text = fromStd(req.get_param_value("text"));
            const QString base = impl->publicBase(req);
            reply = onOwner([&] { return impl->assets->serve(path, text, base); });
        }
        send(res, reply);
        impl->log(req, 0, QByteArray(), reply.status, QByteArray(), faulty ? &fault : nullptr);
    });

    auto webHandler = [=](const httplib::Request &req, httplib::Response &res,
                          const QByteArray &body) {
        if (impl->stopping)
            return unavailable(res);
        // Form fields of the page, "+" for spaces as browsers send them.
        QMap<QString, QString> form;
        QByteArray formText = body;
        formText.replace('+', ' ');
        for (const auto &kv : QUrlQuery(QString::fromUtf8(formText)).queryItems(QUrl::FullyDecoded))
            form.insert(kv.first, kv.second);
        const QString method = fromStd(req.method);
        const QString path = fromStd(req.path);
        const QString client = fromStd(req.remote_addr);
        const HttpReply reply =
            onOwner([&] { return impl->resetPages->handle(method, path, form, client); });
        send(res, reply);
        impl->log(req, 0, QByteArray(), reply.status, QByteArray(), nullptr);
    };
    d->web->Get(".*", [=](const httplib::Request &req, httplib::Response &res) {
        webHandler(req, res, QByteArray());
    });
    d->web->Post(".*", [=](const httplib::Request &req, httplib::Response &res,
                           const httplib::ContentReader &reader) {
        QByteArray body;
        LargeBodySlot slot;
        if (readBody(req, reader, res, maxBody, &slot, &body))
            webHandler(req, res, body);
    });

    const std::string host = "127.0.0.1";
    d->port = d->https->bindExclusive(host, d->options.port, &why);
    // The reset page sits beside a fixed port, so the demo knows both in advance.
    if (d->port > 0)
        d->webPort =
            d->web->bindExclusive(host, d->options.port == 0 ? 0 : d->options.port + 1, &why);
    if (d->port <= 0 || d->webPort <= 0) {
        *error = QString::fromStdString(why);
        return false;
    }
    d->https->startServing();
    d->web->startServing();
    return true;
}

void DevServer::shutdown()
{
    if (d->stopping.exchange(true))
        return;
    d->stopSignal.notify_all();
    for (FrontServer *server : {d->https.get(), d->web.get()}) {
        if (server)
            server->stopServing();
    }
    // Workers may be waiting for this thread, so it keeps running its event loop
    // while another thread waits for the workers.
    Impl *impl = d.get();
    d->joiner = std::thread([impl, this] {
        for (FrontServer *server : {impl->https.get(), impl->web.get()}) {
            if (server)
                server->waitStopped();
        }
        QMetaObject::invokeMethod(this, &DevServer::stopped, Qt::QueuedConnection);
    });
}
