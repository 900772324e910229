#pragma once

#include <QString>
#include <QVector>

#include <vector>

// The character sets a font's coverage is measured against. The Chinese, Korean sets
// come from the national standards' code spaces, decoded through the toolkit's codecs
// the first time they are asked for: Simplified Chinese is every hanzi of GB 2312
// (levels 1 and 2), Traditional Chinese the common hanzi of Big5 (its first level),
// Korean the hangul syllables of KS X 1001.
namespace WritingSystems {

enum Id : int {
    Latin,
    Greek,
    Cyrillic,
    Kana,
    Hangul,
    SimplifiedChinese,
    TraditionalChinese,
    Count
};

struct Set
{
    Id id;
    QString label;           // as the interface names it
    std::vector<uint> codes; // ascending, no duplicates
};

// Every set, in Id order. Built once, thread-safe; a set whose codec is missing on this
// system is empty.
const QVector<Set> &sets();

} // namespace WritingSystems
