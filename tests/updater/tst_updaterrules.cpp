// The updater's rules and its copy worker, without a window.
#include "sfileworker.h"
#include "updaterules.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every path below root, folders ending in '/', sorted.
QStringList tree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        QString relative = QDir(root).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            relative += QLatin1Char('/');
        paths << relative;
    }
    paths.sort();
    return paths;
}
} // namespace

class TestUpdaterRules : public QObject
{
    Q_OBJECT

private slots:
    void downloadPercent_data();
    void downloadPercent();
    void copyProgressValue_data();
    void copyProgressValue();
    void quotedPathSplitsBack_data();
    void quotedPathSplitsBack();
    void packageFileName_data();
    void packageFileName();
    void argumentsAreUtf8();
    void privateDirectory();
    void emptyDirectoryRemovesEverything();

    void copyFractions_data();
    void copyFractions();
    void copyOverwritesAndKeepsPermissions();
    void copyWithoutOverwriteRefusesExisting();
    void failedCopyKeepsOldFile();
    void targetTakenByFolderFails();
};

void TestUpdaterRules::downloadPercent_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("percent");
    QTest::newRow("half of 100 bytes") << qint64(50) << qint64(100) << 45;
    QTest::newRow("complete") << qint64(100) << qint64(100) << 90;
    QTest::newRow("nothing yet") << qint64(0) << qint64(100) << 0;
    QTest::newRow("truncated, not rounded") << qint64(99) << qint64(100) << 89;
    QTest::newRow("beyond 4 GiB") << qint64(3) * 1024 * 1024 * 1024 * 2
                                  << qint64(4) * 1024 * 1024 * 1024 * 2 << 67;
    QTest::newRow("total zero") << qint64(50) << qint64(0) << 0;
    QTest::newRow("total unknown") << qint64(50) << qint64(-1) << 0;
    QTest::newRow("more than the total") << qint64(150) << qint64(100) << 0;
    QTest::newRow("negative count") << qint64(-1) << qint64(100) << 0;
}

void TestUpdaterRules::downloadPercent()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, percent);
    QCOMPARE(::downloadPercent(received, total), percent);
}

void TestUpdaterRules::copyProgressValue_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<int>("value");
    QTest::newRow("start") << 0.0 << 90;
    QTest::newRow("quarter, truncated") << 0.25 << 92;
    QTest::newRow("half") << 0.5 << 95;
    QTest::newRow("end") << 1.0 << 100;
    QTest::newRow("past the end") << 2.5 << 100;
    QTest::newRow("negative") << -1.0 << 90;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 90;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 100;
}

void TestUpdaterRules::copyProgressValue()
{
    QFETCH(double, fraction);
    QFETCH(int, value);
    QCOMPARE(::copyProgressValue(fraction), value);
}

void TestUpdaterRules::quotedPathSplitsBack_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("no blank") << "/opt/quillora/quillora"
                              << "/opt/quillora/quillora";
    QTest::newRow("one blank") << "/home/u/Quillora App/quillora"
                               << "/home/u/Quillora\" \"App/quillora";
    QTest::newRow("blank in folder and file") << "/a b/c d"
                                              << "/a\" \"b/c\" \"d";
    QTest::newRow("two blanks in a row") << "/a  b/quillora"
                                         << "/a\" \"\" \"b/quillora";
    QTest::newRow("Windows folder") << "C:/Program Files (x86)/Quillora/Quillora.exe"
                                    << "C:/Program\" \"Files\" \"(x86)/Quillora/Quillora.exe";
}

void TestUpdaterRules::quotedPathSplitsBack()
{
    QFETCH(QString, path);
    QFETCH(QString, quoted);
    QCOMPARE(quoteBlanks(path), quoted);
    // The command string is split the way the detached start splits it.
    QCOMPARE(QProcess::splitCommand(quoteBlanks(path)), QStringList{path});
}

void TestUpdaterRules::packageFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "https://host/pkg/update_0.9.6.zip"
                           << "update_0.9.6.zip";
    QTest::newRow("decoded") << "http://host/a/Quillora%20Update.zip"
                             << "Quillora Update.zip";
    QTest::newRow("query ignored") << "http://host/u.zip?sig=1"
                                   << "u.zip";
    QTest::newRow("no file part") << "http://host/pkg/"
                                  << "update.zip";
    QTest::newRow("no path") << "http://host"
                             << "update.zip";
    QTest::newRow("encoded slash") << "http://host/a/..%2F..%2Fevil.zip"
                                   << "evil.zip";
    QTest::newRow("encoded dot dot") << "http://host/a/%2E%2E"
                                     << "update.zip";
    QTest::newRow("backslash") << "http://host/a/..%5C..%5Cevil.zip"
                               << "update.zip";
    QTest::newRow("drive or stream") << "http://host/a/c:evil.zip"
                                     << "update.zip";
}

void TestUpdaterRules::packageFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(::packageFileName(QUrl(url, QUrl::TolerantMode)), name);
}

void TestUpdaterRules::argumentsAreUtf8()
{
    QByteArray program("vantorel");
    QByteArray app = QStringLiteral("/home/用户/字体 工具/quillora").toUtf8();
    QByteArray url("https://host/u.zip");
    char *argv[] = {program.data(), app.data(), url.data()};
    const QStringList args = argumentsFromUtf8(3, argv);
    QCOMPARE(args, (QStringList{"vantorel", QStringLiteral("/home/用户/字体 工具/quillora"),
                                "https://host/u.zip"}));
}

void TestUpdaterRules::privateDirectory()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());

    const QString fresh = root.filePath("a/quillora");
    QVERIFY(ensurePrivateDirectory(fresh));
    QVERIFY(QFileInfo(fresh).isDir());
#ifdef Q_OS_UNIX
    QCOMPARE(QFileInfo(fresh).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());

    // Left writable for others by someone: tightened before use.
    const QString open = root.filePath("open");
    QVERIFY(QDir().mkdir(open));
    QVERIFY(QFile::setPermissions(open, QFile::Permissions(0x7777)));
    QVERIFY(ensurePrivateDirectory(open));
    QVERIFY(!(QFileInfo(open).permissions() & QFile::WriteOther));

    // A link planted in place of the folder is refused, whatever it points to.
    const QString link = root.filePath("link");
    QVERIFY(QFile::link(fresh, link));
    QVERIFY(!ensurePrivateDirectory(link));
#endif
    QVERIFY(writeFile(root.filePath("file"), "x"));
    QVERIFY(!ensurePrivateDirectory(root.filePath("file")));
}

void TestUpdaterRules::emptyDirectoryRemovesEverything()
{
    QTemporaryDir root;
    const QString dir = root.filePath("upzip");
    const QString outside = root.filePath("outside");
    QVERIFY(writeFile(dir + "/old.txt", "1"));
    QVERIFY(writeFile(dir + "/.hidden", "2"));
    QVERIFY(writeFile(dir + "/sub/deep/f.bin", "3"));
    QVERIFY(writeFile(outside + "/precious.txt", "keep"));
#ifdef Q_OS_UNIX
    // A link inside is removed, not followed.
    QVERIFY(QFile::link(outside, dir + "/to-outside"));
#endif
    QVERIFY(emptyDirectory(dir));
    QVERIFY(QFileInfo(dir).isDir());
    QCOMPARE(tree(dir), QStringList());
    QCOMPARE(readFile(outside + "/precious.txt"), QByteArray("keep"));
    QVERIFY(!emptyDirectory(root.filePath("missing")));
}

void TestUpdaterRules::copyFractions_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<double>>("fractions");
    QTest::addColumn<int>("overs");
    QTest::newRow("files only") << QStringList{"a.txt", "b.txt"} << QList<double>{1.0} << 1;
    QTest::newRow("empty folder") << QStringList{} << QList<double>{1.0} << 1;
    QTest::newRow("one subfolder")
        << QStringList{"a.txt", "fonts/x.ttf"} << QList<double>{0.0, 1.0} << 1;
    QTest::newRow("two subfolders")
        << QStringList{"z.txt", "fonts/x.ttf", "lib/y.so"} << QList<double>{0.0, 0.5, 1.0} << 1;
    // Folders below the first level do not count, so the fraction never passes 1
    // and never starts over.
    QTest::newRow("nested folders")
        << QStringList{"a/b/c/d.txt", "a/b/e.txt", "k/l/m.txt", "q/r.txt", "top.txt"}
        << QList<double>{0.0, 1.0 / 3, 2.0 / 3, 1.0} << 1;
}

void TestUpdaterRules::copyFractions()
{
    QFETCH(QStringList, files);
    QFETCH(QList<double>, fractions);
    QFETCH(int, overs);

    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(QDir().mkpath(source));
    for (const QString &file : files)
        QVERIFY(writeFile(source + "/" + file, file.toUtf8()));

    SFileWorker worker;
    QSignalSpy stations(&worker, &SFileWorker::sigCopyDirStation);
    QSignalSpy over(&worker, &SFileWorker::sigCopyDirOver);
    QVERIFY(worker.copyDirectoryFiles(source, target, true));

    QList<double> seen;
    for (const QList<QVariant> &args : qAsConst(stations))
        seen << args.at(0).toDouble();
    QCOMPARE(seen, fractions);
    QCOMPARE(over.count(), overs);
    QCOMPARE(tree(target), tree(source));
    for (const QString &file : files)
        QCOMPARE(readFile(target + "/" + file), file.toUtf8());

    // A second run on the same worker counts from the start again.
    stations.clear();
    QVERIFY(worker.copyDirectoryFiles(source, target, true));
    QCOMPARE(stations.count(), fractions.size());
    QCOMPARE(stations.first().at(0).toDouble(), fractions.first());
}

void TestUpdaterRules::copyOverwritesAndKeepsPermissions()
{
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/quillora", "new program"));
    QVERIFY(writeFile(source + "/fonts/new.txt", "new"));
    QVERIFY(writeFile(target + "/quillora", "old program"));
    QVERIFY(writeFile(target + "/mine.txt", "untouched"));
    const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::ExeOther;
    QVERIFY(QFile::setPermissions(target + "/quillora", executable));

    SFileWorker worker;
    QVERIFY(worker.copyDirectoryFiles(source, target, true));
    QCOMPARE(readFile(target + "/quillora"), QByteArray("new program"));
    QCOMPARE(readFile(target + "/fonts/new.txt"), QByteArray("new"));
    QCOMPARE(readFile(target + "/mine.txt"), QByteArray("untouched"));
    // Unpacked files carry no execute bit; the installed program must keep its own.
    QVERIFY(QFileInfo(target + "/quillora").permissions() & QFile::ExeOwner);
    QCOMPARE(tree(target), (QStringList{"fonts/", "fonts/new.txt", "mine.txt", "quillora"}));
}

void TestUpdaterRules::copyWithoutOverwriteRefusesExisting()
{
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/a.txt", "new"));
    QVERIFY(writeFile(target + "/a.txt", "old"));
    SFileWorker worker;
    QVERIFY(!worker.copyDirectoryFiles(source, target, false));
    QCOMPARE(readFile(target + "/a.txt"), QByteArray("old"));
}

void TestUpdaterRules::failedCopyKeepsOldFile()
{
#ifndef Q_OS_LINUX
    QSKIP("needs /proc");
#else
    // Reading a process's memory at offset 0 fails with an I/O error even for
    // root, so this source file cannot be copied however the tests are run.
    if (!QFileInfo::exists("/proc/self/mem"))
        QSKIP("no /proc/self/mem");
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/a.txt", "new a"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(QFile::link("/proc/self/mem", source + "/b.bin"));
    QVERIFY(writeFile(source + "/c.txt", "new c"));
    QVERIFY(writeFile(target + "/b.bin", "old b"));
    QVERIFY(writeFile(target + "/c.txt", "old c"));

    SFileWorker worker;
    QVERIFY(!worker.copyDirectoryFiles(source, target, true));
    QCOMPARE(readFile(target + "/a.txt"), QByteArray("new a")); // copied before the failure
    QCOMPARE(readFile(target + "/b.bin"), QByteArray("old b")); // not destroyed
    QCOMPARE(readFile(target + "/c.txt"), QByteArray("old c")); // the copy stopped
    QCOMPARE(tree(target), (QStringList{"a.txt", "b.bin", "c.txt"}));
#endif
}

void TestUpdaterRules::targetTakenByFolderFails()
{
    // The closest thing on Linux to a locked file: the name cannot be replaced.
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/data.bin", "new"));
    QVERIFY(writeFile(target + "/data.bin/inside.txt", "old"));
    SFileWorker worker;
    QVERIFY(!worker.copyDirectoryFiles(source, target, true));
    QCOMPARE(readFile(target + "/data.bin/inside.txt"), QByteArray("old"));
    QCOMPARE(tree(target), (QStringList{"data.bin/", "data.bin/inside.txt"}));
}

QTEST_GUILESS_MAIN(TestUpdaterRules)
#include "tst_updaterrules.moc"
