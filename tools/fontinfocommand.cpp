#include "tools/commands.h"

#include "fonts/fontnamereader.h"
#include "fonts/localfontscan.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// One JSON line per file. A file that cannot be read or is not a font is a normal
// result with its negative codes.
int runFontInfoCommand(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fputs("usage: quillora-cli fontinfo FILE...\n", stderr);
        return 2;
    }
    for (const QString &path : args) {
        const FontNameReader::NameTable table = FontNameReader::loadNameTable(path);
        const FontNameReader::FileNames names = FontNameReader::readFileNames(table);
        LocalFont record;
        const bool local = fillLocalFont(names, record) == 1;

        QJsonObject o;
        o.insert(QStringLiteral("path"), path);
        o.insert(QStringLiteral("tableLength"), table.code);
        o.insert(QStringLiteral("cn"), names.cnResult);
        o.insert(QStringLiteral("en"), names.enResult);
        o.insert(QStringLiteral("ps"), names.psResult);
        o.insert(QStringLiteral("familyName"), names.familyName);
        o.insert(QStringLiteral("styleName"), names.styleName);
        o.insert(QStringLiteral("enFamilyName"), names.enFamilyName);
        o.insert(QStringLiteral("psName"), names.psName);
        o.insert(QStringLiteral("local"), local);
        if (local)
            o.insert(QStringLiteral("showName"), displayName(record.familyName, record.styleName));
        const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
