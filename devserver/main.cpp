#include "devserver/devserver.h"
#include "devserver/options.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the pipe.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char **argv)
{
    // Preview pictures are drawn without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A client that goes away mid-answer must not end the service.
    std::signal(SIGPIPE, SIG_IGN);
    // Request bodies of megabytes come and go; a fixed threshold gives them back to the
    // system at once instead of keeping them in the heap.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Every client may hold a connection; use all the descriptors we are allowed.
    rlimit files = {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillora-devserver"));

    DevServerOptions options;
    QString error;
    bool help = false;
    if (!parseArguments(app.arguments().mid(1), &options, &error, &help)) {
        if (help) {
            fputs(qPrintable(usageText()), stdout);
            return 0;
        }
        fprintf(stderr, "quillora-devserver: %s\n\n%s", qPrintable(error), qPrintable(usageText()));
        return 2;
    }

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        perror("quillora-devserver: pipe");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    DevServer server(options);
    QStringList warnings;
    if (!server.start(&error, &warnings)) {
        fprintf(stderr, "quillora-devserver: %s\n", qPrintable(error));
        return 1;
    }
    for (const QString &w : qAsConst(warnings))
        fprintf(stderr, "quillora-devserver: %s\n", qPrintable(w));

    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &server, [&] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        server.shutdown();
    });
    QObject::connect(&server, &DevServer::stopped, &app, &QCoreApplication::quit);

    printLine(server.readyLine());
    return app.exec();
}
