#include "devserver.h"

#include "accountstore.h"
#include "assets.h"
#include "catalogue.h"
#include "certificates.h"
#include "fontservice.h"
#include "formbody.h"
#include "resetpage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMetaObject>
#include <QRegularExpression>

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

constexpr size_t kMaxBody = 16 * 1024 * 1024;
constexpr int kLoggedBodyBytes = 64 * 1024;
constexpr int kWorkerThreads = 24;

std::mutex g_outputMutex;

std::string toStd(const QByteArray &bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QString fromStd(const std::string &s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

// Finds the accepted socket of this request by its two ends and shuts it down, so
// the client sees the connection go away without any answer.
bool shutDownConnection(const httplib::Request &req)
{
    DIR *fds = opendir("/proc/self/fd");
    if (!fds)
        return false;
    bool done = false;
    while (dirent *entry = readdir(fds)) {
        const int fd = atoi(entry->d_name);
        if (fd <= 2)
            continue;
        sockaddr_storage peer = {}, local = {};
        socklen_t peerLen = sizeof peer, localLen = sizeof local;
        if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLen) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLen) != 0)
            continue;
        if (peer.ss_family != AF_INET || local.ss_family != AF_INET)
            continue;
        const auto *p = reinterpret_cast<const sockaddr_in *>(&peer);
        const auto *l = reinterpret_cast<const sockaddr_in *>(&local);
        char address[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &p->sin_addr, address, sizeof address);
        if (ntohs(p->sin_port) == req.remote_port && ntohs(l->sin_port) == req.local_port &&
            req.remote_addr == address) {
            done = ::shutdown(fd, SHUT_RDWR) == 0;
            break;
        }
    }
    closedir(fds);
    return done;
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
    Catalogue catalogue;
    std::unique_ptr<AssetStore> assets;
    std::unique_ptr<FontService> service;
    std::unique_ptr<ResetPages> resetPages;
    std::unique_ptr<FaultInjector> faults;
    std::unique_ptr<httplib::SSLServer> https;
    std::unique_ptr<httplib::Server> web;
    std::thread httpsThread;
    std::thread webThread;
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
    if (req.method == "POST") {
        line.insert(QStringLiteral("body"), QString::fromUtf8(body.left(kLoggedBodyBytes)));
        if (body.size() > kLoggedBodyBytes)
            line.insert(QStringLiteral("body_truncated"), true);
    }
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
    for (std::thread *t : {&d->httpsThread, &d->webThread}) {
        if (t->joinable())
            t->join();
    }
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
    if (!QDir().mkpath(dataDir)) {
        *error = QStringLiteral("cannot create %1").arg(dataDir);
        return false;
    }
    if (!ensureTlsFiles(dataDir, &d->tls, error))
        return false;
    if (!d->accounts.open(dataDir + QStringLiteral("/devserver.sqlite"), error))
        return false;
    const QString manifest =
        d->options.catalogue.isEmpty() ? Catalogue::builtinManifest() : d->options.catalogue;
    if (!d->catalogue.load(manifest, error, warnings))
        return false;
    if (d->options.synthetic > 0)
        d->catalogue.makeSynthetic(d->options.synthetic);
    if (!d->options.requestLog.isEmpty()) {
        d->requestLog = fopen(QFile::encodeName(d->options.requestLog).constData(), "ae");
        if (!d->requestLog) {
            *error = QStringLiteral("cannot write %1").arg(d->options.requestLog);
            return false;
        }
    }

    d->assets.reset(new AssetStore(dataDir + QStringLiteral("/cache"), &d->catalogue, &d->accounts,
                                   d->options.latestVersion));
    d->assets->setUpdateSource(d->options.updateFrom.isEmpty()
                                   ? QCoreApplication::applicationDirPath()
                                   : d->options.updateFrom);
    d->assets->setUpdateUrl(d->options.updateUrl);
    d->service.reset(new FontService(&d->accounts, &d->catalogue, d->assets.get(),
                                     d->options.latestVersion, printLine));
    d->resetPages.reset(new ResetPages(&d->accounts, printLine));

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
    auto applyFault = [](const FaultRule &fault, int tag, const httplib::Request &req,
                         httplib::Response &res, HttpReply *out) {
        switch (fault.action) {
        case FaultRule::Action::None:
            return false;
        case FaultRule::Action::Drop:
            shutDownConnection(req);
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

    d->https.reset(new httplib::SSLServer(QFile::encodeName(d->tls.serverCert).constData(),
                                          QFile::encodeName(d->tls.serverKey).constData()));
    if (!d->https->is_valid()) {
        *error = QStringLiteral("cannot set up TLS with %1").arg(d->tls.serverCert);
        return false;
    }
    d->https->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    d->https->set_payload_max_length(kMaxBody);

    d->https->Post("/", [=](const httplib::Request &req, httplib::Response &res,
                            const httplib::ContentReader &reader) {
        QByteArray body;
        bool tooLarge = false;
        reader([&](const char *data, size_t length) {
            if (size_t(body.size()) + length > kMaxBody) {
                tooLarge = true;
                return false;
            }
            body.append(data, int(length));
            return true;
        });
        const int tag = SignedForm::peekTag(body);
        FaultRule fault;
        const bool faulty = impl->faults->take(fromStd(req.path), tag, &fault);
        if (faulty && fault.delayMs > 0)
            impl->waitFor(fault.delayMs);
        if (impl->stopping)
            return unavailable(res);
        HttpReply reply;
        if (faulty && applyFault(fault, tag, req, res, &reply)) {
            impl->log(req, tag, body, reply.status, reply.body, &fault);
            return;
        }
        if (tooLarge) {
            reply.status = 413;
            reply.contentType = "text/plain";
            reply.body = "request too large\n";
        } else {
            const SignedForm form = SignedForm::parse(body);
            const QString base = impl->publicBase(req);
            reply = onOwner([&] {
                HttpReply r;
                r.contentType = "application/json; charset=utf-8";
                r.body =
                    QJsonDocument(impl->service->handle(form, base)).toJson(QJsonDocument::Compact);
                return r;
            });
        }
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
        if (faulty && applyFault(fault, 0, req, res, &reply)) {
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

    d->web.reset(new httplib::Server);
    auto webHandler = [=](const httplib::Request &req, httplib::Response &res) {
        if (impl->stopping)
            return unavailable(res);
        QMap<QString, QString> form;
        for (const auto &kv : req.params)
            form.insert(fromStd(kv.first), fromStd(kv.second));
        const QString method = fromStd(req.method);
        const QString path = fromStd(req.path);
        const HttpReply reply =
            onOwner([&] { return impl->resetPages->handle(method, path, form); });
        send(res, reply);
        impl->log(req, 0, QByteArray(), reply.status, QByteArray(), nullptr);
    };
    d->web->Get(".*", webHandler);
    d->web->Post(".*", webHandler);

    const QByteArray host = "127.0.0.1";
    if (d->options.port == 0) {
        d->port = d->https->bind_to_any_port(host.constData());
    } else {
        d->port = d->https->bind_to_port(host.constData(), d->options.port) ? d->options.port : -1;
    }
    if (d->port <= 0) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(d->options.port);
        return false;
    }
    // The reset page sits beside a fixed port, so the demo knows both in advance.
    if (d->options.port == 0) {
        d->webPort = d->web->bind_to_any_port(host.constData());
    } else {
        d->webPort =
            d->web->bind_to_port(host.constData(), d->options.port + 1) ? d->options.port + 1 : -1;
    }
    if (d->webPort <= 0) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(d->options.port + 1);
        return false;
    }

    d->httpsThread = std::thread([impl] { impl->https->listen_after_bind(); });
    d->webThread = std::thread([impl] { impl->web->listen_after_bind(); });
    // Sockets already listen; waiting for the loops also keeps shutdown() from
    // racing a loop that has not begun.
    for (int i = 0; i < 5000 && !(d->https->is_running() && d->web->is_running()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!d->https->is_running() || !d->web->is_running()) {
        *error = QStringLiteral("the HTTP servers did not start");
        shutdown();
        return false;
    }
    return true;
}

void DevServer::shutdown()
{
    if (d->stopping.exchange(true))
        return;
    d->stopSignal.notify_all();
    if (d->https)
        d->https->stop();
    if (d->web)
        d->web->stop();
    // Workers may be waiting for this thread, so it keeps running its event loop
    // while another thread waits for the workers.
    Impl *impl = d.get();
    d->joiner = std::thread([impl, this] {
        for (std::thread *t : {&impl->httpsThread, &impl->webThread}) {
            if (t->joinable())
                t->join();
        }
        QMetaObject::invokeMethod(this, &DevServer::stopped, Qt::QueuedConnection);
    });
}
