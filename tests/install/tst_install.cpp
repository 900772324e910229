// The installed program folder, and the update journey as separate processes: offer,
// acceptance, download and install into the per-user install, restart.
#include "devserverprocess.h"
#include "service/transport.h"
#include "testenv.h"
#include "testfiles.h"
#include "update/updateoffer.h"

#include <QtTest>

#include <csignal>

namespace {
int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(180000);
    if (output)
        *output = process.readAll();
    return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout();
    void updateJourney();

private:
    // The programs inherit the private HOME, which holds the install.
    std::unique_ptr<TestEnv> m_env;
    QString m_prefix;
    QString programDir() const { return m_prefix + "/lib/quillora"; }
};

void TestInstall::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_prefix = m_env->path("my apps"); // an install path with a blank
    QCOMPARE(run(CMAKE_COMMAND, {"--install", QUILLORA_BUILD_DIR, "--prefix", m_prefix}), 0);
}

void TestInstall::layout()
{
    for (const char *program : {"quillora", "vantorel"})
        QVERIFY2(QFileInfo(programDir() + "/" + program).permissions() & QFile::ExeOther, program);
    QVERIFY(QFileInfo(programDir() + "/libSorvane.so").isFile());
    const QFileInfo link(m_prefix + "/bin/quillora");
    QVERIFY(link.isSymLink());
    QCOMPARE(link.canonicalFilePath(), QFileInfo(programDir() + "/quillora").canonicalFilePath());
    QVERIFY(UpdateOffer::isFolderWritable(programDir())); // a per-user install can take updates
    QVERIFY(fileText(m_prefix + "/share/doc/quillora/copyright").startsWith("Format: "));

    QByteArray output;
    QVERIFY2(run("appstreamcli", {"validate", "--no-net", m_prefix + "/share/metainfo/"
                                  "io.github.quillora.Quillora.metainfo.xml"}, &output) == 0, output);
    const QFileInfoList entries = QDir(m_prefix + "/share/applications").entryInfoList({"*.desktop"});
    QCOMPARE(entries.size(), 1);
    for (const QFileInfo &entry : entries)
        QVERIFY2(run("desktop-file-validate", {entry.filePath()}, &output) == 0, output);
}

void TestInstall::updateJourney()
{
    QTemporaryDir data;
    DevServerProcess server;
    QVERIFY2(server.start(data.path(), {"--latest-version", "0.9.6"}),
             qPrintable(server.errorString()));
    // The installed programs keep the address they were built for; their connections to
    // its port go to this service's.
    qputenv("LD_PRELOAD", QUILLORA_PORTMAP_LIBRARY);
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    qputenv("QUILLORA_PORTMAP_FROM", QByteArray::number(serviceUrl().port(443)));
    qputenv("QUILLORA_PORTMAP_TO", QByteArray::number(server.url().port()));
    QFile::remove(programDir() + "/quillora-ca.pem");
    QVERIFY(QFile::copy(server.caFile(), programDir() + "/quillora-ca.pem"));

    const QString clicks = m_env->path("clicks.log");
    qputenv("QT_PLUGIN_PATH", QUILLORA_TEST_PLUGIN_DIR);
    qputenv("QT_QPA_GENERIC_PLUGINS", "autoclick");
    qputenv("QUILLORA_AUTOCLICK", "updateBt,openButton");
    qputenv("QUILLORA_AUTOCLICK_LOG", clicks.toUtf8());
    QProcess first;
    first.start(m_prefix + "/bin/quillora", QStringList());
    QVERIFY(first.waitForFinished(60000)); // accepting the offer closes the program
    QVERIFY(fileText(clicks).contains(" quillora click updateBt"));

    // The updater installs the package and starts the installed program again.
    const QRegularExpression restarted("\\n(\\d+) quillora start\\n");
    auto restartedPid = [&] {
        return restarted.match(fileText(clicks).section(" vantorel click openButton", 1))
            .captured(1)
            .toInt();
    };
    QTRY_VERIFY_WITH_TIMEOUT(restartedPid() > 0, 180000);
    ::kill(pid_t(restartedPid()), SIGKILL); // it waits in the offer dialog that nobody answers now
    QVERIFY(QFile::exists(programDir() + "/UPDATE-0.9.6.txt"));
    QVERIFY(QFileInfo(programDir() + "/quillora").isExecutable());
    const QString updateLog = fileText(m_env->home() + "/Documents/TessalyFont/msg/UpdateMsg.log");
    QVERIFY2(updateLog.contains("copy done"), qPrintable(updateLog));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
