// The details reader: coverage against fonts whose character maps the test writes, and
// files built to break it.
#include "fonts/fontdetails.h"
#include "renamedfont.h"
#include "sfntbuilder.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

namespace {

using Ranges = QList<QPair<quint32, quint32>>;

const QString kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

QByteArray dejaVu()
{
    QFile f(kDejaVu);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fontMapping(const Ranges &ranges)
{
    return SfntBuilder::withTable(dejaVu(), "cmap", SfntBuilder::cmapTable(ranges, 5000));
}

Ranges singles(const std::vector<uint> &codes)
{
    Ranges r;
    for (uint c : codes)
        r.append({c, c});
    return r;
}

const std::vector<uint> &setCodes(WritingSystems::Id id)
{
    return WritingSystems::sets().at(id).codes;
}

} // namespace

class TestFontDetails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void setSizes();
    void coverage_data();
    void coverage();
    void names();
    void hostile_data();
    void hostile();
};

void TestFontDetails::initTestCase()
{
    if (!haveRealFont())
        QSKIP("needs fonts-dejavu-core");
}

// The generated sets have the standards' sizes; a codec decoding out of step or a
// missing one shows here.
void TestFontDetails::setSizes()
{
    QCOMPARE(int(setCodes(WritingSystems::SimplifiedChinese).size()), 6763);
    QCOMPARE(int(setCodes(WritingSystems::TraditionalChinese).size()), 5401);
    QCOMPARE(int(setCodes(WritingSystems::Hangul).size()), 2350);
    for (const WritingSystems::Set &set : WritingSystems::sets())
        QVERIFY2(std::is_sorted(set.codes.begin(), set.codes.end()), qPrintable(set.label));
}

void TestFontDetails::coverage_data()
{
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<int>("characters");
    QTest::addColumn<QVector<int>>("covered"); // Latin .. Traditional Chinese

    QTest::newRow("ascii") << Ranges{{0x20, 0x7E}} << 95 << QVector<int>{95, 0, 0, 0, 0, 0, 0};
    // 一 中 国 國: 国 is only in GB 2312, 國 only in Big5.
    QTest::newRow("four hanzi") << Ranges{{0x4E00, 0x4E00}, {0x4E2D, 0x4E2D}, {0x56FD, 0x56FD},
                                          {0x570B, 0x570B}}
                                << 4 << QVector<int>{0, 0, 0, 0, 0, 3, 3};
    QTest::newRow("greek capitals and kana")
        << Ranges{{0x391, 0x3A9}, {0x3041, 0x3096}, {0x30A1, 0x30FA}} << 25 + 176
        << QVector<int>{0, 24, 0, 176, 0, 0, 0};
    QTest::newRow("all of GB 2312")
        << singles(setCodes(WritingSystems::SimplifiedChinese)) << 6763
        << QVector<int>{0, 0, 0, 0, 0, 6763, -1};
    QTest::newRow("all of Big5 common")
        << singles(setCodes(WritingSystems::TraditionalChinese)) << 5401
        << QVector<int>{0, 0, 0, 0, 0, -1, 5401};
    QTest::newRow("KS X 1001 hangul") << singles(setCodes(WritingSystems::Hangul)) << 2350
                                      << QVector<int>{0, 0, 0, 0, 2350, 0, 0};
}

void TestFontDetails::coverage()
{
    QFETCH(Ranges, ranges);
    QFETCH(int, characters);
    QFETCH(QVector<int>, covered);
    const FontDetails::Details d = FontDetails::readFromMemory(fontMapping(ranges));
    QVERIFY(d.ok);
    QCOMPARE(int(d.characters.size()), characters);
    QCOMPARE(d.coverage.size(), int(WritingSystems::Count));
    for (int i = 0; i < covered.size(); ++i) {
        if (covered[i] >= 0)
            QCOMPARE(d.coverage[i].covered, covered[i]);
        QCOMPARE(d.coverage[i].total, int(setCodes(WritingSystems::Id(i)).size()));
    }
}

void TestFontDetails::names()
{
    SfntBuilder names;
    names.addEnglishBasics("Quillora Test", "Bold", "QuilloraTest-Bold")
        .addWindows(SfntBuilder::ChinesePRC, 1, "测试宋")
        .addWindows(SfntBuilder::English, 5, "Version 2.5")
        .addWindows(SfntBuilder::English, 13, "Free to use")
        .addWindows(SfntBuilder::English, 14, "https://example.org/licence");
    const int at = SfntBuilder::tableOffset(names.build(), "name");
    const QByteArray table = names.build().mid(at);
    const FontDetails::Details d =
        FontDetails::readFromMemory(SfntBuilder::withTable(dejaVu(), "name", table));
    QVERIFY(d.ok);
    QCOMPARE(d.family.chinese, QString("测试宋"));
    QCOMPARE(d.family.english, QString("Quillora Test"));
    QCOMPARE(d.style.preferred(), QString("Bold"));
    QCOMPARE(d.version.english, QString("Version 2.5"));
    QCOMPARE(d.licence.english, QString("Free to use"));
    QCOMPARE(d.licenceUrl.english, QString("https://example.org/licence"));
    QVERIFY(d.glyphCount > 5000);
}

void TestFontDetails::hostile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok");
    const QByteArray font = dejaVu();
    QByteArray manyTables = font.left(12);
    SfntBuilder::putU16(manyTables, 4, 0xFFFF);
    QByteArray cmapOutside = font;
    SfntBuilder::putU32(cmapOutside, SfntBuilder::tableRecordOffset(font, "cmap") + 8, 0x7FFFFFF0);
    QByteArray hugeGroupCount = fontMapping({{0x41, 0x5A}});
    SfntBuilder::putU32(hugeGroupCount, hugeGroupCount.size() - 12 - 4, 0xFFFFFFF);

    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("text") << QByteArray("not a font at all") << false;
    QTest::newRow("cut after directory") << font.left(400) << false;
    QTest::newRow("table count 65535") << manyTables << false;
    QTest::newRow("cmap beyond the file") << cmapOutside << true;
    QTest::newRow("groups out of order")
        << fontMapping({{0x4E00, 0x4E10}, {0x41, 0x5A}, {0x4E05, 0x4E20}}) << true;
    QTest::newRow("range over all of Unicode and beyond") << fontMapping({{0, 0xFFFFFFFF}}) << true;
    QTest::newRow("group count past the table") << hugeGroupCount << true;
}

void TestFontDetails::hostile()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    QElapsedTimer clock;
    clock.start();
    const FontDetails::Details d = FontDetails::readFromMemory(file);
    QVERIFY2(clock.elapsed() < 5000, "reading took too long");
    QCOMPARE(d.ok, ok);
    QCOMPARE(d.error.isEmpty(), ok);
    QVERIFY(std::is_sorted(d.characters.begin(), d.characters.end()));
    QVERIFY(std::adjacent_find(d.characters.begin(), d.characters.end()) == d.characters.end());
    QVERIFY(d.characters.empty() || d.characters.back() <= 0x10FFFF);
}

QTEST_GUILESS_MAIN(TestFontDetails)
#include "tst_fontdetails.moc"
