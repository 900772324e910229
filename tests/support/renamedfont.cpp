#include "renamedfont.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>

namespace {

const QString kSourceFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

QByteArray utf16be(const QString &s)
{
    QByteArray out;
    for (QChar c : s)
        out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    return out;
}

} // namespace

bool haveRealFont()
{
    return QFile::exists(kSourceFont);
}

bool writeRenamedFont(const QString &path, const QString &family)
{
    const QString from = "DejaVu Sans";
    QFile in(kSourceFont);
    if (family.size() != from.size() || !in.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = in.readAll();
    data.replace(from.toLatin1(), family.toLatin1());
    data.replace(utf16be(from), utf16be(family));
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

QString fcMatch(const QString &family)
{
    QProcess fc;
    fc.start("fc-match", {"-f", "%{family}|%{file}", family});
    fc.waitForFinished(60000);
    return QString::fromUtf8(fc.readAllStandardOutput());
}
