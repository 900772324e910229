// Session font registration as other programs see it: a separate fc-match process,
// with the system's fontconfig configuration and a private HOME.
#include "platform/fontregistry.h"

#include "renamedfont.h"
#include "testenv.h"

#include <QtTest>

class TestFontRegistry : public QObject
{
    Q_OBJECT

private slots:
    void registeredFontIsSeenByOtherProcesses();
    void refusedFiles();
};

void TestFontRegistry::registeredFontIsSeenByOtherProcesses()
{
    if (!haveRealFont() || QStandardPaths::findExecutable("fc-match").isEmpty())
        QSKIP("needs fonts-dejavu-core and fontconfig");
    TestEnv env;
    const QString used = env.path("Documents/TessalyFont/downft/used");
    QVERIFY(QDir().mkpath(used));
    const QString font = used + "/quillora-tx.ttf";
    QVERIFY(writeRenamedFont(font, "Quillora Tx"));
    QVERIFY(!fcMatch("Quillora Tx").startsWith("Quillora Tx|"));

    QCOMPARE(registerFontFile(font), 1);
    announceFontChange();
    QVERIFY(QFileInfo(sessionFontDir() + "/quillora-tx.ttf").isSymLink());
    QVERIFY(sessionFontDir().startsWith(env.home() + "/runtime/"));
    QVERIFY(QFile::exists(sessionFontConfigFile()));
    const QString match = fcMatch("Quillora Tx");
    QVERIFY2(match == "Quillora Tx|" + sessionFontDir() + "/quillora-tx.ttf", qPrintable(match));

    // Registering the same file again reuses its link; another file of the same name
    // gets a name of its own.
    QCOMPARE(registerFontFile(font), 1);
    QVERIFY(QDir().mkpath(env.path("other")));
    QVERIFY(QFile::copy(font, env.path("other/quillora-tx.ttf")));
    QCOMPARE(registerFontFile(env.path("other/quillora-tx.ttf")), 1);
    QCOMPARE(QDir(sessionFontDir()).entryList(QDir::Files | QDir::System).size(), 2);

    // Logging out empties the runtime folder: the font is gone for new processes.
    QVERIFY(QDir(sessionFontDir()).removeRecursively());
    QVERIFY(!fcMatch("Quillora Tx").startsWith("Quillora Tx|"));
}

void TestFontRegistry::refusedFiles()
{
    TestEnv env;
    QCOMPARE(registerFontFile(env.path("missing.ttf")), 0);
    QFile junk(env.path("junk.ttf"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a font");
    junk.close();
    QCOMPARE(registerFontFile(junk.fileName()), 0);
    QVERIFY(!QDir(sessionFontDir()).exists() ||
            QDir(sessionFontDir()).entryList(QDir::Files | QDir::System).isEmpty());
}

QTEST_GUILESS_MAIN(TestFontRegistry)
#include "tst_fontregistry.moc"
