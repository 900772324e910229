#include "tools/commands.h"

#include "zipextract/extractarchive.h"

#include <cstdio>

int runExtractCommand(const QStringList &args)
{
    QStringList positional;
    QString password;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--password") && i + 1 < args.size()) {
            password = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--password="))) {
            password = arg.mid(int(sizeof("--password=")) - 1);
        } else if (arg.startsWith(QLatin1String("--")) && arg != QLatin1String("--")) {
            positional.clear();
            break;
        } else {
            positional.append(arg);
        }
    }
    if (positional.size() != 2) {
        std::fprintf(stderr, "usage: quillora-cli extract ARCHIVE DIR [--password TEXT]\n");
        return 2;
    }
    const bool ok = extractArchive(positional.at(0), positional.at(1), password);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
