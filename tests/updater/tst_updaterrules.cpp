// The updater's rules and its copy worker, without a window.
#include "updater/sfileworker.h"
#include "updatertestutil.h"
#include "updater/updaterules.h"

#include <QtTest>

#include <limits>

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
    void copyFractions_data();
    void copyFractions();
    void copyOverwritesAndKeepsPermissions();
    void failedCopyKeepsOldFile();
};

void TestUpdaterRules::downloadPercent_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("percent");
    QTest::newRow("half of 100 bytes") << qint64(50) << qint64(100) << 45;
    QTest::newRow("complete") << qint64(100) << qint64(100) << 90;
    QTest::newRow("truncated, not rounded") << qint64(99) << qint64(100) << 89;
    QTest::newRow("beyond 4 GiB") << (qint64(6) << 30) << (qint64(8) << 30) << 67;
    QTest::newRow("total zero") << qint64(50) << qint64(0) << 0;
    QTest::newRow("total unknown") << qint64(50) << qint64(-1) << 0;
    QTest::newRow("more than the total") << qint64(150) << qint64(100) << 0;
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
    QTest::newRow("end") << 1.0 << 100;
    QTest::newRow("past the end") << 2.5 << 100;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 90;
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
    QTest::newRow("blank in folder and file") << "/a b/c d"
                                              << "/a\" \"b/c\" \"d";
    QTest::newRow("two blanks in a row") << "/a  b/quillora"
                                         << "/a\" \"\" \"b/quillora";
}

void TestUpdaterRules::quotedPathSplitsBack()
{
    QFETCH(QString, path);
    QFETCH(QString, quoted);
    QCOMPARE(quoteBlanks(path), quoted);
    // Split the way the detached start splits its command.
    QCOMPARE(QProcess::splitCommand(quoteBlanks(path)), QStringList{path});
}

void TestUpdaterRules::packageFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("decoded") << "http://host/a/Quillora%20Update.zip?s=1"
                             << "Quillora Update.zip";
    QTest::newRow("no file part") << "http://host/pkg/"
                                  << "update.zip";
    QTest::newRow("encoded slash") << "http://host/a/..%2F..%2Fevil.zip"
                                   << "evil.zip";
    QTest::newRow("encoded dot dot") << "http://host/a/%2E%2E"
                                     << "update.zip";
    QTest::newRow("backslash") << "http://host/a/..%5C..%5Cevil.zip"
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
    char *argv[] = {program.data(), app.data()};
    QCOMPARE(argumentsFromUtf8(2, argv),
             (QStringList{"vantorel", QStringLiteral("/home/用户/字体 工具/quillora")}));
}

void TestUpdaterRules::privateDirectory()
{
    QTemporaryDir root;
    const QString fresh = root.filePath("a/quillora");
    QVERIFY(ensurePrivateDirectory(fresh));
    QVERIFY(QFileInfo(fresh).isDir());
    QVERIFY(writeFile(root.filePath("file"), "x"));
    QVERIFY(!ensurePrivateDirectory(root.filePath("file")));
#ifdef Q_OS_UNIX
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFileInfo(fresh).permissions() & others, QFile::Permissions());
    // Left open to others: tightened before use.
    const QString open = root.filePath("open");
    QVERIFY(QDir().mkdir(open));
    QVERIFY(QFile::setPermissions(open, QFile::Permissions(0x7777)));
    QVERIFY(ensurePrivateDirectory(open));
    QVERIFY(!(QFileInfo(open).permissions() & QFile::WriteOther));
    // A link planted in place of the folder is refused, whatever it points to.
    QVERIFY(QFile::link(fresh, root.filePath("link")));
    QVERIFY(!ensurePrivateDirectory(root.filePath("link")));
#endif
}

void TestUpdaterRules::copyFractions_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<double>>("fractions");
    QTest::newRow("files only") << QStringList{"a.txt", "b.txt"} << QList<double>{1.0};
    QTest::newRow("empty folder") << QStringList{} << QList<double>{1.0};
    QTest::newRow("two subfolders")
        << QStringList{"z.txt", "fonts/x.ttf", "lib/y.so"} << QList<double>{0.0, 0.5, 1.0};
    // Deeper folders do not count: the fraction never passes 1 or starts over.
    QTest::newRow("nested folders")
        << QStringList{"a/b/c/d.txt", "a/b/e.txt", "k/l/m.txt", "q/r.txt", "top.txt"}
        << QList<double>{0.0, 1.0 / 3, 2.0 / 3, 1.0};
}

void TestUpdaterRules::copyFractions()
{
    QFETCH(QStringList, files);
    QFETCH(QList<double>, fractions);
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
    QCOMPARE(over.count(), 1);
    QCOMPARE(tree(target), tree(source));
    for (const QString &file : files)
        QCOMPARE(readFile(target + "/" + file), file.toUtf8());
}

void TestUpdaterRules::copyOverwritesAndKeepsPermissions()
{
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/quillora", "new program"));
    QVERIFY(writeFile(target + "/quillora", "old program"));
    QVERIFY(writeFile(target + "/mine.txt", "untouched"));
    QVERIFY(QFile::setPermissions(target + "/quillora",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    SFileWorker worker;
    QVERIFY(worker.copyDirectoryFiles(source, target, true));
    QCOMPARE(readFile(target + "/quillora"), QByteArray("new program"));
    // Unpacked files carry no execute bit; the installed program keeps its own.
    QVERIFY(QFileInfo(target + "/quillora").permissions() & QFile::ExeOwner);
    QCOMPARE(tree(target), (QStringList{"mine.txt", "quillora"}));
}

void TestUpdaterRules::failedCopyKeepsOldFile()
{
#ifndef Q_OS_LINUX
    QSKIP("needs /proc");
#else
    // Reading a process's memory at offset 0 fails with an I/O error even for
    // root, so this source cannot be copied however the tests are run.
    if (!QFileInfo::exists("/proc/self/mem"))
        QSKIP("no /proc/self/mem");
    QTemporaryDir root;
    const QString source = root.filePath("upzip");
    const QString target = root.filePath("install");
    QVERIFY(writeFile(source + "/a.txt", "new a"));
    QVERIFY(QFile::link("/proc/self/mem", source + "/b.bin"));
    QVERIFY(writeFile(source + "/c.txt", "new c"));
    QVERIFY(writeFile(source + "/0new/n.txt", "new n"));
    QVERIFY(writeFile(target + "/a.txt", "old a"));
    QVERIFY(writeFile(target + "/b.bin", "old b"));
    QVERIFY(writeFile(target + "/c.txt", "old c"));

    SFileWorker worker;
    QVERIFY(!worker.copyDirectoryFiles(source, target, true));
    // All or nothing: what was replaced or added before the failure is undone.
    QCOMPARE(readFile(target + "/a.txt"), QByteArray("old a"));
    QCOMPARE(readFile(target + "/b.bin"), QByteArray("old b"));
    QCOMPARE(readFile(target + "/c.txt"), QByteArray("old c"));
    QCOMPARE(tree(target), (QStringList{"a.txt", "b.bin", "c.txt"}));
#endif
}

QTEST_GUILESS_MAIN(TestUpdaterRules)
#include "tst_updaterrules.moc"
