// Writes the seed corpus for fuzz_fontdetails: small TrueType files FreeType opens, with
// character maps of a few shapes and Chinese and English names.
//
//   make_fontdetails_seeds DIR
#include "sfntbuilder.h"

#include <QDir>
#include <QString>

#include <cstdio>

namespace {

constexpr int kGlyphs = 8;

// The tables FreeType needs to open a TrueType face with kGlyphs empty glyphs.
SfntBuilder minimalFont()
{
    QByteArray head(54, '\0');
    SfntBuilder::putU32(head, 0, 0x00010000);
    SfntBuilder::putU32(head, 12, 0x5F0F3CF5);
    SfntBuilder::putU16(head, 18, 1000);
    QByteArray hhea(36, '\0');
    SfntBuilder::putU32(hhea, 0, 0x00010000);
    SfntBuilder::putU16(hhea, 34, 1);
    QByteArray maxp(6, '\0');
    SfntBuilder::putU32(maxp, 0, 0x00005000);
    SfntBuilder::putU16(maxp, 4, kGlyphs);
    SfntBuilder font;
    font.addTable("head", head)
        .addTable("hhea", hhea)
        .addTable("maxp", maxp)
        .addTable("hmtx", QByteArray(4, '\0'))
        .addTable("loca", QByteArray(2 * (kGlyphs + 1), '\0'))
        .addTable("glyf", QByteArray(4, '\0'));
    return font;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: make_fontdetails_seeds DIR\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    using B = SfntBuilder;
    using Ranges = QList<QPair<quint32, quint32>>;
    const QList<QPair<const char *, Ranges>> maps = {
        {"latin", {{0x20, 0x7E}}},
        {"hanzi", {{0x4E00, 0x4E05}, {0x570B, 0x570B}}},
        {"astral", {{0x1F600, 0x1F602}, {0x20000, 0x20001}}},
        {"disordered", {{0x4E00, 0x4E10}, {0x41, 0x5A}}},
    };
    int written = 0;
    for (const auto &map : maps) {
        const QByteArray font = minimalFont()
                                    .addTable("cmap", B::cmapTable(map.second, kGlyphs))
                                    .addWindows(B::ChinesePRC, 1, QString::fromUtf8("测试"))
                                    .addEnglishBasics("Seed", "Regular", "Seed-Regular")
                                    .addWindows(B::English, 13, "licence text")
                                    .build();
        written += B::writeFile(dir + "/" + map.first + ".ttf", font);
    }
    std::printf("%d seeds in %s\n", written, qPrintable(dir));
    return written == maps.size() ? 0 : 1;
}
