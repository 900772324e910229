#include "tools/commands.h"

#include "fonts/localfontscan.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// The installed-font scan run to completion on its own thread, exactly as the
// main window runs it; one JSON line per listed font, in list order.
int runScanCommand(const QStringList &args)
{
    ThreadForLocalFonts scan;
    scan.setFolders(args);
    scan.start();
    scan.wait();
    for (const ScannedFont &s : scan.scannedFonts()) {
        QJsonObject o;
        o.insert(QStringLiteral("showName"), s.font.showName);
        o.insert(QStringLiteral("familyName"), s.font.familyName);
        o.insert(QStringLiteral("enFamilyName"), s.font.enFamilyName);
        o.insert(QStringLiteral("styleName"), s.font.styleName);
        o.insert(QStringLiteral("psName"), s.font.psName);
        o.insert(QStringLiteral("path"), s.path);
        const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
