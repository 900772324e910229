#include "fonts/writingsystems.h"

#include <QTextCodec>

#include <algorithm>

namespace WritingSystems {

namespace {

void addRange(std::vector<uint> &codes, uint first, uint last)
{
    for (uint c = first; c <= last; ++c)
        codes.push_back(c);
}

bool isHanzi(uint c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x2FFFF);
}

bool isHangulSyllable(uint c)
{
    return c >= 0xAC00 && c <= 0xD7A3;
}

// Decodes every two-byte code lead x trail of a double-byte codec and keeps the
// characters `keep` accepts. The codes go through the codec in one call, each followed
// by a line break, so one slow conversion per set is all it costs and a code the codec
// refuses cannot shift the ones after it.
std::vector<uint> decodeDoubleByte(const char *codecName, uint leadFirst, uint leadLast,
                                   const std::vector<uint> &trails, uint lastCode,
                                   bool (*keep)(uint))
{
    std::vector<uint> codes;
    QTextCodec *codec = QTextCodec::codecForName(codecName);
    if (!codec)
        return codes;
    QByteArray bytes;
    bytes.reserve(int((leadLast - leadFirst + 1) * trails.size() * 3));
    for (uint lead = leadFirst; lead <= leadLast; ++lead) {
        for (uint trail : trails) {
            if ((lead << 8 | trail) > lastCode)
                break;
            bytes.append(char(lead));
            bytes.append(char(trail));
            bytes.append('\n');
        }
    }
    const QString text = codec->toUnicode(bytes);
    const QVector<uint> decoded = text.toUcs4();
    uint current = 0;
    int inLine = 0;
    for (uint c : decoded) {
        if (c == '\n') {
            if (inLine == 1 && keep(current))
                codes.push_back(current);
            inLine = 0;
            continue;
        }
        current = c;
        ++inLine;
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

std::vector<uint> trailRange(uint first, uint last, std::vector<uint> trails = {})
{
    for (uint t = first; t <= last; ++t)
        trails.push_back(t);
    return trails;
}

QVector<Set> buildSets()
{
    QVector<Set> all;
    Set latin{Latin, QStringLiteral("拉丁文"), {}};
    addRange(latin.codes, 0x20, 0x7E);
    addRange(latin.codes, 0xA0, 0xFF);
    all.append(latin);

    Set greek{Greek, QStringLiteral("希腊文"), {}};
    addRange(greek.codes, 0x391, 0x3A1);
    addRange(greek.codes, 0x3A3, 0x3A9);
    addRange(greek.codes, 0x3B1, 0x3C9);
    all.append(greek);

    Set cyrillic{Cyrillic, QStringLiteral("西里尔文"), {0x401}};
    addRange(cyrillic.codes, 0x410, 0x44F);
    cyrillic.codes.push_back(0x451);
    all.append(cyrillic);

    Set kana{Kana, QStringLiteral("日文假名"), {}};
    addRange(kana.codes, 0x3041, 0x3096);
    addRange(kana.codes, 0x30A1, 0x30FA);
    all.append(kana);

    // EUC forms: both bytes 0xA1 to 0xFE; hangul on rows 16 to 40, hanzi on 16 to 87.
    const std::vector<uint> eucTrails = trailRange(0xA1, 0xFE);
    all.append(Set{Hangul, QStringLiteral("韩文"),
                   decodeDoubleByte("EUC-KR", 0xB0, 0xC8, eucTrails, 0xC8FE, isHangulSyllable)});
    all.append(Set{SimplifiedChinese, QStringLiteral("简体中文"),
                   decodeDoubleByte("GB2312", 0xB0, 0xF7, eucTrails, 0xF7FE, isHanzi)});
    // Big5's common hanzi run from A440 to C67E; trail bytes 40-7E and A1-FE.
    all.append(Set{TraditionalChinese, QStringLiteral("繁体中文"),
                   decodeDoubleByte("Big5", 0xA4, 0xC6, trailRange(0xA1, 0xFE, trailRange(0x40, 0x7E)),
                                    0xC67E, isHanzi)});
    return all;
}

} // namespace

const QVector<Set> &sets()
{
    static const QVector<Set> all = buildSets();
    return all;
}

} // namespace WritingSystems
