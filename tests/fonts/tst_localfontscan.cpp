// The installed-font scan: file listing, display names, list order, and the
// style-name mapping of local cards.
#include "fonts/fontnamereader.h"
#include "platform/fontregistry.h"
#include "fonts/localfontscan.h"
#include "sfntbuilder.h"
#include "testenv.h"
#include "testnet.h"

#include <QFont>
#include <QTemporaryDir>
#include <QtTest>

using B = SfntBuilder;

class TestLocalFontScan : public QObject
{
    Q_OBJECT

private:
    TestEnv m_env;
    QTemporaryDir m_dir;

    static QByteArray font(const QString &family, const QString &style, const QString &ps)
    {
        B b;
        if (family.contains(QRegularExpression("[\\x{4e00}-\\x{9fa5}]")))
            b.addWindows(B::English, 1, "Latin Name")
                .addWindows(B::ChinesePRC, 1, family)
                .addWindows(B::ChinesePRC, 2, style);
        else
            b.addWindows(B::English, 1, family).addWindows(B::English, 2, style);
        return b.addWindows(B::English, 6, ps).build();
    }

    QString put(const QString &relative, const QByteArray &data)
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!B::writeFile(path, data))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QStringList relative(const QStringList &paths, const QString &root) const
    {
        QStringList out;
        for (const QString &p : paths)
            out << QDir(root).relativeFilePath(p);
        return out;
    }

private slots:
    void displayName_data();
    void displayName();
    void styleWords_data();
    void styleWords();
    void applyStyleName_data();
    void applyStyleName();
    void chineseName_data();
    void chineseName();
    void fileListing();
    void fileListingExcludesSessionFolder();
    void deepFolderTree();
    void scanOrder();
    void scanStopsBetweenFiles();
    void threadScansFolders();
    void threadLeavesOutSessionFolder();
    void readLocalFontAndFill();
    void configuredDirectoriesFromFontconfig();
};

void TestLocalFontScan::displayName_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("name");
    QTest::newRow("Regular") << "F"
                             << "Regular"
                             << "F";
    QTest::newRow("Bold joined by one space") << "F"
                                              << "Bold"
                                              << "F Bold";
    QTest::newRow("family holds the style") << "F Bold"
                                            << "Bold"
                                            << "F Bold";
    QTest::newRow("containment is case-sensitive") << "F bold"
                                                   << "Bold"
                                                   << "F bold Bold";
    QTest::newRow("Regular Italic") << "F"
                                    << "Regular Italic"
                                    << "F";
    QTest::newRow("regular in any case") << "F"
                                         << "REGULAR"
                                         << "F";
    QTest::newRow("empty style") << "F"
                                 << ""
                                 << "F";
    QTest::newRow("Chinese") << QString::fromUtf8("宋体") << QString::fromUtf8("粗体")
                             << QString::fromUtf8("宋体 粗体");
}

void TestLocalFontScan::displayName()
{
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QString, name);
    QCOMPARE(::displayName(family, style), name);
}

void TestLocalFontScan::styleWords_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("stretch");
    QTest::newRow("Regular") << "Regular" << -1 << -1;
    QTest::newRow("Narrow Bold: Narrow first") << "Narrow Bold" << 0 << -1;
    QTest::newRow("Thin") << "Thin" << 0 << -1;
    QTest::newRow("ExtraLight before Light") << "ExtraLight" << 12 << -1;
    QTest::newRow("Light") << "light" << 25 << -1;
    QTest::newRow("Normal") << "Normal" << 50 << -1;
    QTest::newRow("Medium") << "Medium" << 57 << -1;
    QTest::newRow("DemiBold before Bold") << "DemiBold" << 63 << -1;
    QTest::newRow("ExtraBold reads as Bold") << "ExtraBold" << 75 << -1;
    QTest::newRow("Black") << "BLACK" << 87 << -1;
    QTest::newRow("UltraCondensed") << "UltraCondensed" << -1 << 50;
    QTest::newRow("ExtraCondensed") << "ExtraCondensed" << -1 << 62;
    QTest::newRow("SemiCondensed reads as Condensed") << "SemiCondensed" << -1 << 75;
    QTest::newRow("Unstretched") << "Unstretched" << -1 << 100;
    QTest::newRow("SemiExpanded before Expanded") << "SemiExpanded" << -1 << 112;
    QTest::newRow("ExtraExpanded reads as Expanded") << "ExtraExpanded" << -1 << 125;
    QTest::newRow("UltraExpanded reads as Expanded") << "UltraExpanded" << -1 << 125;
    QTest::newRow("both") << "Condensed Light" << 25 << 75;
    QTest::newRow("spaced words do not match") << "Extra Light" << 25 << -1;
}

void TestLocalFontScan::styleWords()
{
    QFETCH(QString, style);
    QFETCH(int, weight);
    QFETCH(int, stretch);
    QCOMPARE(weightOf(style), weight);
    QCOMPARE(stretchOf(style), stretch);
}

void TestLocalFontScan::applyStyleName_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("stretch");
    QTest::addColumn<int>("slant");
    QTest::newRow("Regular keeps defaults")
        << "Regular" << 50 << int(QFont::AnyStretch) << int(QFont::StyleNormal);
    QTest::newRow("Regular Italic turns italic")
        << "Regular Italic" << 50 << int(QFont::AnyStretch) << int(QFont::StyleItalic);
    QTest::newRow("Bold Oblique") << "Bold Oblique" << 75 << int(QFont::AnyStretch)
                                  << int(QFont::StyleOblique);
    QTest::newRow("Slanted overrides Italic")
        << "Italic Slanted" << 50 << int(QFont::AnyStretch) << int(QFont::StyleOblique);
    QTest::newRow("Condensed Light italic")
        << "condensed light italic" << 25 << 75 << int(QFont::StyleItalic);
}

void TestLocalFontScan::applyStyleName()
{
    QFETCH(QString, style);
    QFETCH(int, weight);
    QFETCH(int, stretch);
    QFETCH(int, slant);
    QFont f(QStringLiteral("Other"), 20);
    ::applyStyleName(QStringLiteral("Alpha"), style, f);
    QCOMPARE(f.family(), QStringLiteral("Alpha"));
    QCOMPARE(f.weight(), weight);
    QCOMPARE(f.stretch(), stretch);
    QCOMPARE(int(f.style()), slant);
    QCOMPARE(f.pointSize(), 20);
}

void TestLocalFontScan::chineseName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("chinese");
    QTest::newRow("Latin") << "Alpha Bold" << false;
    QTest::newRow("Han") << QString::fromUtf8("文泉驿微米黑") << true;
    QTest::newRow("first of the range") << QString(QChar(0x4E00)) << true;
    QTest::newRow("last of the range") << "A" + QString(QChar(0x9FA5)) << true;
    QTest::newRow("just past the range") << QString(QChar(0x9FA6)) << false;
    QTest::newRow("fullwidth Latin") << QString::fromUtf8("ＰＬ") << false;
    QTest::newRow("kana") << QString::fromUtf8("ゴシック") << false;
    QTest::newRow("hangul") << QString::fromUtf8("나눔고딕") << false;
}

void TestLocalFontScan::chineseName()
{
    QFETCH(QString, name);
    QFETCH(bool, chinese);
    QCOMPARE(hasChineseName(name), chinese);
}

void TestLocalFontScan::fileListing()
{
    const QString root = m_dir.filePath("listing");
    const QByteArray f = font("F", "Regular", "F");
    put("listing/b.TTF", f);
    put("listing/A.otf", f);
    put("listing/a2.ttf", f);
    put("listing/C/z.ttf", f);
    put("listing/C/Y.OTF", f);
    put("listing/c.otf", f);
    put("listing/d.ttf/inside.ttf", f); // a folder named like a font
    put("listing/skip.ttc", f);
    put("listing/skip.fon", f);
    put("listing/skip.woff", f);
    put("listing/skip.ttf.bak", f);
    put("listing/.hidden.ttf", f);
    QVERIFY(QFile::link(root + "/A.otf", root + "/link.ttf"));
    QVERIFY(QFile::link(root + "/C", root + "/linked"));
    put("other/o.ttf", f);

    const QStringList expected = {"A.otf",   "a2.ttf",  "b.TTF",           "c.otf",
                                  "C/Y.OTF", "C/z.ttf", "d.ttf/inside.ttf"};
    const QStringList files = fontFilesIn({root}, QString());
    // "c.otf" and "C" compare equal ignoring case; which comes first is QDir's.
    QCOMPARE(files.size(), expected.size());
    QStringList sortedRel = relative(files, root);
    QCOMPARE(QSet<QString>(sortedRel.begin(), sortedRel.end()),
             QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(sortedRel.mid(0, 3), expected.mid(0, 3));
    QCOMPARE(sortedRel.last(), expected.last());
    QCOMPARE(sortedRel.indexOf("C/z.ttf") - sortedRel.indexOf("C/Y.OTF"), 1);
    for (const QString &p : files)
        QVERIFY(QFileInfo(p).isAbsolute());

    // Overlapping and repeated folders list each file once; missing ones are skipped.
    const QStringList twice =
        fontFilesIn({root + "/C", m_dir.filePath("missing"), root, root, m_dir.filePath("other")});
    QCOMPARE(relative(twice, root), QStringList({"C/Y.OTF", "C/z.ttf"}) +
                                        (sortedRel.filter(QRegularExpression("^(?!C/)"))) +
                                        QStringList({"../other/o.ttf"}));
}

void TestLocalFontScan::fileListingExcludesSessionFolder()
{
    const QString root = m_dir.filePath("withsession");
    const QByteArray f = font("F", "Regular", "F");
    put("withsession/a.ttf", f);
    put("withsession/session/s.ttf", f);
    put("withsession/session/deeper/t.ttf", f);
    put("withsession/sessionmore/u.ttf", f);
    QVERIFY(QFile::link(root + "/session", m_dir.filePath("sessionlink")));

    QCOMPARE(relative(fontFilesIn({root}, root + "/session"), root),
             QStringList({"a.ttf", "sessionmore/u.ttf"}));
    // The folder may be named through a link, or be configured itself.
    QCOMPARE(relative(fontFilesIn({root, root + "/session"}, m_dir.filePath("sessionlink")), root),
             QStringList({"a.ttf", "sessionmore/u.ttf"}));
    QCOMPARE(fontFilesIn({root + "/session/deeper"}, root + "/session"), QStringList());
}

void TestLocalFontScan::deepFolderTree()
{
    // 1,500 levels: close to the longest path the system takes with one-letter names.
    QString deepest = "deep";
    for (int i = 0; i < 1500; ++i)
        deepest += "/d";
    const QByteArray f = font("F", "Regular", "F");
    put("deep/top.ttf", f);
    put(deepest + "/bottom.ttf", f);
    QElapsedTimer clock;
    clock.start();
    const QStringList files = fontFilesIn({m_dir.filePath("deep")});
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(relative(files, m_dir.path()), QStringList({deepest + "/bottom.ttf", "deep/top.ttf"}));
}

void TestLocalFontScan::scanOrder()
{
    const QString song = QString::fromUtf8("宋体");
    const QString hei = QString::fromUtf8("黑体");
    const QStringList files = {
        put("order/0-song.ttf", font(song, "Regular", "Song")),
        put("order/1-alpha.ttf", font("Alpha", "Regular", "Alpha-Regular")),
        put("order/2-alpha-bold.ttf", font("Alpha", "Bold", "Alpha-Bold")),
        put("order/3-alpha.otf", font("Alpha", "Regular", "Alpha-Regular-OT")),
        put("order/4-broken.ttf", QByteArray("not a font")),
        put("order/5-nostyle.ttf",
            B().addWindows(B::English, 1, "Beta").addWindows(B::English, 6, "Beta").build()),
        put("order/6-hei.ttf", font(hei, "Bold", "Hei-Bold")),
        put("order/7-gamma.ttf", font("Gamma Bold", "Bold", "Gamma-Bold")),
        put("order/8-song-again.ttf", font(song, "Regular", "Song2")),
        m_dir.filePath("order/9-missing.ttf"),
    };
    const QList<ScannedFont> scanned = scanFontFiles(files);
    QStringList shown, paths, ps;
    for (const ScannedFont &s : scanned) {
        shown << s.font.showName;
        paths << QFileInfo(s.path).fileName();
        ps << s.font.psName;
    }
    QCOMPARE(shown, QStringList({"Alpha", "Alpha Bold", "Gamma Bold", song, hei + " Bold"}));
    QCOMPARE(paths, QStringList({"1-alpha.ttf", "2-alpha-bold.ttf", "7-gamma.ttf", "0-song.ttf",
                                 "6-hei.ttf"}));
    QCOMPARE(ps, QStringList({"Alpha-Regular", "Alpha-Bold", "Gamma-Bold", "Song", "Hei-Bold"}));
    QCOMPARE(scanned.at(3).font.enFamilyName, QStringLiteral("Latin Name"));
    QCOMPARE(scanned.at(3).font.familyName, song);
}

void TestLocalFontScan::scanStopsBetweenFiles()
{
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << put(QString("stop/%1.ttf").arg(i), font(QString("Font%1").arg(i), "Regular", "P"));
    int polls = 0;
    const QList<ScannedFont> scanned = scanFontFiles(files, [&polls] { return ++polls > 2; });
    QCOMPARE(polls, 3);
    QCOMPARE(scanned.size(), 2);
    QCOMPARE(scanned.at(1).font.showName, QStringLiteral("Font1"));
}

void TestLocalFontScan::threadScansFolders()
{
    const QString root = m_dir.filePath("thread");
    put("thread/sub/b.ttf", font("Bravo", "Italic", "Bravo-Italic"));
    put("thread/a.otf", font("Alpha", "Regular", "Alpha"));
    put("thread/session/c.ttf", font("Charlie", "Regular", "Charlie"));

    ThreadForLocalFonts thread;
    thread.setFolders({root});
    thread.setExcludedDir(root + "/session");
    QSignalSpy finished(&thread, &QThread::finished);
    thread.start();
    // The spy records from the thread itself, possibly before a wait() could begin.
    QVERIFY(thread.wait(kEventWaitMs));
    QCOMPARE(finished.count(), 1);
    const QList<LocalFont> fonts = thread.localFonts();
    QCOMPARE(fonts.size(), 2);
    QCOMPARE(fonts.at(0).showName, QStringLiteral("Alpha"));
    QCOMPARE(fonts.at(1).showName, QStringLiteral("Bravo Italic"));
    QCOMPARE(thread.scannedFonts().at(1).path, root + "/sub/b.ttf");
}

void TestLocalFontScan::threadLeavesOutSessionFolder()
{
    const QString session = sessionFontDir();
    QVERIFY(session.startsWith(m_env.home()));
    const QString parent = QFileInfo(session).absolutePath();
    QVERIFY(QDir().mkpath(session));
    QVERIFY(B::writeFile(session + "/activated.ttf", font("Activated", "Regular", "Act")));
    QVERIFY(B::writeFile(parent + "/installed.ttf", font("Installed", "Regular", "Inst")));

    ThreadForLocalFonts thread;
    thread.setFolders({parent});
    thread.start();
    QVERIFY(thread.wait(kEventWaitMs));
    QCOMPARE(thread.localFonts().size(), 1);
    QCOMPARE(thread.localFonts().at(0).showName, QStringLiteral("Installed"));
}

void TestLocalFontScan::readLocalFontAndFill()
{
    const QString good = put("fill/good.ttf", font("Alpha", "Bold", "Alpha-Bold"));
    const QString noStyle =
        put("fill/nostyle.ttf",
            B().addWindows(B::English, 1, "Beta").addWindows(B::English, 6, "Beta").build());
    const QString noPs =
        put("fill/nops.ttf",
            B().addWindows(B::English, 1, "Beta").addWindows(B::English, 2, "Bold").build());
    const QString typoNoSub =
        put("fill/typo.ttf", B().addWindows(B::ChinesePRC, 16, QString::fromUtf8("宋体"))
                                 .addEnglishBasics("Song", "Regular", "Song")
                                 .build());
    const QString notFont = put("fill/collection.ttf", QByteArray("ttcf") + QByteArray(60, '\0'));

    LocalFont record{"keep", "old", "old", "old", "old"};
    QCOMPARE(fillLocalFont(good, record), 1);
    QCOMPARE(record.showName, QStringLiteral("keep"));
    QCOMPARE(record.familyName, QStringLiteral("Alpha"));
    QCOMPARE(record.enFamilyName, QStringLiteral("Alpha"));
    QCOMPARE(record.styleName, QStringLiteral("Bold"));
    QCOMPARE(record.psName, QStringLiteral("Alpha-Bold"));

    // Chinese names without a style take the English records' one.
    LocalFont song;
    QCOMPARE(fillLocalFont(typoNoSub, song), 1);
    QCOMPARE(song.familyName, QString::fromUtf8("宋体"));
    QCOMPARE(song.styleName, QStringLiteral("Regular"));

    for (const QString &path : {noStyle, noPs}) {
        LocalFont untouched{"s", "f", "e", "st", "p"};
        QCOMPARE(fillLocalFont(path, untouched), -1);
        QCOMPARE(untouched.familyName, QStringLiteral("f"));
        QCOMPARE(untouched.psName, QStringLiteral("p"));
        QVERIFY(!readLocalFont(path));
    }
    LocalFont untouched;
    QCOMPARE(fillLocalFont(notFont, untouched), -2);
    QCOMPARE(fillLocalFont(m_dir.filePath("fill/absent.ttf"), untouched), -2);
    QVERIFY(!readLocalFont(notFont));

    const auto read = readLocalFont(good);
    QVERIFY(read);
    QVERIFY(read->showName.isEmpty());
    QCOMPARE(read->psName, QStringLiteral("Alpha-Bold"));
}

void TestLocalFontScan::configuredDirectoriesFromFontconfig()
{
#ifdef Q_OS_WIN
    QSKIP("fontconfig folders are a Linux matter");
#else
    // A private configuration naming two folders; fontconfig reads FONTCONFIG_FILE.
    const QString a = m_dir.filePath("fc/one");
    const QString b = m_dir.filePath("fc/two");
    QDir().mkpath(a);
    QDir().mkpath(b);
    const QString conf = m_dir.filePath("fc/fonts.conf");
    QFile f(conf);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QString("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                    "<fontconfig><dir>%1</dir><dir>%2</dir><cachedir>%3</cachedir></fontconfig>\n")
                .arg(a, b, m_dir.filePath("fc/cache"))
                .toUtf8());
    f.close();
    put("fc/two/deep/x.ttf", font("X", "Regular", "X"));
    const QByteArray saved = qgetenv("FONTCONFIG_FILE");
    qputenv("FONTCONFIG_FILE", QFile::encodeName(conf));
    const QStringList dirs = fontDirectories();
    const QStringList files = fontFiles();
    if (saved.isNull())
        qunsetenv("FONTCONFIG_FILE");
    else
        qputenv("FONTCONFIG_FILE", saved);
    QCOMPARE(dirs, QStringList({a, b}));
    QCOMPARE(files, QStringList({b + "/deep/x.ttf"}));
#endif
}

QTEST_MAIN(TestLocalFontScan)
#include "tst_localfontscan.moc"
