#include "tools/commands.h"

#include "activation/activationengine.h"
#include "fonts/fontnamereader.h"
#include "fonts/ftmanager.h"

#include <QFileInfo>

#include <cstdio>

// Registers one font file for the login session the way the program does: the
// naming-table check, registration, then the change announcement. The events go
// to the program's own event log.
int runActivateCommand(const QStringList &args)
{
    QStringList positional;
    QString name;
    bool usageError = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--name") && i + 1 < args.size())
            name = args.at(++i);
        else if (arg.startsWith(QLatin1String("--name=")))
            name = arg.mid(int(sizeof("--name=")) - 1);
        else if (arg.startsWith(QLatin1String("--")))
            usageError = true;
        else
            positional.append(arg);
    }
    if (usageError || positional.size() != 1) {
        std::fputs("usage: quillora-cli activate FILE [--name NAME]\n", stderr);
        return 2;
    }

    const QString path = QFileInfo(positional.first()).absoluteFilePath();
    if (name.isEmpty()) {
        // Without a name the font is known by its family, as the local page lists it.
        const auto record = readLocalFont(path);
        name = record ? record->familyName : QFileInfo(path).completeBaseName();
    }
    FtManager ftManager;
    ActivationEngine engine(ftManager);
    const int r = engine.activateFont(path, name, true);
    std::printf("%d\n", r);
    return r > 0 ? 0 : 1;
}
