#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes sfnt files holding exactly the naming records a test needs. The table
// directory lists the extra tables first and 'name' last; table data follows in
// the same order, each table 4-byte aligned.
class SfntBuilder
{
public:
    enum : quint16 {
        Mac = 1,
        Windows = 3,
        English = 0x0409,
        ChinesePRC = 0x0804,
        ChineseTaiwan = 0x0404,
    };

    struct Record
    {
        quint16 platform;
        quint16 encoding;
        quint16 language;
        quint16 nameId;
        QByteArray bytes;
    };

    SfntBuilder &setVersion(const QByteArray &fourBytes);
    SfntBuilder &addRecord(quint16 platform, quint16 encoding, quint16 language, quint16 nameId,
                           const QByteArray &bytes);
    // Platform 3, encoding 1, text as UTF-16BE.
    SfntBuilder &addWindows(quint16 language, quint16 nameId, const QString &text);
    // Platform 1, encoding 0, bytes as given.
    SfntBuilder &addMac(quint16 nameId, const QByteArray &bytes, quint16 language = 0);
    // Windows English family/subfamily/PostScript in one go.
    SfntBuilder &addEnglishBasics(const QString &family, const QString &style, const QString &ps);
    SfntBuilder &addTable(const QByteArray &tag, const QByteArray &data);
    SfntBuilder &setNameTableIncluded(bool included);

    QByteArray nameTable() const;
    QByteArray build() const;
    bool write(const QString &path) const;

    static QByteArray utf16be(const QString &text);
    // Offset of a table in a built file, found through its directory; -1 if absent.
    static int tableOffset(const QByteArray &font, const QByteArray &tag);
    // Offset of the directory record of a table; -1 if absent.
    static int tableRecordOffset(const QByteArray &font, const QByteArray &tag);
    static void putU16(QByteArray &data, int offset, quint16 value);
    static void putU32(QByteArray &data, int offset, quint32 value);
    static bool writeFile(const QString &path, const QByteArray &data);
    // A Unicode 'cmap' (platform 3, encoding 10, format 12) with one group per range
    // {first, last}; codes map to glyphs 1, 2, ... wrapping below glyphCount. The
    // ranges are written as given, so a test can hand in disordered ones.
    static QByteArray cmapTable(const QList<QPair<quint32, quint32>> &ranges, int glyphCount);
    // The font with its 'cmap' replaced by table, appended at the end.
    static QByteArray withTable(QByteArray font, const QByteArray &tag, const QByteArray &table);

private:
    QByteArray m_version = QByteArray("\x00\x01\x00\x00", 4);
    QList<Record> m_records;
    QList<QPair<QByteArray, QByteArray>> m_tables;
    bool m_nameIncluded = true;
};
