// Writes the seed corpus for fuzz_fontnames: small generated fonts that reach
// each selection rule, the Macintosh early stop, long and multi-byte names.
//
//   make_fontnames_seeds DIR
#include "sfntbuilder.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: make_fontnames_seeds DIR\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    using B = SfntBuilder;
    const QString song = QString::fromUtf8("宋体");
    const QString kai = QString::fromUtf8("標楷體");
    const QList<QPair<const char *, QByteArray>> seeds = {
        {"english", B().addEnglishBasics("Alpha", "Bold", "Alpha-Bold").build()},
        {"otto-typographic", B().setVersion("OTTO")
                                 .addEnglishBasics("Alpha Light", "Regular", "A")
                                 .addWindows(B::English, 16, "Alpha")
                                 .addWindows(B::English, 17, "Light")
                                 .build()},
        {"prc", B().addWindows(B::ChinesePRC, 1, song)
                    .addWindows(B::ChinesePRC, 2, "Regular")
                    .addEnglishBasics("Song", "Regular", "Song")
                    .build()},
        {"prc-typo", B().addWindows(B::ChinesePRC, 16, song)
                         .addWindows(B::ChinesePRC, 17, "Bold")
                         .addWindows(B::English, 6, "Song-Bold")
                         .build()},
        {"taiwan", B().addWindows(B::ChineseTaiwan, 1, kai)
                       .addWindows(B::ChineseTaiwan, 2, "Regular")
                       .addWindows(B::ChineseTaiwan, 6, "Kai")
                       .build()},
        {"taiwan-typo", B().addWindows(B::ChineseTaiwan, 16, kai)
                            .addWindows(B::ChineseTaiwan, 17, "Medium")
                            .addWindows(B::ChinesePRC, 6, "Kai-PRC")
                            .build()},
        {"mac-early-stop", B().addMac(1, "MacFam")
                               .addMac(2, "MacSub")
                               .addMac(16, "MacTypo")
                               .addMac(6, "Mac-PS")
                               .addEnglishBasics("Win", "Bold", "W")
                               .build()},
        {"mac-only",
         B().addMac(1, "MacFam").addMac(16, "Typo").addMac(17, "Sub").addMac(6, "PS", 3).build()},
        {"long-names",
         B().addWindows(B::English, 1, QString(70, QChar(0x5B57)))
             .addWindows(B::English, 2, QString::fromUtf8("\xF0\xA0\x80\x8B").repeated(40))
             .addMac(6, QByteArray(150, 'p'))
             .build()},
        {"odd-utf16",
         B().addRecord(3, 1, B::English, 1, QByteArray("\xD8\x00\x00\x00\xDC\x00\x00", 7))
             .addRecord(3, 1, B::English, 2, QByteArray("\x00R", 2))
             .addRecord(3, 1, B::English, 6, QByteArray("\x00P", 2))
             .build()},
        {"no-records", B().build()},
        {"no-name-table",
         B().setNameTableIncluded(false).addTable("head", QByteArray(54, '\0')).build()},
        {"many-tables", B().addTable("cmap", "c")
                            .addTable("glyf", "g")
                            .addTable("head", "h")
                            .addTable("hhea", "h")
                            .addTable("loca", "l")
                            .addEnglishBasics("M", "N", "O")
                            .build()},
        {"collection", QByteArray("ttcf\x00\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x0c", 16)},
    };
    for (const auto &s : seeds) {
        if (!B::writeFile(dir + "/" + s.first, s.second)) {
            std::fprintf(stderr, "cannot write %s\n", s.first);
            return 1;
        }
    }
    return 0;
}
