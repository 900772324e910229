// Session font registration as other programs see it: a separate fc-match process,
// with the system's fontconfig configuration and a private HOME.
#include "fontregistry.h"

#include "testenv.h"

#include <QtTest>

namespace {

const QString kSourceFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A copy of a real font whose family reads "Quillora Tx", so that only the registered
// copy can answer for it. The names are patched in place (same length), in both the
// UTF-16BE and the single-byte records.
bool writeRenamedFont(const QString &path)
{
    QFile in(kSourceFont);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = in.readAll();
    const QString from = "DejaVu Sans", to = "Quillora Tx";
    auto utf16be = [](const QString &s) {
        QByteArray out;
        for (QChar c : s)
            out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
        return out;
    };
    data.replace(from.toLatin1(), to.toLatin1());
    data.replace(utf16be(from), utf16be(to));
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

QString fcMatch(const QString &family)
{
    QProcess fc;
    fc.start("fc-match", {"-f", "%{family}|%{file}", family});
    fc.waitForFinished(60000);
    return QString::fromUtf8(fc.readAllStandardOutput());
}

} // namespace

class TestFontRegistry : public QObject
{
    Q_OBJECT

private slots:
    void registeredFontIsSeenByOtherProcesses();
    void refusedFiles();
};

void TestFontRegistry::registeredFontIsSeenByOtherProcesses()
{
    if (!QFile::exists(kSourceFont) || QStandardPaths::findExecutable("fc-match").isEmpty())
        QSKIP("needs fonts-dejavu-core and fontconfig");
    TestEnv env;
    const QString used = env.path("Documents/TessalyFont/downft/used");
    QVERIFY(QDir().mkpath(used));
    const QString font = used + "/quillora-tx.ttf";
    QVERIFY(writeRenamedFont(font));
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
