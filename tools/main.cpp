#include "tools/commands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {
const char kUsage[] = "usage: quillora-cli fontinfo FILE...\n"
                      "       quillora-cli scan [DIR...]\n"
                      "       quillora-cli extract ARCHIVE DIR [--password TEXT]\n"
                      "       quillora-cli activate FILE [--name NAME]\n"
                      "       quillora-cli details FILE...\n";
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("fontinfo"))
        return runFontInfoCommand(args);
    if (command == QLatin1String("scan"))
        return runScanCommand(args);
    if (command == QLatin1String("extract"))
        return runExtractCommand(args);
    if (command == QLatin1String("activate"))
        return runActivateCommand(args);
    if (command == QLatin1String("details"))
        return runDetailsCommand(args);
    std::fprintf(stderr, "quillora-cli: unknown command '%s'\n%s", qPrintable(command), kUsage);
    return 2;
}
