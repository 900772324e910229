// The installed program folder, and the update journey as separate processes: offer,
// acceptance, download and install into the per-user install, restart.
#include "devserverprocess.h"
#include "testenv.h"
#include "service/transport.h"
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

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
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
    DevServerProcess server; // at the address the installed program was built for
    QVERIFY2(server.start(data.path(), {"--port", QString::number(serviceUrl().port()),
                                        "--latest-version", "0.9.6"}),
             qPrintable(server.errorString()));
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
    QVERIFY(readFile(clicks).contains(" quillora click updateBt"));

    // The updater installs the package and starts the installed program again.
    const QRegularExpression restarted("\\n(\\d+) quillora start\\n");
    auto restartedPid = [&] {
        return restarted.match(readFile(clicks).section(" vantorel click openButton", 1)).captured(1).toInt();
    };
    QTRY_VERIFY_WITH_TIMEOUT(restartedPid() > 0, 180000);
    ::kill(pid_t(restartedPid()), SIGKILL); // it waits in the offer dialog that nobody answers now
    QVERIFY(QFile::exists(programDir() + "/UPDATE-0.9.6.txt"));
    QVERIFY(QFileInfo(programDir() + "/quillora").isExecutable());
    const QString updateLog = readFile(m_env->home() + "/Documents/TessalyFont/msg/UpdateMsg.log");
    QVERIFY2(updateLog.contains("copy done"), qPrintable(updateLog));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
