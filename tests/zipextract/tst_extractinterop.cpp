// quillora-cli extract against archives made by other zip tools, with Info-ZIP
// unzip's output as the reference.
#include "testenv.h"
#include "ziptestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QString &program, const QStringList &args, const QString &cwd = QString())
{
    QProcess p;
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    p.start(program, args);
    Result r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

const char kPython[] = R"(
import sys, os, zipfile
out, mode, src = sys.argv[1], sys.argv[2], sys.argv[3]
method = zipfile.ZIP_STORED if mode == 'stored' else zipfile.ZIP_DEFLATED
with zipfile.ZipFile(out, 'w', method) as z:
    for root, dirs, files in sorted(os.walk(src)):
        rel = os.path.relpath(root, src)
        if rel != '.' and mode != 'nodirs':
            z.write(root, rel + '/')
        for f in sorted(files):
            path = os.path.join(root, f)
            name = os.path.relpath(path, src)
            if mode == 'zip64':
                with open(path, 'rb') as fh, z.open(name, 'w', force_zip64=True) as dst:
                    dst.write(fh.read())
            else:
                z.write(path, name)
)";

} // namespace

class TestExtractInterop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exitCodes_data();
    void exitCodes();
    void matchesUnzip_data();
    void matchesUnzip();
    void hostileNamesStayInside();

private:
    QString m_cli = QStringLiteral(QUILLORA_CLI);
    TestEnv *m_env = nullptr;
    QTemporaryDir *m_tmp = nullptr;
    QString m_src;
};

void TestExtractInterop::initTestCase()
{
    QVERIFY(QFileInfo(m_cli).isExecutable());
}

void TestExtractInterop::init()
{
    m_env = new TestEnv;
    m_tmp = new QTemporaryDir;
    QVERIFY(m_tmp->isValid());
    m_src = m_tmp->filePath("src");
    const QMap<QString, QByteArray> files{
        {"fonts/Regular.ttf", sampleBytes(90000, 51)},
        {"fonts/sub/Bold.otf", sampleBytes(12345, 52)},
        {QString::fromUtf8("fonts/楷体 常规.ttf"), sampleBytes(4000, 53)},
        {"deep/x/y/z.ttf", sampleBytes(8192, 54)},
        {"empty.ttf", QByteArray()},
        {"readme.txt", QByteArray("Fonts for testing.\n")}};
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = m_src + '/' + it.key();
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
    QVERIFY(QDir().mkpath(m_src + "/emptydir"));
}

void TestExtractInterop::cleanup()
{
    if (m_tmp)
        removeTree(m_tmp->path());
    delete m_tmp;
    m_tmp = nullptr;
    delete m_env;
    m_env = nullptr;
}

void TestExtractInterop::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("firstLine");

    QTest::newRow("needs the password")
        << QStringList{"@ZIP@", "@DIR@"} << 1 << QByteArray("@ZIP@ opened");
    QTest::newRow("wrong password")
        << QStringList{"@ZIP@", "@DIR@", "--password=px"} << 1 << QByteArray("@ZIP@ opened");
    QTest::newRow("password after")
        << QStringList{"@ZIP@", "@DIR@", "--password", "pw"} << 0 << QByteArray("@ZIP@ opened");
    QTest::newRow("password before")
        << QStringList{"--password", "pw", "@ZIP@", "@DIR@"} << 0 << QByteArray("@ZIP@ opened");
    QTest::newRow("missing archive") << QStringList{"@ZIP@.none", "@DIR@"} << 1
                                     << QByteArray("Cannot open @ZIP@.none or @ZIP@.none.zip");
    QTest::newRow("missing directory")
        << QStringList{"@ZIP@", "@DIR@/none"} << 1 << QByteArray("@ZIP@ opened");
    QTest::newRow("no arguments") << QStringList{} << 2 << QByteArray();
    QTest::newRow("one argument") << QStringList{"@ZIP@"} << 2 << QByteArray();
    QTest::newRow("three arguments") << QStringList{"@ZIP@", "@DIR@", "x"} << 2 << QByteArray();
    QTest::newRow("password without value")
        << QStringList{"@ZIP@", "@DIR@", "--password"} << 2 << QByteArray();
    QTest::newRow("unknown option")
        << QStringList{"@ZIP@", "@DIR@", "--force"} << 2 << QByteArray();
}

void TestExtractInterop::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, firstLine);

    const QString zip = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(zip, {rawFile("f.ttf", "data")}, "pw"));
    const QString dir = m_tmp->filePath("out");
    QVERIFY(QDir().mkpath(dir));
    args.replaceInStrings("@ZIP@", zip).replaceInStrings("@DIR@", dir);
    firstLine.replace("@ZIP@", QFile::encodeName(zip));

    const Result r = run(m_cli, QStringList{"extract"} + args);
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY(r.err.startsWith("usage: quillora-cli extract ARCHIVE DIR [--password TEXT]"));
        QVERIFY(r.out.isEmpty());
    } else {
        QCOMPARE(r.out.split('\n').value(0), firstLine);
    }
}

void TestExtractInterop::matchesUnzip_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("toolArgs"); // @OUT@: archive path, @SRC@: source folder
    QTest::addColumn<QString>("password");

    const QStringList all{"fonts", "deep", "emptydir", "empty.ttf", "readme.txt"};
    QTest::newRow("zip -r") << "zip" << QStringList{"-qr", "@OUT@"} + all << QString();
    QTest::newRow("zip -r -0") << "zip" << QStringList{"-qr0", "@OUT@"} + all << QString();
    QTest::newRow("zip -r -9 -D") << "zip" << QStringList{"-qr9D", "@OUT@"} + all << QString();
    QTest::newRow("zip -r -P") << "zip" << QStringList{"-qr", "-P", "Pa55", "@OUT@"} + all
                               << QString("Pa55");
    QTest::newRow("zip -r -0 -P") << "zip" << QStringList{"-qr0", "-P", "Pa55", "@OUT@"} + all
                                  << QString("Pa55");
    QTest::newRow("zip -fz") << "zip" << QStringList{"-qr", "-fz", "@OUT@"} + all << QString();
    QTest::newRow("zip -fz -0") << "zip" << QStringList{"-qr0", "-fz", "@OUT@"} + all << QString();
    QTest::newRow("zip -fz -P") << "zip" << QStringList{"-qr", "-fz", "-P", "Pa55", "@OUT@"} + all
                                << QString("Pa55");
    QTest::newRow("python deflated") << "python3" << QStringList{"deflated"} << QString();
    QTest::newRow("python stored") << "python3" << QStringList{"stored"} << QString();
    QTest::newRow("python no directory entries") << "python3" << QStringList{"nodirs"} << QString();
    QTest::newRow("python zip64") << "python3" << QStringList{"zip64"} << QString();
    QTest::newRow("jar") << "jar" << QStringList{"cf", "@OUT@"} + all << QString();
    QTest::newRow("jar stored, no manifest")
        << "jar" << QStringList{"cf0M", "@OUT@"} + all << QString();
}

void TestExtractInterop::matchesUnzip()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, toolArgs);
    QFETCH(QString, password);
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("Info-ZIP unzip is needed");
    if (QStandardPaths::findExecutable(tool).isEmpty())
        QSKIP(qPrintable(tool + " is not installed"));

    const QString archive = m_tmp->filePath("made.zip");
    toolArgs.replaceInStrings("@OUT@", archive);
    const Result made =
        tool == "python3" ? run(tool, QStringList{"-c", kPython, archive, toolArgs.value(0), m_src})
                          : run(tool, toolArgs, m_src);
    QVERIFY2(made.exitCode == 0, made.err.constData());

    const QString byUnzip = m_tmp->filePath("unzip");
    const QString byCli = m_tmp->filePath("cli");
    QVERIFY(QDir().mkpath(byUnzip));
    QVERIFY(QDir().mkpath(byCli));
    QStringList unzipArgs{"-q", "-o"};
    QStringList cliArgs{"extract", archive, byCli};
    if (!password.isEmpty()) {
        unzipArgs << "-P" << password;
        cliArgs << "--password" << password;
    }
    const Result u = run("unzip", unzipArgs + QStringList{archive, "-d", byUnzip});
    QVERIFY2(u.exitCode == 0, u.err.constData());
    const Result c = run(m_cli, cliArgs);
    QCOMPARE(c.exitCode, 0);
    QVERIFY2(!c.out.contains("error"), c.out.constData());

    auto expected = readTree(byUnzip);
    auto got = readTree(byCli);
    QVERIFY(expected.contains("fonts/sub/Bold.otf"));
    if (tool == "jar") {
        // Debian's unzip 6.0 reads names of archives marked as made on FAT as
        // OEM text even when they are flagged UTF-8, so it is no reference for
        // the non-ASCII name here; the source tree is.
        const auto nonAscii = [](const QString &key) {
            return std::any_of(key.begin(), key.end(),
                               [](QChar ch) { return ch.unicode() > 0x7f; });
        };
        for (auto *tree : {&expected, &got}) {
            for (const QString &key : tree->keys())
                if (nonAscii(key))
                    tree->remove(key);
        }
    }
    QCOMPARE(got, expected);

    auto source = readTree(m_src);
    auto fromCli = readTree(byCli);
    fromCli.remove("META-INF/");
    fromCli.remove("META-INF/MANIFEST.MF");
    if (toolArgs.value(0) == "nodirs" || toolArgs.value(0) == "-qr9D")
        source.remove("emptydir/"); // made without directory entries
    QCOMPARE(fromCli, source);
}

void TestExtractInterop::hostileNamesStayInside()
{
    if (QStandardPaths::findExecutable("python3").isEmpty())
        QSKIP("python3 is needed to write the archive");
    const QString archive = m_tmp->filePath("hostile.zip");
    const QString outside = m_tmp->filePath("outside");
    const char script[] = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for name in ['../up.ttf', sys.argv[2] + '/abs.ttf', 'a/../../up2.ttf', 'ok.ttf']:
        zinfo = zipfile.ZipInfo(name)
        zinfo.filename = name  # keep the name exactly as given
        z.writestr(zinfo, b'payload')
)";
    QVERIFY(run("python3", {"-c", script, archive, outside}).exitCode == 0);
    QVERIFY(QDir().mkpath(outside));
    const QString target = m_tmp->filePath("box/target");
    QVERIFY(QDir().mkpath(target));

    const Result c = run(m_cli, {"extract", archive, target});
    QCOMPARE(c.exitCode, 0);
    QCOMPARE(c.out.count("name leaves the target directory"), 3);
    QCOMPARE(readTree(m_tmp->filePath("box")).keys(), (QStringList{"target/", "target/ok.ttf"}));
    QVERIFY(readTree(outside).isEmpty());
    QVERIFY(!QFileInfo::exists(m_tmp->filePath("up.ttf")));
}

QTEST_GUILESS_MAIN(TestExtractInterop)
#include "tst_extractinterop.moc"
