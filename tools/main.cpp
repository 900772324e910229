#include "commands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("extract"))
        return runExtractCommand(args);
    std::fprintf(stderr, "usage: quillora-cli COMMAND [ARGS...]\ncommands: extract\n");
    return 2;
}
