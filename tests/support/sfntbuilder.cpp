#include "sfntbuilder.h"

#include <QFile>
#include <QPair>

namespace {
void appendU16(QByteArray &out, quint16 v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

void appendU32(QByteArray &out, quint32 v)
{
    appendU16(out, quint16(v >> 16));
    appendU16(out, quint16(v & 0xFFFF));
}

quint16 readU16(const QByteArray &data, int offset)
{
    return quint16((uchar(data.at(offset)) << 8) | uchar(data.at(offset + 1)));
}
} // namespace

SfntBuilder &SfntBuilder::setVersion(const QByteArray &fourBytes)
{
    m_version = fourBytes.left(4);
    return *this;
}

SfntBuilder &SfntBuilder::addRecord(quint16 platform, quint16 encoding, quint16 language,
                                    quint16 nameId, const QByteArray &bytes)
{
    m_records.append({platform, encoding, language, nameId, bytes});
    return *this;
}

SfntBuilder &SfntBuilder::addWindows(quint16 language, quint16 nameId, const QString &text)
{
    return addRecord(Windows, 1, language, nameId, utf16be(text));
}

SfntBuilder &SfntBuilder::addMac(quint16 nameId, const QByteArray &bytes, quint16 language)
{
    return addRecord(Mac, 0, language, nameId, bytes);
}

SfntBuilder &SfntBuilder::addEnglishBasics(const QString &family, const QString &style,
                                           const QString &ps)
{
    addWindows(English, 1, family);
    addWindows(English, 2, style);
    return addWindows(English, 6, ps);
}

SfntBuilder &SfntBuilder::addTable(const QByteArray &tag, const QByteArray &data)
{
    m_tables.append({tag.left(4), data});
    return *this;
}

SfntBuilder &SfntBuilder::setNameTableIncluded(bool included)
{
    m_nameIncluded = included;
    return *this;
}

QByteArray SfntBuilder::utf16be(const QString &text)
{
    QByteArray out;
    for (const QChar c : text)
        appendU16(out, c.unicode());
    return out;
}

QByteArray SfntBuilder::nameTable() const
{
    // Strings in record order, no sharing: each record owns its bytes.
    QByteArray header;
    QByteArray strings;
    appendU16(header, 0);
    appendU16(header, quint16(m_records.size()));
    appendU16(header, quint16(6 + 12 * m_records.size()));
    for (const Record &r : m_records) {
        appendU16(header, r.platform);
        appendU16(header, r.encoding);
        appendU16(header, r.language);
        appendU16(header, r.nameId);
        appendU16(header, quint16(r.bytes.size()));
        appendU16(header, quint16(strings.size()));
        strings.append(r.bytes);
    }
    return header + strings;
}

QByteArray SfntBuilder::build() const
{
    QList<QPair<QByteArray, QByteArray>> tables = m_tables;
    if (m_nameIncluded)
        tables.append({QByteArray("name"), nameTable()});

    QByteArray out = m_version;
    appendU16(out, quint16(tables.size()));
    appendU16(out, 0);
    appendU16(out, 0);
    appendU16(out, 0);
    quint32 offset = quint32(12 + 16 * tables.size());
    QByteArray data;
    for (const auto &t : tables) {
        out.append(t.first.leftJustified(4, ' ', true));
        appendU32(out, 0);
        appendU32(out, offset + quint32(data.size()));
        appendU32(out, quint32(t.second.size()));
        data.append(t.second);
        while (data.size() % 4)
            data.append('\0');
    }
    return out + data;
}

bool SfntBuilder::write(const QString &path) const
{
    return writeFile(path, build());
}

bool SfntBuilder::writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

int SfntBuilder::tableRecordOffset(const QByteArray &font, const QByteArray &tag)
{
    if (font.size() < 12)
        return -1;
    const int numTables = readU16(font, 4);
    for (int i = 0; i < numTables && 12 + 16 * i + 16 <= font.size(); ++i) {
        if (font.mid(12 + 16 * i, 4) == tag)
            return 12 + 16 * i;
    }
    return -1;
}

int SfntBuilder::tableOffset(const QByteArray &font, const QByteArray &tag)
{
    const int rec = tableRecordOffset(font, tag);
    if (rec < 0)
        return -1;
    return int((quint32(readU16(font, rec + 8)) << 16) | readU16(font, rec + 10));
}

void SfntBuilder::putU16(QByteArray &data, int offset, quint16 value)
{
    data[offset] = char(value >> 8);
    data[offset + 1] = char(value & 0xFF);
}

void SfntBuilder::putU32(QByteArray &data, int offset, quint32 value)
{
    putU16(data, offset, quint16(value >> 16));
    putU16(data, offset + 2, quint16(value & 0xFFFF));
}

QByteArray SfntBuilder::cmapTable(const QList<QPair<quint32, quint32>> &ranges, int glyphCount)
{
    const int groups = ranges.size();
    QByteArray t(4 + 8 + 16 + 12 * groups, '\0');
    putU16(t, 2, 1);        // one encoding record
    putU16(t, 4, 3);        // Windows
    putU16(t, 6, 10);       // full Unicode
    putU32(t, 8, 12);       // subtable offset
    putU16(t, 12, 12);      // format 12
    putU32(t, 16, quint32(t.size() - 12));
    putU32(t, 24, quint32(groups));
    quint32 glyph = 1;
    for (int i = 0; i < groups; ++i) {
        putU32(t, 28 + 12 * i, ranges[i].first);
        putU32(t, 32 + 12 * i, ranges[i].second);
        putU32(t, 36 + 12 * i, glyph);
        glyph = 1 + (glyph + (ranges[i].second - ranges[i].first) + 1) % quint32(glyphCount - 2);
    }
    return t;
}

QByteArray SfntBuilder::withTable(QByteArray font, const QByteArray &tag, const QByteArray &table)
{
    const int record = tableRecordOffset(font, tag);
    if (record < 0)
        return QByteArray();
    while (font.size() % 4)
        font.append('\0');
    putU32(font, record + 8, quint32(font.size()));
    putU32(font, record + 12, quint32(table.size()));
    return font + table;
}
