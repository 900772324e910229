// Writes a seed corpus for fuzz_extract into the folder given as argument.
#include "zipextract/zipwriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_extract_seeds DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "glyph " + QByteArray::number(i * 7919 % 1000) + ' ';

    bool ok = true;
    int n = 0;
    for (const QString &password : {QString(), QStringLiteral("pw")}) {
        for (const ZipWriter::Method method :
             {ZipWriter::Method::Deflate, ZipWriter::Method::Store}) {
            ZipWriter zip(dir + QStringLiteral("/seed%1.zip").arg(n++), password);
            ok &= zip.addDirectory("fonts/");
            ok &= zip.addFile("fonts/a.ttf", text, method);
            ok &= zip.addFile("b/c/d.otf", text.left(300), method);
            ok &= zip.addFile("empty.ttf", QByteArray(), method);
            ok &= zip.close();
        }
    }
    ZipWriter hostile(dir + QStringLiteral("/seed%1.zip").arg(n++), QStringLiteral("pw"));
    ok &= hostile.addFile("../up.ttf", "x");
    ok &= hostile.addFile("/abs.ttf", "x");
    ok &= hostile.addFile("ok.ttf", text.left(50));
    ok &= hostile.close();

    // An entry whose data does not match its CRC, beside a good one.
    const QString damaged = dir + QStringLiteral("/seed%1.zip").arg(n++);
    ZipWriter crc(damaged);
    ok &= crc.addFile("good.ttf", text.left(40), ZipWriter::Method::Store);
    ok &= crc.addFile("bad.ttf", text.left(400), ZipWriter::Method::Store);
    ok &= crc.close();
    QFile file(damaged);
    ok &= file.open(QIODevice::ReadWrite);
    QByteArray bytes = file.readAll();
    const int at = bytes.indexOf(text.left(400)) + 200;
    bytes[at] = char(bytes[at] ^ 0x20);
    ok &= file.seek(0) && file.write(bytes) == bytes.size();
    return ok ? 0 : 1;
}
