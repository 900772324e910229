#include "fonts/fontnamereader.h"
#include "sfntbuilder.h"
#include "testenv.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace FontNameReader;

namespace {

using B = SfntBuilder;

// A run of the three readers over one file, as the callers see them.
struct Read
{
    int cn, en, ps;
    QString family, style, enFamily, enStyle, psName;
};

Read readAll(const QString &path)
{
    Read r{};
    char a[kNameBufferSize] = {}, b[kNameBufferSize] = {}, c[kNameBufferSize] = {},
         d[kNameBufferSize] = {}, e[kNameBufferSize] = {};
    r.cn = readCnFamily(path, a, b, kNameBufferSize);
    r.en = readEnFamily(path, c, d, kNameBufferSize);
    r.ps = readPsName(path, e, kNameBufferSize);
    r.family = bufferText(a);
    r.style = bufferText(b);
    r.enFamily = bufferText(c);
    r.enStyle = bufferText(d);
    r.psName = bufferText(e);
    return r;
}

QString cjk(int count, QChar c = QChar(0x5B57))
{
    return QString(count, c);
}

} // namespace

class TestFontNameReader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_serial = 0;

    QString writeFont(const QByteArray &data)
    {
        const QString path = m_dir.filePath(QString("f%1.ttf").arg(++m_serial));
        if (!B::writeFile(path, data))
            qFatal("cannot write fixture %s", qPrintable(path));
        return path;
    }

    // The one-pass reader must agree with the three path readers and with the
    // in-memory loader on every file.
    void checkOnePassAgrees(const QString &path, const QByteArray &data, const Read &r)
    {
        for (const FileNames &n :
             {readFileNames(path), readFileNames(loadNameTableFromMemory(data))}) {
            QCOMPARE(n.cnResult, r.cn);
            QCOMPARE(n.enResult, r.en);
            QCOMPARE(n.psResult, r.ps);
            QCOMPARE(n.familyName, r.family);
            QCOMPARE(n.styleName, r.style);
            QCOMPARE(n.enFamilyName, r.enFamily);
            QCOMPARE(n.psName, r.psName);
        }
        const NameTable fromFile = loadNameTable(path);
        const NameTable fromMemory = loadNameTableFromMemory(data);
        QCOMPARE(fromFile.code, fromMemory.code);
        QCOMPARE(fromFile.bytes, fromMemory.bytes);
    }

private slots:
    void resultCodes_data();
    void resultCodes();
    void missingFile();
    void cnFamily_data();
    void cnFamily();
    void enFamily_data();
    void enFamily();
    void psName_data();
    void psName();
    void decoding_data();
    void decoding();
    void cutTo99Bytes_data();
    void cutTo99Bytes();
    void neverWritesPastCapacity();
    void hostile_data();
    void hostile();
    void tableLargerThan64KiB();
    void readNameTableCopiesAtMostLength();
    void overlappingRecords_data();
    void overlappingRecords();
};

void TestFontNameReader::resultCodes_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<int>("code");

    B named;
    named.addEnglishBasics("Alpha", "Regular", "Alpha-Regular");
    const QByteArray good = named.build();
    auto withVersion = [&](const QByteArray &v) {
        QByteArray f = good;
        f.replace(0, 4, v);
        return f;
    };
    QTest::newRow("truetype") << good << int(named.nameTable().size());
    QTest::newRow("OTTO") << withVersion("OTTO") << int(named.nameTable().size());
    QTest::newRow("collection ttcf") << withVersion("ttcf") << int(NotSfnt);
    QTest::newRow("WOFF") << withVersion("wOFF") << int(NotSfnt);
    QTest::newRow("WOFF2") << withVersion("wOF2") << int(NotSfnt);
    QTest::newRow("apple true") << withVersion("true") << int(NotSfnt);
    QTest::newRow("version 2.0") << withVersion(QByteArray("\x00\x02\x00\x00", 4)) << int(NotSfnt);
    QTest::newRow("empty file") << QByteArray() << int(NotSfnt);
    QTest::newRow("three bytes") << QByteArray("\x00\x01\x00", 3) << int(NotSfnt);
    QTest::newRow("version only") << QByteArray("OTTO") << int(NoNameTable);
    QTest::newRow("no name table")
        << B().setNameTableIncluded(false).addTable("head", QByteArray(54, '\0')).build()
        << int(NoNameTable);
    QTest::newRow("numTables 0") << B().setNameTableIncluded(false).build() << int(NoNameTable);
    QByteArray zeroTables = good;
    B::putU16(zeroTables, 4, 0);
    QTest::newRow("numTables 0 with a name record after") << zeroTables << int(NoNameTable);
    QByteArray nameCase = good;
    nameCase.replace(B::tableRecordOffset(good, "name"), 4, "NAME");
    QTest::newRow("tag compared exactly") << nameCase << int(NoNameTable);
    QTest::newRow("name after other tables")
        << B().addTable("cmap", "xx")
               .addTable("head", "yyyy")
               .addEnglishBasics("A", "B", "C")
               .build()
        << int(B().addEnglishBasics("A", "B", "C").nameTable().size());
}

void TestFontNameReader::resultCodes()
{
    QFETCH(QByteArray, font);
    QFETCH(int, code);
    const QString path = writeFont(font);
    QCOMPARE(tableLength(path), code);
    const Read r = readAll(path);
    if (code < 0) {
        QCOMPARE(r.cn, code);
        QCOMPARE(r.en, code);
        QCOMPARE(r.ps, code);
        QVERIFY(!readFileNames(path).complete());
    } else {
        QVERIFY(r.cn >= 0 && r.en >= 0 && r.ps >= 0);
        QVERIFY(readFileNames(path).complete());
    }
    checkOnePassAgrees(path, font, r);
}

void TestFontNameReader::missingFile()
{
    const QString path = m_dir.filePath("absent.ttf");
    QCOMPARE(tableLength(path), int(CannotOpen));
    char buf[kNameBufferSize] = {};
    QCOMPARE(readPsName(path, buf, kNameBufferSize), int(CannotOpen));
    QCOMPARE(readCnFamily(path, buf, buf, kNameBufferSize), int(CannotOpen));
    QCOMPARE(readFileNames(path).cnResult, int(CannotOpen));
    // A folder named like a font is not a font.
    QVERIFY(QDir(m_dir.path()).mkpath("dir.ttf"));
    QCOMPARE(tableLength(m_dir.filePath("dir.ttf")), int(CannotOpen));
}

void TestFontNameReader::cnFamily_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");

    const QString hei = QString::fromUtf8("思源黑体");
    const QString song = QString::fromUtf8("宋体");
    const QString kai = QString::fromUtf8("標楷體");
    const QString bold = QString::fromUtf8("粗体");
    const QString regular = QString::fromUtf8("常规");

    QTest::newRow("English only falls back")
        << B().addEnglishBasics("Alpha", "Bold", "Alpha-Bold").build() << 1 << "Alpha"
        << "Bold";
    QTest::newRow("PRC family over English") << B().addEnglishBasics("Alpha", "Regular", "A")
                                                    .addWindows(B::ChinesePRC, 1, song)
                                                    .addWindows(B::ChinesePRC, 2, regular)
                                                    .build()
                                             << 0 << song << regular;
    QTest::newRow("PRC typographic over PRC family") << B().addWindows(B::ChinesePRC, 1, song)
                                                            .addWindows(B::ChinesePRC, 2, regular)
                                                            .addWindows(B::ChinesePRC, 16, hei)
                                                            .addWindows(B::ChinesePRC, 17, bold)
                                                            .build()
                                                     << 0 << hei << bold;
    QTest::newRow("PRC typographic without subfamily gives empty style")
        << B().addWindows(B::ChinesePRC, 1, song)
               .addWindows(B::ChinesePRC, 2, regular)
               .addWindows(B::ChinesePRC, 16, hei)
               .build()
        << 0 << hei << "";
    QTest::newRow("PRC family without subfamily takes the English one")
        << B().addEnglishBasics("Shanghai Song", "Light", "SS")
               .addWindows(B::ChinesePRC, 1, song)
               .build()
        << 0 << song << "Light";
    QTest::newRow("PRC typographic without subfamily takes the English typographic one")
        << B().addEnglishBasics("Hei", "Regular", "H")
               .addWindows(B::English, 17, "Heavy")
               .addWindows(B::ChinesePRC, 16, hei)
               .build()
        << 0 << hei << "Heavy";
    QTest::newRow("Taiwan typographic before PRC family")
        << B().addWindows(B::ChinesePRC, 1, song)
               .addWindows(B::ChinesePRC, 2, regular)
               .addWindows(B::ChineseTaiwan, 16, kai)
               .addWindows(B::ChineseTaiwan, 17, bold)
               .build()
        << 0 << kai << bold;
    QTest::newRow("PRC typographic before Taiwan typographic")
        << B().addWindows(B::ChineseTaiwan, 16, kai)
               .addWindows(B::ChineseTaiwan, 17, "T")
               .addWindows(B::ChinesePRC, 16, hei)
               .addWindows(B::ChinesePRC, 17, "P")
               .build()
        << 0 << hei << "P";
    QTest::newRow("Taiwan family when no PRC") << B().addEnglishBasics("Kai", "Regular", "Kai")
                                                      .addWindows(B::ChineseTaiwan, 1, kai)
                                                      .addWindows(B::ChineseTaiwan, 2, regular)
                                                      .build()
                                               << 0 << kai << regular;
    QTest::newRow("PRC style taken with PRC family, not Taiwan's")
        << B().addWindows(B::ChineseTaiwan, 1, kai)
               .addWindows(B::ChineseTaiwan, 2, "TW style")
               .addWindows(B::ChinesePRC, 1, song)
               .build()
        << 0 << song << "";
    QTest::newRow("repeated records append")
        << B().addWindows(B::ChinesePRC, 1, QString::fromUtf8("宋"))
               .addWindows(B::ChinesePRC, 2, "Reg")
               .addWindows(B::ChinesePRC, 1, QString::fromUtf8("体"))
               .addWindows(B::ChinesePRC, 2, "ular")
               .build()
        << 0 << song << "Regular";
    QTest::newRow("other platforms and languages ignored")
        << B().addRecord(3, 0, B::ChinesePRC, 1, B::utf16be("symbol"))
               .addRecord(0, 3, B::ChinesePRC, 1, B::utf16be("unicode"))
               .addWindows(0x0411, 1, "Japanese")
               .addWindows(0x0C04, 1, "Hong Kong")
               .addEnglishBasics("Alpha", "Italic", "A")
               .build()
        << 1 << "Alpha"
        << "Italic";
    QTest::newRow("no records") << B().build() << int(kCnNoRecords) << ""
                                << "";
    QTest::newRow("records but none usable") << B().addWindows(0x0411, 1, "J").build() << 1 << ""
                                             << "";
}

void TestFontNameReader::cnFamily()
{
    QFETCH(QByteArray, font);
    QFETCH(int, result);
    QFETCH(QString, family);
    QFETCH(QString, style);
    const QString path = writeFont(font);
    const Read r = readAll(path);
    QCOMPARE(r.cn, result);
    QCOMPARE(r.family, family);
    QCOMPARE(r.style, style);
    checkOnePassAgrees(path, font, r);
}

void TestFontNameReader::enFamily_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");

    QTest::newRow("Windows family")
        << B().addEnglishBasics("Alpha", "Bold", "A").build() << 1 << "Alpha"
        << "Bold";
    QTest::newRow("typographic pair wins") << B().addEnglishBasics("Alpha Light", "Regular", "A")
                                                  .addWindows(B::English, 16, "Alpha")
                                                  .addWindows(B::English, 17, "Light")
                                                  .build()
                                           << 0 << "Alpha"
                                           << "Light";
    QTest::newRow("typographic subfamily alone gives empty family")
        << B().addEnglishBasics("Alpha Light", "Regular", "A")
               .addWindows(B::English, 17, "Light")
               .build()
        << 0 << ""
        << "Light";
    QTest::newRow("typographic family alone is ignored")
        << B().addEnglishBasics("Alpha Light", "Regular", "A")
               .addWindows(B::English, 16, "Alpha")
               .build()
        << 1 << "Alpha Light"
        << "Regular";
    QTest::newRow("Chinese names are not English")
        << B().addWindows(B::ChinesePRC, 1, QString::fromUtf8("宋体")).build() << 1 << ""
        << "";
    QTest::newRow("Macintosh typographic beats Windows family")
        << B().addMac(1, "MacFam")
               .addMac(16, "MacTypo")
               .addMac(17, "MacSub")
               .addEnglishBasics("Win", "Bold", "W")
               .build()
        << 1 << "MacTypo"
        << "MacSub";
    QTest::newRow("Macintosh typographic without subfamily")
        << B().addMac(16, "MacTypo").addEnglishBasics("Win", "Bold", "W").build() << 1 << "MacTypo"
        << "";
    // Family and subfamily first, Windows has both: the pass ends before nameID 16.
    QTest::newRow("early stop hides later Macintosh typographic")
        << B().addMac(1, "MacFam")
               .addMac(2, "MacSub")
               .addMac(16, "MacTypo")
               .addEnglishBasics("Win", "Bold", "W")
               .build()
        << 1 << "Win"
        << "Bold";
    QTest::newRow("no early stop when Windows lacks a subfamily")
        << B().addMac(1, "MacFam")
               .addMac(2, "MacSub")
               .addMac(16, "MacTypo")
               .addWindows(B::English, 1, "Win")
               .build()
        << 1 << "MacTypo"
        << "";
    QTest::newRow("no early stop before both Macintosh names")
        << B().addMac(1, "MacFam")
               .addMac(16, "MacTypo")
               .addMac(2, "MacSub")
               .addEnglishBasics("Win", "Bold", "W")
               .build()
        << 1 << "MacTypo"
        << "";
    QTest::newRow("Macintosh family when Windows has none")
        << B().addMac(1, "MacFam").addMac(2, "MacSub").build() << 1 << "MacFam"
        << "MacSub";
    QTest::newRow("later Macintosh record replaces")
        << B().addMac(1, "First Family").addMac(1, "Second").build() << 1 << "Second"
        << "";
    QTest::newRow("Macintosh other language ignored")
        << B().addMac(1, "French", 2).addMac(2, "Gras", 2).build() << 1 << ""
        << "";
    QTest::newRow("Macintosh typographic subfamily alone leaves nothing")
        << B().addMac(17, "Orphan").build() << 1 << ""
        << "";
    QTest::newRow("Macintosh bytes copied raw")
        << B().addMac(1, QByteArray("Caf\xC3\xA9")).build() << 1 << QString::fromUtf8("Café") << "";
}

void TestFontNameReader::enFamily()
{
    QFETCH(QByteArray, font);
    QFETCH(int, result);
    QFETCH(QString, family);
    QFETCH(QString, style);
    const QString path = writeFont(font);
    const Read r = readAll(path);
    QCOMPARE(r.en, result);
    QCOMPARE(r.enFamily, family);
    QCOMPARE(r.enStyle, style);
    checkOnePassAgrees(path, font, r);
}

void TestFontNameReader::psName_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<QString>("ps");

    QTest::newRow("Windows English")
        << B().addWindows(B::ChinesePRC, 6, "PRC-Name").addWindows(B::English, 6, "En-Name").build()
        << "En-Name";
    QTest::newRow("PRC before Taiwan") << B().addWindows(B::ChineseTaiwan, 6, "TW-Name")
                                              .addWindows(B::ChinesePRC, 6, "PRC-Name")
                                              .build()
                                       << "PRC-Name";
    QTest::newRow("Taiwan only") << B().addWindows(B::ChineseTaiwan, 6, "TW-Name").build()
                                 << "TW-Name";
    QTest::newRow("Macintosh wins, any language, last one")
        << B().addMac(6, "Mac-One", 0)
               .addEnglishBasics("F", "S", "Win-Name")
               .addMac(6, "Mac-Two", 11)
               .build()
        << "Mac-Two";
    QTest::newRow("Windows repeated records append")
        << B().addWindows(B::English, 6, "Part").addWindows(B::English, 6, "Two").build()
        << "PartTwo";
    QTest::newRow("other Windows language ignored")
        << B().addWindows(0x0411, 6, "Japanese-Name").build() << "";
    QTest::newRow("none") << B().addEnglishBasics("F", "S", "").build() << "";
}

void TestFontNameReader::psName()
{
    QFETCH(QByteArray, font);
    QFETCH(QString, ps);
    const QString path = writeFont(font);
    const Read r = readAll(path);
    QCOMPARE(r.ps, 0);
    QCOMPARE(r.psName, ps);
    checkOnePassAgrees(path, font, r);
}

void TestFontNameReader::decoding_data()
{
    QTest::addColumn<QByteArray>("utf16be");
    QTest::addColumn<QByteArray>("utf8");

    QTest::newRow("ascii") << QByteArray("\x00"
                                         "A\x00"
                                         "b",
                                         4)
                           << QByteArray("Ab");
    QTest::newRow("zero units dropped") << QByteArray("\x00"
                                                      "A\x00\x00\x00"
                                                      "B\x00\x00",
                                                      8)
                                        << QByteArray("AB");
    QTest::newRow("odd trailing byte ignored") << QByteArray("\x00"
                                                             "A\x00",
                                                             3)
                                               << QByteArray("A");
    QTest::newRow("CJK") << QByteArray("\x5B\x8B\x4F\x53", 4)
                         << QByteArray("\xE5\xAE\x8B\xE4\xBD\x93");
    QTest::newRow("surrogate pair")
        << QByteArray("\xD8\x40\xDC\x0B", 4) << QByteArray("\xF0\xA0\x80\x8B");
    QTest::newRow("lone high surrogate") << QByteArray("\xD8\x40\x00"
                                                       "A",
                                                       4)
                                         << QByteArray("\xEF\xBF\xBD"
                                                       "A");
    QTest::newRow("lone low surrogate") << QByteArray("\xDC\x0B", 2) << QByteArray("\xEF\xBF\xBD");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestFontNameReader::decoding()
{
    QFETCH(QByteArray, utf16be);
    QFETCH(QByteArray, utf8);
    const QByteArray font = B().addRecord(3, 1, B::English, 6, utf16be).build();
    char out[kNameBufferSize] = {};
    QCOMPARE(readPsName(loadNameTableFromMemory(font), out, kNameBufferSize), 0);
    QCOMPARE(QByteArray(out), utf8);
}

void TestFontNameReader::cutTo99Bytes_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray hanzi = QString(QChar(0x5B57)).toUtf8(); // 3 bytes
    QTest::newRow("33 CJK fit exactly")
        << B().addWindows(B::English, 6, cjk(33)).build() << hanzi.repeated(33);
    QTest::newRow("cut inside a 3-byte character")
        << B().addWindows(B::English, 6, "a" + cjk(40)).build() << "a" + hanzi.repeated(32);
    QTest::newRow("cut inside a 4-byte character")
        << B().addWindows(B::English, 6, "abc" + QString::fromUtf8("\xF0\xA0\x80\x8B").repeated(30))
               .build()
        << "abc" + QByteArray("\xF0\xA0\x80\x8B").repeated(24);
    QTest::newRow("ascii cut at 99")
        << B().addWindows(B::English, 6, QString(150, 'x')).build() << QByteArray(99, 'x');
    QTest::newRow("appended records cut after joining")
        << B().addWindows(B::English, 6, QString(60, 'x'))
               .addWindows(B::English, 6, QString(60, 'y'))
               .build()
        << QByteArray(60, 'x') + QByteArray(39, 'y');
    // Raw bytes are cut where they are, even inside a sequence.
    QTest::newRow("Macintosh raw cut at 99")
        << B().addMac(6, "a" + hanzi.repeated(40)).build() << "a" + hanzi.repeated(40).left(98);
}

void TestFontNameReader::cutTo99Bytes()
{
    QFETCH(QByteArray, font);
    QFETCH(QByteArray, expected);
    char out[kNameBufferSize];
    std::memset(out, 0, sizeof out);
    QCOMPARE(readPsName(loadNameTableFromMemory(font), out, kNameBufferSize), 0);
    QCOMPARE(out[99], '\0');
    QCOMPARE(QByteArray(out), expected);
}

void TestFontNameReader::neverWritesPastCapacity()
{
    // Every output of every reader, with small and odd capacities.
    const QByteArray font = B().addWindows(B::ChinesePRC, 1, cjk(50))
                                .addWindows(B::ChinesePRC, 2, cjk(50))
                                .addMac(16, QByteArray(80, 'm'))
                                .addMac(17, QByteArray(80, 'n'))
                                .addMac(6, QByteArray(80, 'p'))
                                .build();
    const NameTable table = loadNameTableFromMemory(font);
    for (int capacity : {1, 2, 4, 5, 50}) {
        char a[64], b[64];
        std::memset(a, '#', sizeof a);
        std::memset(b, '#', sizeof b);
        QCOMPARE(readCnFamily(table, a, b, capacity), 0);
        QCOMPARE(a[capacity - 1], '\0');
        QVERIFY(qstrlen(a) <= uint(capacity - 1));
        QCOMPARE(qstrlen(a) % 3, 0u); // whole characters only
        for (int i = capacity; i < 64; ++i)
            QCOMPARE(a[i], '#');
        std::memset(a, '#', sizeof a);
        std::memset(b, '#', sizeof b);
        QCOMPARE(readEnFamily(table, a, b, capacity), 1);
        QCOMPARE(QByteArray(a, capacity - 1), QByteArray(capacity - 1, 'm'));
        QCOMPARE(QByteArray(b, capacity - 1), QByteArray(capacity - 1, 'n'));
        for (int i = capacity; i < 64; ++i)
            QVERIFY(a[i] == '#' && b[i] == '#');
        std::memset(a, '#', sizeof a);
        QCOMPARE(readPsName(table, a, capacity), 0);
        QCOMPARE(a[capacity - 1], '\0');
        for (int i = capacity; i < 64; ++i)
            QCOMPARE(a[i], '#');
    }
}

void TestFontNameReader::hostile_data()
{
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("ps");

    B base;
    base.addWindows(B::English, 1, "Broken")
        .addWindows(B::English, 2, "Bold")
        .addWindows(B::English, 1, " Family")
        .addWindows(B::English, 6, "Broken-Bold");
    const QByteArray good = base.build();
    const int nameRec = B::tableRecordOffset(good, "name");
    const int name = B::tableOffset(good, "name");
    const int tableLen = base.nameTable().size();
    auto recordAt = [name](int i) { return name + 6 + 12 * i; };

    QByteArray f = good;
    B::putU16(f, name + 2, 60000);
    QTest::newRow("count larger than the table") << f << tableLen << "Broken Family"
                                                 << "Broken-Bold";

    f = good;
    B::putU16(f, recordAt(2) + 10, 0xFFF0);
    QTest::newRow("string offset past the table skips that record") << f << tableLen << "Broken"
                                                                    << "Broken-Bold";

    f = good;
    B::putU16(f, recordAt(3) + 8, 0xFFFF);
    QTest::newRow("string length past the table skips that record")
        << f << tableLen << "Broken Family"
        << "";

    f = good;
    B::putU16(f, name + 4, 0xFFFF);
    QTest::newRow("string area past the table") << f << tableLen << ""
                                                << "";

    f = good;
    B::putU32(f, nameRec + 8, 0x7FFFFFF0);
    QTest::newRow("table offset past the end of file") << f << tableLen << ""
                                                       << "";

    f = good;
    B::putU32(f, nameRec + 8, 0xFFFFFFFF);
    QTest::newRow("table offset at 4 GiB") << f << tableLen << ""
                                           << "";

    f = good;
    B::putU32(f, nameRec + 12, 0xFFFFFFFF);
    QTest::newRow("table length past the end of file") << f << int(0x7FFFFFFF) << "Broken Family"
                                                       << "Broken-Bold";

    f = good;
    B::putU32(f, nameRec + 12, 0);
    QTest::newRow("table length 0") << f << 0 << ""
                                    << "";

    f = good.left(name + 6 + 12 * 2 + 5);
    QTest::newRow("file cut inside the records") << f << tableLen << ""
                                                 << "";

    f = good.left(name + tableLen - 4);
    QTest::newRow("file cut inside the last string") << f << tableLen << "Broken Family"
                                                     << "";

    f = good.left(name + 3);
    QTest::newRow("file cut inside the table header") << f << tableLen << ""
                                                      << "";

    f = good;
    B::putU16(f, 4, 0xFFFF);
    QTest::newRow("numTables larger than the directory") << f << tableLen << "Broken Family"
                                                         << "Broken-Bold";

    f = good.left(12 + 8);
    QTest::newRow("directory cut inside the name record") << f << int(NoNameTable) << ""
                                                          << "";
}

void TestFontNameReader::hostile()
{
    QFETCH(QByteArray, font);
    QFETCH(int, code);
    QFETCH(QString, family);
    QFETCH(QString, ps);
    const QString path = writeFont(font);
    QCOMPARE(tableLength(path), code);
    const Read r = readAll(path);
    QCOMPARE(r.enFamily, family);
    QCOMPARE(r.psName, ps);
    checkOnePassAgrees(path, font, r);
}

void TestFontNameReader::tableLargerThan64KiB()
{
    // A long licence text ahead of the names pushes them past 64 KiB; they must
    // still be found.
    B b;
    b.addWindows(B::English, 13, QString(32735, 'L'))
        .addWindows(B::English, 1, "Far Family")
        .addWindows(B::English, 2, "Regular")
        .addWindows(B::English, 6, "Far-Regular");
    const QByteArray table = b.nameTable();
    QVERIFY(table.size() > 65536);
    const QString path = writeFont(b.build());
    QCOMPARE(tableLength(path), table.size());
    const FileNames n = readFileNames(path);
    QCOMPARE(n.familyName, QString("Far Family"));
    QCOMPARE(n.psName, QString("Far-Regular"));
    QVERIFY(n.complete());
}

void TestFontNameReader::readNameTableCopiesAtMostLength()
{
    B b;
    b.addEnglishBasics("Alpha", "Regular", "Alpha-Regular");
    const QByteArray table = b.nameTable();
    const QString path = writeFont(b.build());
    QByteArray buf(table.size() + 8, '#');
    QCOMPARE(readNameTable(path, buf.data(), 10), 10);
    QCOMPARE(buf.left(10), table.left(10));
    QCOMPARE(buf.mid(10), QByteArray(table.size() - 2, '#'));
    QCOMPARE(readNameTable(path, buf.data(), buf.size()), table.size());
    QCOMPARE(buf.left(table.size()), table);
    QCOMPARE(readNameTable(m_dir.filePath("absent.ttf"), buf.data(), buf.size()), int(CannotOpen));
}

void TestFontNameReader::overlappingRecords_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("stringBytes");
    QTest::addColumn<int>("nameLength"); // each of the ten (language, id) kinds repeats
    QTest::newRow("60,000 records at one 64 KB string") << 60000 << 65534 << 99;
    QTest::newRow("65,534 records at one short string") << 65534 << 2 << int(kMaxAppendedRecords);
    QTest::newRow("two records of each kind still join") << 20 << 4 << 4;
}

void TestFontNameReader::overlappingRecords()
{
    // 16-bit offsets put any string inside the record array: here it is made of
    // filler records whose every field reads as 'n', and all real records share it.
    QFETCH(int, records);
    QFETCH(int, stringBytes);
    QFETCH(int, nameLength);
    const int fillers = (stringBytes + 11) / 12;
    QByteArray table(6 + 12 * (fillers + records), '\0');
    B::putU16(table, 2, quint16(fillers + records));
    B::putU16(table, 4, 6);
    for (int at = 6; at < 6 + 12 * fillers; at += 2)
        B::putU16(table, at, 'n');
    const quint16 ids[] = {1, 2, 6, 16, 17};
    for (int i = 0; i < records; ++i) {
        const int at = 6 + 12 * (fillers + i);
        B::putU16(table, at, B::Windows);
        B::putU16(table, at + 2, 1);
        B::putU16(table, at + 4, i % 2 ? B::English : B::ChinesePRC);
        B::putU16(table, at + 6, ids[(i / 2) % 5]);
        B::putU16(table, at + 8, quint16(stringBytes));
    }
    QElapsedTimer clock;
    clock.start();
    const FileNames n =
        readFileNames(writeFont(B().setNameTableIncluded(false).addTable("name", table).build()));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    for (const QString &name : {n.familyName, n.enFamilyName, n.psName})
        QCOMPARE(name, QString(nameLength, 'n'));
}

QTEST_GUILESS_MAIN(TestFontNameReader)
#include "tst_fontnamereader.moc"
