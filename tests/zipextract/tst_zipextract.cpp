#include "testenv.h"
#include "ziptestutil.h"

#include "testfiles.h"
#include "zipextract/zipcrypto.h"
#include "zipextract/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>
#include <unistd.h>
#include <zlib.h>

using Tree = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(Tree)

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestZipExtract : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void extractsTree_data();
    void extractsTree();
    void overwritesExistingFile();
    void zipSuffixRetry();
    void unopenableArchive();
    void missingTargetDirectory();
    void damagedEntryStopsExtraction_data();
    void damagedEntryStopsExtraction();
    void wrongPassword_data();
    void wrongPassword();
    void entryFailures_data();
    void entryFailures();
    void entryNamesLeavingTarget_data();
    void entryNamesLeavingTarget();
    void symlinksInTargetAreNotFollowed();
    void overlongEntryNameSkipped();
    void unzipReadsProtectedArchives();
    void hostileArchives_data();
    void hostileArchives();
    void zip64EntryOver4GiB();

private:
    TestEnv *m_env = nullptr;
    QTemporaryDir *m_tmp = nullptr;
    QString m_savedCwd;
    QString m_target;
};

void TestZipExtract::init()
{
    m_savedCwd = QDir::currentPath();
    m_env = new TestEnv;
    m_tmp = new QTemporaryDir;
    QVERIFY(m_tmp->isValid());
    m_target = m_tmp->filePath("target");
    QVERIFY(QDir().mkpath(m_target));
}

void TestZipExtract::cleanup()
{
    QDir::setCurrent(m_savedCwd);
    delete m_tmp;
    m_tmp = nullptr;
    delete m_env;
    m_env = nullptr;
}

void TestZipExtract::extractsTree_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QList<QByteArray>>("directories");
    QTest::addColumn<Tree>("files");

    const Tree withDirs{{"fonts/a.ttf", sampleBytes(30000, 1)}, {"fonts/b.otf", sampleBytes(7, 2)}};
    const Tree noDirs{{"a/b/c.ttf", sampleBytes(5000, 3)}, {"top.ttf", sampleBytes(100, 4)}};
    const Tree edgeSizes{{"empty.ttf", QByteArray()},
                         {"one.ttf", QByteArray("x")},
                         {"buffer.ttf", sampleBytes(8192, 5)},
                         {"large.ttf", sampleBytes(300000, 6)}};
    const Tree utf8{{QString::fromUtf8("字体/楷体.ttf"), sampleBytes(2000, 7)}};

    for (const QString &pw : {QString(), QStringLiteral("s3cret"), QString::fromUtf8("пароль字")}) {
        const QByteArray tag = pw.isEmpty() ? "plain" : "protected " + pw.toUtf8();
        QTest::newRow("directory entries, " + tag) << pw << QList<QByteArray>{"fonts/"} << withDirs;
        QTest::newRow("no directory entries, " + tag) << pw << QList<QByteArray>{} << noDirs;
        QTest::newRow("buffer edge sizes, " + tag) << pw << QList<QByteArray>{} << edgeSizes;
        QTest::newRow("utf-8 names, " + tag) << pw << QList<QByteArray>{} << utf8;
    }
}

// Each file goes through the writer and back, once deflated and once stored.
void TestZipExtract::extractsTree()
{
    QFETCH(QString, password);
    QFETCH(QList<QByteArray>, directories);
    QFETCH(Tree, files);

    for (const ZipWriter::Method method : {ZipWriter::Method::Deflate, ZipWriter::Method::Store}) {
        const QString archive =
            m_tmp->filePath(method == ZipWriter::Method::Store ? "s.zip" : "d.zip");
        const QString target = m_tmp->filePath(method == ZipWriter::Method::Store ? "ts" : "td");
        QVERIFY(QDir().mkpath(target));
        ZipWriter zip(archive, password);
        QList<QByteArray> expectedLines{QFile::encodeName(archive) + " opened"};
        Tree expectedTree;
        for (const QByteArray &dir : directories) {
            QVERIFY(zip.addDirectory(dir));
            expectedLines << "creating directory: " + dir;
        }
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QVERIFY(zip.addFile(it.key().toUtf8(), it.value(), method));
            expectedLines << " extracting: " + it.key().toUtf8();
            expectedTree.insert(it.key(), it.value());
            QString dir = it.key();
            while ((dir = dir.section('/', 0, -2)) != QString())
                expectedTree.insert(dir + '/', QByteArray());
        }
        QVERIFY2(zip.close(), qPrintable(zip.errorString()));

        const ExtractRun run = runExtract(archive, target, password);
        QVERIFY(run.ok);
        QCOMPARE(run.lines, expectedLines);
        QCOMPARE(readTree(target), expectedTree);

        // The caller is left inside the target: relative names resolve there.
        QCOMPARE(QFileInfo(QDir::currentPath()).canonicalFilePath(),
                 QFileInfo(target).canonicalFilePath());
        QCOMPARE(fileBytes(files.firstKey()), files.first());
        QDir::setCurrent(m_savedCwd);
    }
}

void TestZipExtract::overwritesExistingFile()
{
    const QString archive = m_tmp->filePath("a.zip");
    ZipWriter zip(archive);
    QVERIFY(zip.addFile("f.ttf", "new"));
    QVERIFY(zip.close());
    QVERIFY(writeFile(m_target + "/f.ttf", sampleBytes(50000, 9)));

    const ExtractRun run = runExtract(archive, m_target, QString());
    QVERIFY(run.ok);
    QCOMPARE(fileBytes(m_target + "/f.ttf"), QByteArray("new"));
}

void TestZipExtract::zipSuffixRetry()
{
    const QString base = m_tmp->filePath("pack");
    ZipWriter zip(base + ".zip");
    QVERIFY(zip.addFile("f.ttf", "data"));
    QVERIFY(zip.close());

    const ExtractRun run = runExtract(base, m_target, QString());
    QVERIFY(run.ok);
    QCOMPARE(run.lines.value(0), QFile::encodeName(base) + ".zip opened");
    QCOMPARE(fileBytes(m_target + "/f.ttf"), QByteArray("data"));
}

void TestZipExtract::unopenableArchive()
{
    const QString missing = m_tmp->filePath("nothing");
    const QString garbage = m_tmp->filePath("garbage.zip");
    QVERIFY(writeFile(garbage, sampleBytes(4000, 11)));
    for (const QString &archive : {missing, garbage}) {
        const ExtractRun run = runExtract(archive, m_target, QString());
        QVERIFY(!run.ok);
        const QByteArray name = QFile::encodeName(archive);
        QCOMPARE(run.lines, QList<QByteArray>{"Cannot open " + name + " or " + name + ".zip"});
        QCOMPARE(QDir::currentPath(), m_savedCwd);
    }
}

void TestZipExtract::missingTargetDirectory()
{
    const QString archive = m_tmp->filePath("a.zip");
    ZipWriter zip(archive);
    QVERIFY(zip.addFile("f.ttf", "data"));
    QVERIFY(zip.close());
    const QString target = m_tmp->filePath("absent");

    const ExtractRun run = runExtract(archive, target, QString());
    QVERIFY(!run.ok);
    QCOMPARE(run.lines, (QList<QByteArray>{QFile::encodeName(archive) + " opened",
                                           "Error changing into " + QFile::encodeName(target) +
                                               ", aborting"}));
    QCOMPARE(QDir::currentPath(), m_savedCwd);
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(!QFileInfo::exists(m_savedCwd + "/f.ttf"));
}

void TestZipExtract::damagedEntryStopsExtraction_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("damage");
    QTest::addColumn<QByteArray>("errorLine");
    QTest::addColumn<QByteArray>("reason");

    enum { BrokenDeflate, WrongCrc, ShortStream };
    for (const QByteArray &pw : {QByteArray(), QByteArray("pw")}) {
        const QByteArray tag = pw.isEmpty() ? "plain" : "protected";
        const QByteArray orPassword = pw.isEmpty() ? "" : ", or the password is wrong";
        QTest::newRow("inflate error, " + tag)
            << pw << int(BrokenDeflate) << QByteArray("error -3 with zipfile in unzReadCurrentFile")
            << "its data is damaged (error -3)" + orPassword;
        QTest::newRow("crc mismatch, " + tag)
            << pw << int(WrongCrc) << QByteArray("error -105 with zipfile in unzCloseCurrentFile")
            << "its data does not match its CRC" + orPassword;
        QTest::newRow("stream shorter than declared, " + tag)
            << pw << int(ShortStream)
            << QByteArray("error -105 with zipfile in unzCloseCurrentFile")
            << "its data is shorter than declared" + orPassword;
    }
}

// The damaged entry fails the call with a line naming it; no part of it is left
// (the file it would have replaced stays as it was) and later entries are not
// touched.
void TestZipExtract::damagedEntryStopsExtraction()
{
    QFETCH(QByteArray, password);
    QFETCH(int, damage);
    QFETCH(QByteArray, errorLine);
    QFETCH(QByteArray, reason);

    const QByteArray data = sampleBytes(60000, 21);
    RawEntry damaged = rawFile("damaged.ttf", data);
    if (damage == 0) {
        damaged.payload = deflateBrokenAfter(data, 20000);
    } else if (damage == 1) {
        damaged.crc ^= 0x00ff0000; // the check byte is the CRC's top byte: keep it
    } else {
        damaged.size += 100;
    }
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(
        archive, {rawFile("first.ttf", "one"), damaged, rawFile("third.ttf", "three")}, password));
    QVERIFY(writeFile(m_target + "/damaged.ttf", "older version"));

    const ExtractRun run = runExtract(archive, m_target, QString::fromUtf8(password));
    QVERIFY(!run.ok);
    QVERIFY2(run.lines.contains(errorLine), run.lines.join('\n').constData());
    QCOMPARE(run.lines.last(), "cannot extract damaged.ttf: " + reason);
    QCOMPARE(readTree(m_target),
             (Tree{{"first.ttf", "one"}, {"damaged.ttf", "older version"}}));
}

void TestZipExtract::wrongPassword_data()
{
    QTest::addColumn<QByteArray>("archivePassword");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QByteArray>("failure"); // empty when it extracts

    QTest::newRow("wrong password") << QByteArray("right") << QString("wrong")
                                    << QByteArray("cannot extract f.ttf: wrong password");
    QTest::newRow("no password") << QByteArray("right") << QString()
                                 << QByteArray("cannot extract f.ttf: it needs a password");
    QTest::newRow("password not needed") << QByteArray() << QString("unused") << QByteArray();
}

void TestZipExtract::wrongPassword()
{
    QFETCH(QByteArray, archivePassword);
    QFETCH(QString, given);
    QFETCH(QByteArray, failure);

    const QByteArray data = sampleBytes(3000, 31);
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive, {rawFile("f.ttf", data), rawFile("g.ttf", "more")},
                            archivePassword));

    const ExtractRun run = runExtract(archive, m_target, given);
    QCOMPARE(run.ok, failure.isEmpty());
    if (failure.isEmpty()) {
        QCOMPARE(fileBytes(m_target + "/f.ttf"), data);
        QCOMPARE(fileBytes(m_target + "/g.ttf"), QByteArray("more"));
    } else {
        QCOMPARE(run.lines.mid(run.lines.size() - 2),
                 (QList<QByteArray>{"error -102 with zipfile in unzOpenCurrentFilePassword",
                                    failure}));
        QCOMPARE(readTree(m_target), Tree());
    }
}

enum Failure { UnsupportedMethod, FolderInTheWay, FileTooLarge, NoInodes };

void TestZipExtract::entryFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Tree>("left");

    const QByteArray big = sampleBytes(300000, 41);
    QTest::newRow("unsupported method")
        << int(UnsupportedMethod)
        << QByteArray("cannot extract b.ttf: unsupported compression method 12")
        << Tree{{"a.ttf", "a"}};
    QTest::newRow("folder in the way")
        << int(FolderInTheWay)
        << QByteArray("cannot extract b.ttf: cannot put the file in place (Is a directory)")
        << Tree{{"a.ttf", "a"}, {"b.ttf/", ""}, {"b.ttf/keep", "mine"}};
    // A write that fails part way, as on a full disk.
    QTest::newRow("write fails")
        << int(FileTooLarge)
        << QByteArray("cannot extract b.ttf: cannot write the file (File too large)")
        << Tree{{"a.ttf", "a"}};
    // A file that cannot be created does not stop the entries after it.
    QTest::newRow("no inodes left")
        << int(NoInodes)
        << QByteArray("cannot extract d.ttf: cannot create the file (No space left on device)")
        << Tree{{"a.ttf", "a"}, {"b.ttf", big}};
}

// Every entry that cannot be extracted whole fails the call with one line naming
// it and leaves nothing of itself behind, temporary files included.
void TestZipExtract::entryFailures()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, line);
    QFETCH(Tree, left);

    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive,
                            {rawFile("a.ttf", "a"), rawFile("b.ttf", sampleBytes(300000, 41), 0),
                             rawFile("c.ttf", "c"), rawFile("d.ttf", "d")}));
    if (kind == UnsupportedMethod) {
        // Stored, then marked as bzip2 in both headers.
        QByteArray zip = fileBytes(archive);
        const int local = int(qFromLittleEndian<quint32>(zip.constData() + centralField(zip, 1, 42)));
        for (const int pos : {centralField(zip, 1, 10), local + 8})
            qToLittleEndian(quint16(12), zip.data() + pos);
        QVERIFY(writeFile(archive, zip));
    }
    if (kind == FolderInTheWay)
        QVERIFY(QDir().mkpath(m_target + "/b.ttf") && writeFile(m_target + "/b.ttf/keep", "mine"));
    if (kind == NoInodes) {
        // The folder itself takes one of the three inodes.
        if (::mount("tmpfs", QFile::encodeName(m_target).constData(), "tmpfs", 0,
                    "size=4m,nr_inodes=3") != 0)
            QSKIP("mounting a small tmpfs needs root");
    }
    const auto unmount = qScopeGuard([&] {
        if (kind == NoInodes)
            ::umount2(QFile::encodeName(m_target).constData(), MNT_DETACH);
    });
    const FileSizeLimit limit(kind == FileTooLarge ? 64 * 1024 : 0);
    const ExtractRun run = runExtract(archive, m_target, QString());

    QVERIFY(!run.ok);
    QVERIFY2(run.lines.contains(line), run.lines.join('\n').constData());
    QCOMPARE(readTree(m_target), left);
}

void TestZipExtract::entryNamesLeavingTarget_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("refused");

    // @OUT@ stands for an absolute folder beside the target.
    QTest::newRow("absolute") << QByteArray("@OUT@/abs.ttf") << true;
    QTest::newRow("absolute directory") << QByteArray("@OUT@/newdir/") << true;
    QTest::newRow("leading backslash") << QByteArray("\\evil.ttf") << true;
    QTest::newRow("drive letter") << QByteArray("C:evil.ttf") << true;
    QTest::newRow("drive path") << QByteArray("c:\\win\\evil.ttf") << true;
    QTest::newRow("parent") << QByteArray("../evil.ttf") << true;
    QTest::newRow("parent inside") << QByteArray("a/../../evil.ttf") << true;
    QTest::newRow("parent backslash") << QByteArray("a\\..\\..\\evil.ttf") << true;
    QTest::newRow("parent directory entry") << QByteArray("../up/") << true;
    QTest::newRow("bare parent") << QByteArray("..") << true;
    QTest::newRow("dots in a name") << QByteArray("a..b.ttf") << false;
    QTest::newRow("dots starting a folder") << QByteArray("..a/x.ttf") << false;
    QTest::newRow("three dots") << QByteArray(".../x.ttf") << false;
    QTest::newRow("current folder") << QByteArray("./c.ttf") << false;
}

void TestZipExtract::entryNamesLeavingTarget()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, refused);

    const QString out = m_tmp->filePath("out");
    QVERIFY(QDir().mkpath(out));
    name.replace("@OUT@", QFile::encodeName(out));
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(
        archive, {rawFile("before.ttf", "b"), rawFile(name, "evil"), rawFile("after.ttf", "a")}));
    const auto outsideTarget = [this] {
        Tree tree = readTree(m_tmp->path());
        for (const QString &key : tree.keys())
            if (key.startsWith("target/"))
                tree.remove(key);
        return tree;
    };
    const Tree outsideBefore = outsideTarget();

    const ExtractRun run = runExtract(archive, m_target, QString());
    QVERIFY(run.ok);
    QCOMPARE(fileBytes(m_target + "/before.ttf"), QByteArray("b"));
    QCOMPARE(fileBytes(m_target + "/after.ttf"), QByteArray("a"));
    if (refused) {
        QVERIFY(run.lines.contains("skipping " + name + ": name leaves the target directory"));
        QCOMPARE(readTree(m_target).keys(), (QStringList{"after.ttf", "before.ttf"}));
    } else {
        QCOMPARE(fileBytes(m_target + '/' + QFile::decodeName(name)), QByteArray("evil"));
    }
    // Nothing beside the target changed.
    QCOMPARE(outsideTarget(), outsideBefore);
}

void TestZipExtract::symlinksInTargetAreNotFollowed()
{
    const QString out = m_tmp->filePath("out");
    QVERIFY(QDir().mkpath(out));
    QVERIFY(writeFile(out + "/victim.ttf", "precious"));
    QVERIFY(writeFile(out + "/linked.ttf", "shared"));
    QVERIFY(QFile::link(out, m_target + "/dirlink"));
    QVERIFY(QFile::link(out + "/victim.ttf", m_target + "/victim.ttf"));
    QVERIFY(QFile::link(out + "/missing.ttf", m_target + "/dangling.ttf"));
    QCOMPARE(::link(QFile::encodeName(out + "/linked.ttf").constData(),
                    QFile::encodeName(m_target + "/hard.ttf").constData()),
             0);

    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive, {rawFile("dirlink/x.ttf", "x"), rawFile("dirlink/sub/", ""),
                                      rawFile("victim.ttf", "v"), rawFile("dangling.ttf", "d"),
                                      rawFile("hard.ttf", "h"), rawFile("ok.ttf", "ok")}));
    const ExtractRun run = runExtract(archive, m_target, QString());
    QVERIFY(run.ok);
    QVERIFY(run.lines.contains("skipping dirlink/x.ttf: path goes through a symbolic link"));

    QCOMPARE(readTree(out), (Tree{{"linked.ttf", "shared"}, {"victim.ttf", "precious"}}));
    // Links in the way of a file entry are replaced by the entry's file.
    for (const char *name : {"victim.ttf", "dangling.ttf", "hard.ttf"})
        QVERIFY(!QFileInfo(m_target + '/' + name).isSymLink());
    QCOMPARE(fileBytes(m_target + "/victim.ttf"), QByteArray("v"));
    QCOMPARE(fileBytes(m_target + "/dangling.ttf"), QByteArray("d"));
    QCOMPARE(fileBytes(m_target + "/hard.ttf"), QByteArray("h"));
    QCOMPARE(fileBytes(m_target + "/ok.ttf"), QByteArray("ok"));
}

void TestZipExtract::overlongEntryNameSkipped()
{
    const QByteArray fits = "d/" + QByteArray(253, 'f');
    const QByteArray tooLong = "d/" + QByteArray(254, 'g');
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive, {rawFile(tooLong, "long"), rawFile(fits, "fits")}));

    const ExtractRun run = runExtract(archive, m_target, QString());
    QVERIFY(run.ok);
    QCOMPARE(run.lines.value(1),
             "skipping " + tooLong.left(255) + "...: name longer than 255 bytes");
    QCOMPARE(readTree(m_target),
             (Tree{{"d/", QByteArray()}, {QString::fromLatin1(fits), QByteArray("fits")}}));
}

// The writer's cipher against an independent reader. The other direction,
// archives protected by Info-ZIP zip, is covered by tst_extractinterop.
void TestZipExtract::unzipReadsProtectedArchives()
{
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("Info-ZIP unzip is needed");
    const QString password = QString::fromUtf8("clé-42");
    const Tree files{{"fonts/a.ttf", sampleBytes(70000, 41)},
                     {"fonts/sub/b.otf", sampleBytes(900, 42)},
                     {"c.ttf", QByteArray("c")}};
    const QString archive = m_tmp->filePath("a.zip");
    ZipWriter zip(archive, password);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(zip.addFile(it.key().toUtf8(), it.value(),
                            it.value().size() > 1000 ? ZipWriter::Method::Deflate
                                                     : ZipWriter::Method::Store));
    QVERIFY(zip.close());

    QProcess unzip;
    unzip.start("unzip", {"-q", "-o", "-P", password, archive, "-d", m_target});
    QVERIFY(unzip.waitForFinished(30000));
    QCOMPARE(unzip.exitCode(), 0);
    Tree got = readTree(m_target);
    got.remove("fonts/");
    got.remove("fonts/sub/");
    QCOMPARE(got, files);
}

enum Hostile { FullOverlap, QuotedOverlap, IntoDirectory, Huge, PastSize, StoredPastSize, Named };

void TestZipExtract::hostileArchives_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("line"); // @A@ stands for the archive; a prefix for Huge
    QTest::addColumn<bool>("ok");
    QTest::addColumn<Tree>("left"); // the target afterwards

    const QByteArray overlap = "refusing @A@: entries overlap each other or the central directory";
    const QByteArray past = "stopping big.ttf: its data runs past the declared size of 1000 bytes";
    const Tree cut{{"a.ttf", "a"}}; // nothing of big.ttf is kept
    const Tree skipped{{"a.ttf", "a"}, {"z.ttf", "z"}};
    const QByteArray control = ": name holds control characters";
    QTest::newRow("full overlap") << int(FullOverlap) << QByteArray() << overlap << false << Tree();
    QTest::newRow("quoted overlap") << int(QuotedOverlap) << QByteArray() << overlap << false << Tree();
    QTest::newRow("data runs into the directory")
        << int(IntoDirectory) << QByteArray() << overlap << false << Tree();
    QTest::newRow("more than the free space")
        << int(Huge) << QByteArray()
        << QByteArray("refusing @A@: it unpacks to 1125899906842625 bytes, only ") << false
        << Tree();
    QTest::newRow("inflates past its size") << int(PastSize) << QByteArray() << past << false << cut;
    QTest::newRow("stored past its size")
        << int(StoredPastSize) << QByteArray() << past << false << cut;
    QTest::newRow("line break") << int(Named) << QByteArray("bad\nname.ttf")
                                << "skipping bad\\x0aname.ttf" + control << true << skipped;
    QTest::newRow("terminal escape")
        << int(Named) << QByteArray("x\x1b]0;owned\x07.ttf")
        << "skipping x\\x1b]0;owned\\x07.ttf" + control << true << skipped;
    QTest::newRow("delete in a folder name") << int(Named) << QByteArray("d\x7f/f.ttf")
                                             << "skipping d\\x7f/f.ttf" + control << true << skipped;
}

// Refused archives write nothing; an entry running past its size is stopped and
// nothing of it kept.
void TestZipExtract::hostileArchives()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    QFETCH(Tree, left);

    QList<RawEntry> entries{rawFile("a.ttf", "a")};
    if (kind <= IntoDirectory) {
        entries << rawFile("b.ttf", sampleBytes(5000, 1), 0) << rawFile("c.ttf", "c", 0);
    } else if (kind == Huge) {
        entries << rawFile("huge.ttf", "x");
        entries.last().size = quint64(1) << 50;
    } else if (kind == Named) {
        entries << rawFile(name, "evil") << rawFile("z.ttf", "z");
    } else {
        const QByteArray data = sampleBytes(100000, 3);
        entries << rawFile("big.ttf", data, kind == PastSize ? 8 : 0) << rawFile("z.ttf", "z");
        entries[1].size = 1000;
        entries[1].crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), 1000));
    }
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive, entries));
    QByteArray zip = fileBytes(archive);
    const auto put = [&zip](int pos, quint32 v) { qToLittleEndian(v, zip.data() + pos); };
    const auto get = [&zip](int pos) { return qFromLittleEndian<quint32>(zip.constData() + pos); };
    if (kind == FullOverlap) {
        put(centralField(zip, 1, 42), 0); // every entry at the first local header
        put(centralField(zip, 2, 42), 0);
    } else if (kind == QuotedOverlap) {
        // b's data quotes c's local header and data, up to the central directory.
        const quint32 quoted = get(zip.size() - 6) - (get(centralField(zip, 1, 42)) + 30 + 5);
        put(centralField(zip, 1, 20), quoted);
        put(centralField(zip, 1, 24), quoted);
    } else if (kind == IntoDirectory) {
        put(centralField(zip, 2, 20), 11);
        put(centralField(zip, 2, 24), 11);
    }
    QVERIFY(writeFile(archive, zip));

    const ExtractRun run = runExtract(archive, m_target, QString());
    line.replace("@A@", QFile::encodeName(archive));
    QVERIFY2(run.lines.value(1).startsWith(line) || run.lines.contains(line),
             run.lines.join('\n').constData());
    QCOMPARE(run.ok, ok);
    QCOMPARE(readTree(m_target), left);
    for (const QByteArray &printed : run.lines)
        QVERIFY(std::none_of(printed.begin(), printed.end(), [](char c) { return uchar(c) < 0x20; }));
}

// Read whole, not cut at 4 GiB; the zeros become a hole, so this takes seconds.
void TestZipExtract::zip64EntryOver4GiB()
{
    const quint64 mebibytes = 4097;
    if (QStorageInfo(m_target).bytesAvailable() < qint64(mebibytes << 20))
        QSKIP("needs 4 GiB of free space: the extractor checks declared sizes");
    const QString archive = m_tmp->filePath("a.zip");
    QVERIFY(writeRawArchive(archive, {zeroFile("big.bin", mebibytes), rawFile("after.ttf", "z")}));

    const ExtractRun run = runExtract(archive, m_target, QString());
    QVERIFY(run.ok);
    QCOMPARE(run.lines, (QList<QByteArray>{QFile::encodeName(archive) + " opened",
                                           " extracting: big.bin", " extracting: after.ttf"}));
    QCOMPARE(QFileInfo(m_target + "/big.bin").size(), qint64(mebibytes << 20));
    QCOMPARE(fileBytes(m_target + "/after.ttf"), QByteArray("z"));
}

QTEST_GUILESS_MAIN(TestZipExtract)
#include "tst_zipextract.moc"
