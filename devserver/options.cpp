#include "options.h"

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
        "                       errcode=N or times=N (only the first N matching requests)\n");
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
        if (!withValue.contains(arg)) {
            *error = QStringLiteral("unknown argument: %1").arg(arg);
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(arg);
            return false;
        }
        const QString value = args.at(++i);
        if (arg == QLatin1String("--data")) {
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
