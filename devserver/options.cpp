#include "devserver/options.h"

#include <algorithm>

namespace {

bool readInt(const QString &text, int min, int max, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max)
        return false;
    *out = value;
    return true;
}

struct NumberOption
{
    const char *flag;
    int *target;
    int min;
    int max;
    int scale; // seconds on the command line, milliseconds inside
};

QList<NumberOption> numberOptions(DevServerOptions *o)
{
    ConnectionLimits &c = o->connections;
    AbuseLimits &a = o->limits;
    const int day = 24 * 3600;
    return {
        {"--max-body", &o->maxBody, 1024, 1 << 30, 1},
        {"--workers", &c.workers, 1, 256, 1},
        {"--header-timeout", &c.headerTimeoutMs, 1, 3600, 1000},
        {"--body-timeout", &c.bodyTimeoutMs, 1, 3600, 1000},
        {"--answer-timeout", &c.answerTimeoutMs, 1, 3600, 1000},
        {"--io-timeout", &c.ioTimeoutMs, 1, 3600, 1000},
        {"--attempt-limit", &a.attemptLimit, 1, 1000, 1},
        {"--lock-time", &a.lockSeconds, 1, 30 * day, 1},
        {"--code-interval", &a.codeIntervalSeconds, 0, day, 1},
        {"--codes-per-address", &a.codesPerAddress, 1, 100000, 1},
        {"--token-lifetime", &a.tokenLifetimeSeconds, 1, 3650 * day, 1},
        {"--tokens-per-user", &a.tokensPerUser, 1, 10000, 1},
        {"--reports-per-minute", &a.reportsPerMinute, 1, 1000000, 1},
        {"--max-reports", &a.maxReports, 1, 100000000, 1},
        {"--preview-cache", &a.previewCache, 1, 10000000, 1},
    };
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: quillora-devserver --data DIR [--port N] [--catalogue MANIFEST | --synthetic N]\n"
        "                          [--latest-version V] [--update-from DIR] [--update-url URL]\n"
        "                          [--log-requests FILE] [--fault RULE]...\n"
        "\n"
        "  --data DIR           state, certificates and caches (created when missing)\n"
        "  --port N             HTTPS port, 0 picks a free one (default 8443); the\n"
        "                       password-reset page listens on N+1, or on a free port with 0\n"
        "  --catalogue MANIFEST font manifest (JSON); default: the built-in one\n"
        "  --synthetic N        serve N fonts made from the manifest's files\n"
        "  --latest-version V   version offered by the version check (default 0.9.5)\n"
        "  --update-from DIR    program files of the update package (default: this\n"
        "                       program's folder)\n"
        "  --update-url URL     package address the version check hands out instead\n"
        "                       (any text, even empty)\n"
        "  --log-requests FILE  append one JSON line per request\n"
        "  --fault RULE         TARGET:ACTION[,ACTION...], repeatable; TARGET is tag=N or\n"
        "                       path=PREFIX; ACTION is delay=MS, drop, empty, nonjson,\n"
        "                       errcode=N or times=N (only the first N matching requests)\n"
        "\n"
        "Limits (defaults in brackets; times in seconds):\n"
        "  --max-body BYTES         larger request bodies get 413 unread [4194304]\n"
        "  --workers N              threads for requests whose headers arrived [24]\n"
        "  --header-timeout S       to send complete headers, also between requests [10]\n"
        "  --body-timeout S         to send one request body [10]\n"
        "  --answer-timeout S       to take one answer [60]\n"
        "  --io-timeout S           for any single read or write [5]\n"
        "  --attempt-limit N        wrong codes or passwords before a lock [5]\n"
        "  --lock-time S            lock, and the window failures are counted in [900]\n"
        "  --code-interval S        between two codes for one number [60]\n"
        "  --codes-per-address N    codes per client address and window [20]\n"
        "  --token-lifetime S       of a login [2592000]\n"
        "  --tokens-per-user N      logins kept per user, the oldest dropped [10]\n"
        "  --reports-per-minute N   reports per client address [60]\n"
        "  --max-reports N          reports kept, the oldest dropped [10000]\n"
        "  --preview-cache N        preview pictures kept on disk [2000]\n");
}

bool parseArguments(const QStringList &args, DevServerOptions *options, QString *error, bool *help)
{
    DevServerOptions result;
    bool catalogueGiven = false;
    bool syntheticGiven = false;
    if (help)
        *help = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            if (help)
                *help = true;
            return false;
        }
        static const QStringList withValue = {"--data",      "--port",           "--catalogue",
                                              "--synthetic", "--latest-version", "--log-requests",
                                              "--fault", "--update-from", "--update-url"};
        const QList<NumberOption> numbers = numberOptions(&result);
        const auto number =
            std::find_if(numbers.begin(), numbers.end(),
                         [&](const NumberOption &o) { return arg == QLatin1String(o.flag); });
        if (!withValue.contains(arg) && number == numbers.end()) {
            *error = QStringLiteral("unknown argument: %1").arg(arg);
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(arg);
            return false;
        }
        const QString value = args.at(++i);
        if (number != numbers.end()) {
            if (!readInt(value, number->min, number->max, number->target)) {
                *error = QStringLiteral("%1 wants a number from %2 to %3: %4")
                             .arg(arg)
                             .arg(number->min)
                             .arg(number->max)
                             .arg(value);
                return false;
            }
            *number->target *= number->scale;
        } else if (arg == QLatin1String("--data")) {
            result.dataDir = value;
        } else if (arg == QLatin1String("--port")) {
            // The reset page takes the next port, so a fixed port must leave room for it.
            if (!readInt(value, 0, 65534, &result.port)) {
                *error = QStringLiteral("--port wants a number from 0 to 65534: %1").arg(value);
                return false;
            }
        } else if (arg == QLatin1String("--catalogue")) {
            result.catalogue = value;
            catalogueGiven = true;
        } else if (arg == QLatin1String("--synthetic")) {
            if (!readInt(value, 1, 100000, &result.synthetic)) {
                *error =
                    QStringLiteral("--synthetic wants a number from 1 to 100000: %1").arg(value);
                return false;
            }
            syntheticGiven = true;
        } else if (arg == QLatin1String("--latest-version")) {
            result.latestVersion = value;
        } else if (arg == QLatin1String("--update-from")) {
            result.updateFrom = value;
        } else if (arg == QLatin1String("--update-url")) {
            result.updateUrl = value;
        } else if (arg == QLatin1String("--log-requests")) {
            result.requestLog = value;
        } else if (arg == QLatin1String("--fault")) {
            FaultRule rule;
            QString why;
            if (!parseFaultRule(value, &rule, &why)) {
                *error = QStringLiteral("--fault %1: %2").arg(value, why);
                return false;
            }
            result.faults.append(rule);
        }
    }
    if (result.dataDir.isEmpty()) {
        *error = QStringLiteral("--data DIR is required");
        return false;
    }
    if (catalogueGiven && syntheticGiven) {
        *error = QStringLiteral("--catalogue and --synthetic exclude each other");
        return false;
    }
    if (result.latestVersion.isEmpty()) {
        *error = QStringLiteral("--latest-version must not be empty");
        return false;
    }
    *options = result;
    return true;
}
