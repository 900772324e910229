// The font side of FtManager: installed and activated collections, availability
// and the catalogue lookup.
#include "fonts/ftmanager.h"
#include "fonts/localfontscan.h"
#include "sfntbuilder.h"
#include "testenv.h"
#include "testnet.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
LocalFont local(const QString &show, const QString &ps = QString())
{
    return LocalFont{show, show, show, QStringLiteral("Regular"), ps.isEmpty() ? show : ps};
}
} // namespace

class TestFtManager : public QObject
{
    Q_OBJECT

private:
    TestEnv m_env;

private slots:
    void installedKeepsFirstPerShowName();
    void installedFromScanResult();
    void availability_data();
    void availability();
    void activatedNamesAreUnique();
    void cloudLookup();
    void fontGroupAddReplacesInPlace();
};

void TestFtManager::installedKeepsFirstPerShowName()
{
    FtManager m;
    m.setInstalledFonts({local("A", "first"), local("B"), local("A", "second"), local("C")});
    QCOMPARE(m.installedFonts().size(), 3);
    QStringList order;
    for (const LocalFont *f : m.installedFonts())
        order << f->showName;
    QCOMPARE(order, QStringList({"A", "B", "C"}));
    QVERIFY(m.installedFont("A"));
    QCOMPARE(m.installedFont("A")->psName, QStringLiteral("first"));
    // The index and the list hold the same objects.
    QCOMPARE(m.installedFont("B"), m.installedFonts().at(1));
    QVERIFY(!m.installedFont("D"));

    // A second hand-over replaces, never accumulates.
    m.setInstalledFonts({local("D")});
    QCOMPARE(m.installedFonts().size(), 1);
    QVERIFY(!m.installedFont("A"));
    QVERIFY(m.installedFont("D"));
}

void TestFtManager::installedFromScanResult()
{
    QTemporaryDir dir;
    using B = SfntBuilder;
    QVERIFY(B().addEnglishBasics("Zulu", "Regular", "Zulu").write(dir.filePath("a.ttf")));
    QVERIFY(B().addWindows(B::ChinesePRC, 1, QString::fromUtf8("宋体"))
                .addWindows(B::ChinesePRC, 2, "Regular")
                .addWindows(B::English, 6, "Song")
                .write(dir.filePath("b.ttf")));
    QVERIFY(B().addEnglishBasics("Alpha", "Bold", "Alpha-Bold").write(dir.filePath("c.ttf")));

    ThreadForLocalFonts thread;
    thread.setFolders({dir.path()});
    thread.start();
    QVERIFY(thread.wait(kEventWaitMs));
    FtManager m;
    m.setInstalledFonts(thread.localFonts());
    QStringList order;
    for (const LocalFont *f : m.installedFonts())
        order << f->showName;
    QCOMPARE(order, QStringList({"Zulu", "Alpha Bold", QString::fromUtf8("宋体")}));
    m.bLogin = true;
    QVERIFY(m.isAvailable(QString::fromUtf8("宋体")));
}

void TestFtManager::availability_data()
{
    QTest::addColumn<bool>("login");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("activated");
    QTest::newRow("installed, signed out") << false << "Installed" << false << false;
    QTest::newRow("activated, signed out") << false << "Cloud One" << false << true;
    QTest::newRow("installed, signed in") << true << "Installed" << true << false;
    QTest::newRow("activated, signed in") << true << "Cloud One" << true << true;
    QTest::newRow("unknown, signed in") << true << "Nothing" << false << false;
    // Activated records are indexed by the name activated under, not showName.
    QTest::newRow("activated file's own name") << true << "File Family" << false << false;
}

void TestFtManager::availability()
{
    QFETCH(bool, login);
    QFETCH(QString, name);
    QFETCH(bool, available);
    QFETCH(bool, activated);
    FtManager m;
    m.setInstalledFonts({local("Installed")});
    QVERIFY(m.addActivated("Cloud One",
                           LocalFont{QString(), "File Family", "File Family", "Bold", "FF-Bold"},
                           "/tmp/used/one.ttf"));
    m.bLogin = login;
    QCOMPARE(m.isAvailable(name), available);
    QCOMPARE(m.isActivated(name), activated);
}

void TestFtManager::activatedNamesAreUnique()
{
    FtManager m;
    QVERIFY(m.addActivated("One", local("", "first"), "/a/one.ttf"));
    QVERIFY(m.addActivated("Two", local("", "two"), "/a/two.ttf"));
    QVERIFY(!m.addActivated("One", local("", "second"), "/b/one.ttf"));
    QCOMPARE(m.activatedFonts().size(), 2);
    QCOMPARE(m.activatedFont("One")->psName, QStringLiteral("first"));
    QCOMPARE(m.activatedFont("One"), m.activatedFonts().at(0));
    QCOMPARE(m.downlist.value("One"), QStringLiteral("/a/one.ttf"));
    QCOMPARE(m.downlist.keys(), QStringList({"One", "Two"}));
}

void TestFtManager::cloudLookup()
{
    FtManager m;
    QVERIFY(!m.cloudFont("A").has_value());
    FontAV a;
    a.fontname = "A";
    a.fontid = 7;
    m.cloudFonts.insert(a.fontname, a);
    a.fontid = 8; // a later record of the same name replaces the earlier one
    m.cloudFonts.insert(a.fontname, a);
    QVERIFY(m.cloudFont("A").has_value());
    QCOMPARE(m.cloudFont("A")->fontid, 8);
    QCOMPARE(m.cloudFont("A")->tagid, QStringLiteral(""));
    QVERIFY(!m.cloudFont("A")->tagid.isNull());
    QVERIFY(!m.cloudFont("a").has_value());
}

void TestFtManager::fontGroupAddReplacesInPlace()
{
    FontGroup g;
    for (const char *n : {"x", "y", "z"}) {
        FontAV f;
        f.fontname = n;
        g.add(f);
    }
    FontAV y;
    y.fontname = "y";
    y.fontid = 42;
    g.add(y);
    QCOMPARE(g.size(), 3);
    QCOMPARE(g.fonts().at(1).fontid, 42);
    g.remove("x");
    QVERIFY(!g.contains("x"));
    QCOMPARE(g.fonts().first().fontname, QStringLiteral("y"));
}

QTEST_GUILESS_MAIN(TestFtManager)
#include "tst_ftmanager.moc"
