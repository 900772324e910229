// The updater window and whole update runs against a local HTTP server.
#include "httpfixture.h"
#include "testenv.h"
#include "testnet.h"
#include "testhttpsserver.h"
#include "updatertestutil.h"
#include "../zipextract/ziptestutil.h"
#include "core/installjournal.h"
#include "core/tlstrust.h"
#include "updater/sfileworker.h"
#include "updater/updaterunner.h"
#include "updater/vantoreldlg.h"
#include "zipextract/zipwriter.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#ifndef VANTOREL_PROGRAM
#error "VANTOREL_PROGRAM must name the built updater"
#endif

namespace {
// The messages of an event log, after checking that every line carries its time.
QStringList logMessages(const QString &path)
{
    QStringList messages;
    const QString text = QString::fromUtf8(readFile(path));
    if (text == QLatin1String("<missing>"))
        return messages;
    static const QRegularExpression line(
        QStringLiteral("^(.*)  \\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$"));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (int i = 0; i < lines.size(); ++i) {
        if (i == lines.size() - 1 && lines.at(i).isEmpty())
            break;
        const QRegularExpressionMatch match = line.match(lines.at(i));
        messages << (match.hasMatch() ? match.captured(1) : "<malformed> " + lines.at(i));
    }
    return messages;
}

QByteArray makePackage(const QString &path, const QList<QPair<QByteArray, QByteArray>> &files)
{
    ZipWriter zip(path);
    for (const auto &file : files) {
        if (file.first.endsWith('/'))
            zip.addDirectory(file.first);
        else
            zip.addFile(file.first, file.second);
    }
    if (!zip.close())
        return QByteArray();
    return readFile(path);
}

const QList<QPair<QByteArray, QByteArray>> kPackageFiles = {
    {"quillora", "new main program"},     {"vantorel", "new updater"},           {"fonts/", ""},
    {"fonts/readme.txt", "fonts readme"}, {"lib/plugins/platform.so", "plugin"},
};

// A private HOME and temporary location, and an installation folder whose path
// holds a blank, with an older main program in it.
struct Sandbox
{
    Sandbox()
    {
        savedTmp = qgetenv("TMPDIR");
        tmp = env.path("tmp");
        QDir().mkpath(tmp);
        qputenv("TMPDIR", QFile::encodeName(tmp));
        install = env.path("Quillora Install");
        writeFile(install + "/quillora", "old main program");
        writeFile(install + "/settings.ini", "mine");
        QFile::setPermissions(install + "/quillora",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        logFile = env.path("Documents/TessalyFont/msg/UpdateMsg.log");
    }
    ~Sandbox()
    {
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }

    TestEnv env;
    QByteArray savedTmp;
    QString tmp;
    QString install;
    QString logFile;
};

// The real updater, copied into the installation folder with the test's
// certificate authority beside it, started in the sandbox's environment.
void startCopiedUpdater(QProcess &process, const Sandbox &box, const QString &caFile,
                        const QStringList &arguments)
{
    const QString updater = box.install + "/vantorel";
    if (!QFileInfo::exists(updater)) {
        QFile::copy(QStringLiteral(VANTOREL_PROGRAM), updater);
        QFile::copy(caFile, box.install + "/quillora-ca.pem");
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_RUNTIME_DIR", "TMPDIR"})
        environment.insert(name, QString::fromLocal8Bit(qgetenv(name)));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(updater, arguments);
}

template <typename T> T *child(VantorelDlg &dlg, const char *name)
{
    return dlg.findChild<T *>(QLatin1String(name));
}

void checkDoneState(VantorelDlg &dlg, const QString &doneText)
{
    QCOMPARE(child<QLabel>(dlg, "doneLabel")->text(), doneText);
    QVERIFY(child<QLabel>(dlg, "doneLabel")->isVisible());
    QVERIFY(child<QPushButton>(dlg, "openButton")->isVisible());
    for (const char *name : {"progressBar", "percentLabel", "statusLabel"})
        QVERIFY2(!child<QWidget>(dlg, name)->isVisible(), name);
}
} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void downloadProgressShown();
    void noUpdateStarted_data();
    void noUpdateStarted();
    void fullUpdateIntoFolderWithBlank();
    void failedUpdate_data();
    void failedUpdate();
    void copyFailureShowsFailure();
    void interruptedInstallRepaired();
    void killedInstallRepairedByNextRun();
    void linkedTempFolderRefused();
    void openStartsProgramWithBlankInPath();
    void endToEndFromCopiedInstallation();

private:
    TestCertificates m_certs;
    HttpFixture m_server{m_certs.serverCertFile(), m_certs.serverKeyFile()};
    QByteArray m_package;
};

void TestUpdater::initTestCase()
{
    QString error;
    QVERIFY2(m_certs.generate(&error), qPrintable(error));
    QVERIFY(addTrustedCertificateAuthorities(m_certs.caFile()) > 0);
    QVERIFY(m_server.isListening());
    QTemporaryDir dir;
    m_package = makePackage(dir.filePath("update.zip"), kPackageFiles);
    QVERIFY(!m_package.isEmpty());
    m_server.setRoute("/packages/Quillora%20Update.zip", {200, m_package});
}

void TestUpdater::downloadProgressShown()
{
    Sandbox box;
    VantorelDlg dlg;
    dlg.onDownProgressed(50, 100);
    QCOMPARE(child<QProgressBar>(dlg, "progressBar")->value(), 45);
    QCOMPARE(child<QLabel>(dlg, "percentLabel")->text(), QStringLiteral("45%"));
    // The copy moves the bar on from 90 and leaves the last download figure alone.
    dlg.onDownProgressed(100, 100);
    dlg.onCopyMoved(0.5);
    QCOMPARE(child<QProgressBar>(dlg, "progressBar")->value(), 95);
    QCOMPARE(child<QLabel>(dlg, "percentLabel")->text(), QStringLiteral("90%"));
}

void TestUpdater::noUpdateStarted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("logsAppFile");
    QTest::newRow("program only") << QStringList{"vantorel"} << false;
    QTest::newRow("no package address") << QStringList{"vantorel", "/opt/q/quillora"} << false;
    QTest::newRow("invalid address")
        << QStringList{"vantorel", "/opt/q/quillora", "http://[::1"} << true;
}

void TestUpdater::noUpdateStarted()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, logsAppFile);
    Sandbox box;
    VantorelDlg dlg;
    dlg.show();
    const int requests = m_server.totalHits();
    startFromArguments(dlg, arguments);

    // The designer's initial state stays.
    QCOMPARE(child<QProgressBar>(dlg, "progressBar")->value(), 24);
    QCOMPARE(child<QLabel>(dlg, "percentLabel")->text(), QStringLiteral("60%"));
    QCOMPARE(child<QLabel>(dlg, "doneLabel")->text(), QStringLiteral("软件更新完成！"));
    for (const char *name :
         {"progressBar", "percentLabel", "statusLabel", "doneLabel", "openButton"})
        QVERIFY2(child<QWidget>(dlg, name)->isVisible(), name);
    QCOMPARE(logMessages(box.logFile),
             logsAppFile ? QStringList{"dir_appFile=/opt/q/quillora"} : QStringList());
    QCOMPARE(m_server.totalHits(), requests);
}

void TestUpdater::fullUpdateIntoFolderWithBlank()
{
    Sandbox box;
    VantorelDlg dlg;
    dlg.runner().setInstallDir(box.install);
    dlg.show();
    QSignalSpy copyMoved(&dlg.runner(), &UpdateRunner::sigCopyMoved);
    QSignalSpy done(&dlg.runner(), &UpdateRunner::sigDoneState);

    const QString app = box.install + "/quillora";
    const QString url = m_server.url("/packages/Quillora%20Update.zip").toString(QUrl::FullyEncoded);
    startFromArguments(dlg, {"vantorel", app, url});

    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().at(0).toBool(), true);
    checkDoneState(dlg, QStringLiteral("软件更新完成！"));
    QCOMPARE(child<QProgressBar>(dlg, "progressBar")->value(), 100);
    QCOMPARE(child<QLabel>(dlg, "percentLabel")->text(), QStringLiteral("90%"));
    QCOMPARE(child<QLabel>(dlg, "statusLabel")->text(), QStringLiteral("软件更新中..."));

    QCOMPARE(logMessages(box.logFile),
             (QStringList{"dir_appFile=" + app, url, "down succeed.", "upzip done", "modify=" + app,
                          "dir_copy_des=" + app, "copy done"}));
    QCOMPARE(dlg.runner().downloadedFile(), box.tmp + "/quillora/Quillora Update.zip");
    QCOMPARE(tree(box.tmp + "/quillora"), QStringList()); // package and upzip/ removed
    QCOMPARE(dlg.runner().appFile(), app);

    QCOMPARE(tree(box.install),
             (QStringList{"fonts/", "fonts/readme.txt", "lib/", "lib/plugins/",
                          "lib/plugins/platform.so", "quillora", "settings.ini", "vantorel"}));
    for (const auto &file : kPackageFiles) {
        if (!file.first.endsWith('/'))
            QCOMPARE(readFile(box.install + "/" + file.first), file.second);
    }
    QCOMPARE(readFile(box.install + "/settings.ini"), QByteArray("mine"));
    QVERIFY(QFileInfo(app).permissions() & QFile::ExeOwner);

    QList<double> fractions;
    for (const QList<QVariant> &args : qAsConst(copyMoved))
        fractions << args.at(0).toDouble();
    QCOMPARE(fractions, (QList<double>{0.0, 0.5, 1.0}));
}

void TestUpdater::failedUpdate_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QStringList>("logTail");
    QTest::newRow("not found") << QByteArray("/missing.zip") << QStringList{"down err"};
    QTest::newRow("empty body") << QByteArray("/empty.zip") << QStringList{};
    QTest::newRow("too slow") << QByteArray("/slow.zip") << QStringList{"down timeout"};
    const QStringList unpackFails{"down succeed.", "upzip fail"};
    QTest::newRow("not an archive") << QByteArray("/garbage.zip") << unpackFails;
    QTest::newRow("bad crc") << QByteArray("/badcrc.zip") << unpackFails;
    QTest::newRow("deflate stream cut") << QByteArray("/cut.zip") << unpackFails;
    QTest::newRow("disk full while unpacking") << QByteArray("/full.zip") << unpackFails;
    const QStringList refused{"down refused: not an https address"};
    QTest::newRow("http address") << QByteArray("http") << refused;
    QTest::newRow("file address") << QByteArray("file") << refused;
    QTest::newRow("nobody listening") << QByteArray() << QStringList{"down err"};
    QTest::newRow("oversize") << QByteArray("/large.zip")
                              << QStringList{"down too large (over 102400 bytes)"};
    QTest::newRow("endless") << QByteArray("/endless.zip")
                             << QStringList{"down too large (over 102400 bytes)"};
}

void TestUpdater::failedUpdate()
{
    QFETCH(QByteArray, path);
    QFETCH(QStringList, logTail);
    m_server.setRoute("/empty.zip", {200, QByteArray()});
    m_server.setRoute("/slow.zip", {200, QByteArray(), true});
    m_server.setRoute("/garbage.zip", {200, QByteArray("this is not a zip archive").repeated(40)});
    m_server.setRoute("/large.zip", {200, QByteArray(300000, 'z')});
    m_server.setRoute("/endless.zip", {200, QByteArray(), false, false, true});
    // Packages that download whole but do not unpack whole: nothing of them may land.
    const QByteArray program = QByteArray("new main program ").repeated(100000);
    QList<RawEntry> entries{rawFile("libSorvane.so", sampleBytes(20000, 7)),
                            rawFile("quillora", program), rawFile("marker", "1")};
    QTemporaryDir packages;
    const QString bad = packages.filePath("bad.zip");
    entries[0].crc ^= 1;
    QVERIFY(writeRawArchive(bad, entries));
    m_server.setRoute("/badcrc.zip", {200, readFile(bad)});
    entries[0].crc ^= 1;
    entries[1].payload.chop(entries[1].payload.size() / 2);
    QVERIFY(writeRawArchive(bad, entries));
    m_server.setRoute("/cut.zip", {200, readFile(bad)});
    entries[1] = rawFile("quillora", program);
    QVERIFY(writeRawArchive(bad, entries));
    m_server.setRoute("/full.zip", {200, readFile(bad)});

    Sandbox box;
    // An earlier update left files in the unpack folder; they must not be installed.
    QVERIFY(writeFile(box.tmp + "/quillora/upzip/stale.txt", "from an earlier update"));
    VantorelDlg dlg;
    dlg.runner().setInstallDir(box.install);
    // Short only for the download that never gets an answer: the others must end by
    // themselves, however slow the machine.
    dlg.runner().setDownloadTimeLimit(path == "/slow.zip" ? 300 : kEventWaitMs);
    dlg.runner().setDownloadSizeLimit(100 * 1024);
    dlg.show();

    QString url = m_server.url(path).toString(QUrl::FullyEncoded);
    const ClosedPort closed;
    if (path.isEmpty()) {
        QVERIFY(closed.isValid());
        url = QStringLiteral("https://127.0.0.1:%1/u.zip").arg(closed.port());
    } else if (path == "http") {
        url = m_server.url("/packages/Quillora%20Update.zip").toString().replace("https:", "http:");
    } else if (path == "file") {
        QVERIFY(writeFile(box.tmp + "/p.zip", m_package));
        url = QUrl::fromLocalFile(box.tmp + "/p.zip").toString();
    }
    const int requests = m_server.totalHits();
    const QString app = box.install + "/quillora";
    {
        // Unpacking the 1.7 MB main program fails there, as on a full disk.
        const FileSizeLimit limit(path == "/full.zip" ? 1 << 20 : 0);
        startFromArguments(dlg, {"vantorel", app, url});
    }

    checkDoneState(dlg, QStringLiteral("软件更新失败！"));
    QCOMPARE(logMessages(box.logFile), QStringList({"dir_appFile=" + app, url}) + logTail);
    QCOMPARE(tree(box.install), (QStringList{"quillora", "settings.ini"}));
    QCOMPARE(readFile(app), QByteArray("old main program"));
    // Neither the package nor anything unpacked from it stays behind.
    QCOMPARE(tree(box.tmp + "/quillora"), QStringList());
    if (path == "http" || path == "file")
        QCOMPARE(m_server.totalHits(), requests);
}

void TestUpdater::copyFailureShowsFailure()
{
    Sandbox box;
    QTemporaryDir dir;
    const QByteArray package = makePackage(
        dir.filePath("p.zip"), {{"a.txt", "new a"}, {"data.bin", "new data"}, {"z.txt", "new z"}});
    m_server.setRoute("/blocked.zip", {200, package});
    // A folder holds the name of a file in the package, so that file can't be put there.
    QVERIFY(writeFile(box.install + "/data.bin/inside.txt", "old"));
    QVERIFY(writeFile(box.install + "/a.txt", "old a"));
    const QStringList before = tree(box.install);

    VantorelDlg dlg;
    dlg.runner().setInstallDir(box.install);
    dlg.show();
    const QString app = box.install + "/quillora";
    const QString url = m_server.url("/blocked.zip").toString(QUrl::FullyEncoded);
    startFromArguments(dlg, {"vantorel", app, url});

    checkDoneState(dlg, QStringLiteral("软件更新失败！"));
    QCOMPARE(logMessages(box.logFile),
             (QStringList{"dir_appFile=" + app, url, "down succeed.", "upzip done", "modify=" + app,
                          "dir_copy_des=" + app, "copy fail"}));
    // All or nothing: the file replaced before the failure is back.
    QCOMPARE(readFile(box.install + "/a.txt"), QByteArray("old a"));
    QCOMPARE(readFile(box.install + "/data.bin/inside.txt"), QByteArray("old"));
    QCOMPARE(tree(box.install), before);
    QVERIFY(child<QPushButton>(dlg, "openButton")->isVisible());
}

void TestUpdater::linkedTempFolderRefused()
{
    Sandbox box;
    const QString elsewhere = box.env.path("elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QFile::link(elsewhere, box.tmp + "/quillora"));
    VantorelDlg dlg;
    dlg.runner().setInstallDir(box.install);
    const QString app = box.install + "/quillora";
    const QString url = m_server.url("/packages/Quillora%20Update.zip").toString(QUrl::FullyEncoded);
    startFromArguments(dlg, {"vantorel", app, url});

    QCOMPARE(tree(elsewhere), QStringList());
    QCOMPARE(logMessages(box.logFile).last(),
             "down err: cannot write " + box.tmp + "/quillora/Quillora Update.zip");
    QCOMPARE(tree(box.install), (QStringList{"quillora", "settings.ini"}));
}

void TestUpdater::openStartsProgramWithBlankInPath()
{
#ifndef Q_OS_UNIX
    QSKIP("starts a shell script");
#else
    Sandbox box;
    const QString program = box.env.path("My Apps/main program");
    QVERIFY(writeFile(program,
                      "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$#\" > \"$(dirname \"$0\")/started\"\n"));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    VantorelDlg dlg;
    dlg.show();
    dlg.setAppFile(program);
    dlg.onClickOpen();
    QVERIFY(!dlg.isVisible());
    const QString started = box.env.path("My Apps/started");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(started).size() > 0, kEventWaitMs);
    // The program saw its own path whole and no arguments.
    QCOMPARE(QString::fromUtf8(readFile(started)), program + "|0");
    QCOMPARE(logMessages(box.logFile).last(),
             "open app=" + box.env.path("My\" \"Apps/main\" \"program"));

    // A program that cannot be started leaves the window open.
    VantorelDlg again;
    again.show();
    again.setAppFile(box.env.path("Not There/quillora"));
    again.onClickOpen();
    QVERIFY(again.isVisible());
    QCOMPARE(logMessages(box.logFile).last(), "open app=" + box.env.path("Not\" \"There/quillora"));
#endif
}

void TestUpdater::endToEndFromCopiedInstallation()
{
    // The real program, copied into an installation folder with a blank in its
    // path, started the way the main program starts it.
    Sandbox box;
    const QString app = box.install + "/quillora";
    const QString url = m_server.url("/packages/Quillora%20Update.zip").toString(QUrl::FullyEncoded);
    QProcess process;
    startCopiedUpdater(process, box, m_certs.caFile(), {app, url});
    QVERIFY(process.waitForStarted());

    const QStringList expected{
        "dir_appFile=" + app,  url,        "down succeed.", "upzip done", "modify=" + app,
        "dir_copy_des=" + app, "copy done"};
    QTRY_COMPARE_WITH_TIMEOUT(logMessages(box.logFile).size(), expected.size(), kEventWaitMs);
    QCOMPARE(logMessages(box.logFile), expected);
    // The updater waits for the user now; nothing more to see from outside.
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();

    for (const auto &file : kPackageFiles) {
        if (!file.first.endsWith('/'))
            QCOMPARE(readFile(box.install + "/" + file.first), file.second);
    }
    QCOMPARE(readFile(box.install + "/settings.ini"), QByteArray("mine"));
    QVERIFY(QFileInfo(app).permissions() & QFile::ExeOwner);
}

// The folder as a killed updater leaves it, at the end of the copy before and
// after the copy was recorded complete, is put back to one whole version.
void TestUpdater::interruptedInstallRepaired()
{
    Sandbox box;
    const QString unpacked = box.env.path("unpacked");
    for (const auto &file : kPackageFiles)
        QVERIFY(file.first.endsWith('/') ? QDir().mkpath(unpacked + "/" + file.first)
                                         : writeFile(unpacked + "/" + file.first, file.second));
    const QStringList before = tree(box.install);
    InstallJournal journal(box.install);
    QVERIFY(journal.lock() && journal.begin(unpacked));
    SFileWorker worker;
    const auto snapshot = [&](const char *name) {
        return QProcess::execute("cp", {"-a", box.install, box.env.path(name)}) == 0;
    };
    worker.setCommitGate([&] { return snapshot("copying") && journal.commit() && snapshot("done"); });
    QVERIFY(worker.copyDirectoryFiles(unpacked, box.install, true));
    journal.finish();
    for (const bool done : {false, true}) {
        const QString killed = box.env.path(done ? "done" : "copying");
        QVERIFY(QFile::remove(killed + "/.vantorel-lock")); // its process is gone
        QCOMPARE(repairInterruptedInstall(killed),
                 done ? InstallRepair::Completed : InstallRepair::RolledBack);
        QCOMPARE(tree(killed), done ? tree(box.install) : before);
        QCOMPARE(readFile(killed + "/quillora"),
                 QByteArray(done ? "new main program" : "old main program"));
    }
}

// The real updater killed with SIGKILL while replacing 6000 files; its next
// start puts the old version back whole.
void TestUpdater::killedInstallRepairedByNextRun()
{
    Sandbox box;
    QList<QPair<QByteArray, QByteArray>> files{{"quillora", "new main program"}, {"marker", "2"}};
    for (int i = 10000; i < 16000; ++i) {
        const QByteArray name = "files/" + QByteArray::number(i);
        QVERIFY(writeFile(box.install + "/" + name, "old " + name));
        files.append({name, "new " + name});
    }
    m_server.setRoute("/many.zip", {200, makePackage(box.env.path("many.zip"), files)});
    QProcess process;
    startCopiedUpdater(process, box, m_certs.caFile(),
                       {box.install + "/quillora", m_server.url("/many.zip").toString()});
    const QStringList before = tree(box.install);
    // Files are replaced in name order; once this one is aside, the copy is under way.
    const QString midway = box.install + "/files/11000" + kInstallAsideSuffix;
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(midway), 4 * kEventWaitMs);
    process.kill();
    process.waitForFinished();
    QCOMPARE(readFile(box.install + "/files/10000"), QByteArray("new files/10000"));

    startCopiedUpdater(process, box, m_certs.caFile(), {});
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(InstallJournal::journalPath(box.install)),
                             kEventWaitMs);
    process.kill();
    process.waitForFinished();
    QCOMPARE(tree(box.install), before);
    for (const QByteArray name : {"quillora", "files/10000", "files/15999"})
        QVERIFY(readFile(box.install + "/" + name).startsWith("old "));
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
