// The program's start-up and shutdown, in process (MainWindow) and as real processes
// (single instance, orderly close on a termination signal).
#include "window/mainwindow.h"

#include "service/transport.h"

#include "testenv.h"
#include "testfiles.h"
#include "testnet.h"

#include <QtTest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

namespace {

QString documents(const TestEnv &env) { return env.home() + "/Documents/TessalyFont/"; }

QString readLog(const TestEnv &env)
{
    return fileText(documents(env) + "msg/FontMsg.log");
}

QJsonObject readUserFile(const TestEnv &env)
{
    QFile file(env.home() + "/data/Quillora/UsrMsg.json");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(QByteArray::fromBase64(file.readAll())).object();
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName("Quillora"); }
    void constructionAndEscape();
    void secondInstanceExitsAtOnce();
    void silentServiceHoldsNothingBack();
};

void TestStartup::constructionAndEscape()
{
    TestEnv env;
    QElapsedTimer lifetime;
    lifetime.start();
    {
        AppServices services;
        MainWindow window(services);
        QTRY_VERIFY_WITH_TIMEOUT(readLog(env).contains("构造函数完毕"), kEventWaitMs);
        for (const char *dir : {"downft/used", "msg", "imgs"})
            QVERIFY2(QDir(documents(env) + dir).exists(), dir);
        const QString log = readLog(env);
        QVERIFY(log.startsWith("初始化开始，ui设置完毕。  "));
        QVERIFY(log.contains("\r\nurl_serv=https://"));
        QVERIFY(log.contains("\r\n构造函数完毕  "));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }
    const qint64 livedMs = lifetime.elapsed();
    // The window's run length, in whole seconds: within what the test saw, however
    // slow the machine was.
    const QRegularExpressionMatch length =
        QRegularExpression("\r\n统计程序时长：(\\d\\d):(\\d\\d):(\\d\\d)  ").match(readLog(env));
    QVERIFY(length.hasMatch());
    const int seconds = length.captured(1).toInt() * 3600 + length.captured(2).toInt() * 60 +
                        length.captured(3).toInt();
    QVERIFY2(seconds <= livedMs / 1000 + 1, qPrintable(length.captured(0)));
    QCOMPARE(readUserFile(env).value("m_preVersion").toString(), QString("0.9.5_beta"));
}

void TestStartup::secondInstanceExitsAtOnce()
{
    TestEnv env; // children inherit the private HOME and XDG folders
    QProcess first;
    first.setProgram(QUILLORA_BINARY);
    first.start();
    QVERIFY(first.waitForStarted());
    QVERIFY(waitFor([&] { return readLog(env).contains("构造函数完毕"); }, kEventWaitMs));

    QProcess second;
    QElapsedTimer timer;
    timer.start();
    second.start(QUILLORA_BINARY, QStringList());
    QVERIFY(second.waitForFinished(kEventWaitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(readLog(env).count("初始化开始"), 1);
    QCOMPARE(first.state(), QProcess::Running);

    // A termination signal closes the first in order: end lines and the user data file.
    first.terminate();
    QVERIFY(first.waitForFinished(kEventWaitMs));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(readLog(env).contains("程序结束:"));
    const QString userFile = env.home() + "/data/Quillora/UsrMsg.json";
    QCOMPARE(QFile::permissions(userFile) & (QFile::ReadGroup | QFile::ReadOther), 0);
    QCOMPARE(readUserFile(env).value("m_preVersion").toString(), QString("0.9.5_beta"));
}

void TestStartup::silentServiceHoldsNothingBack()
{
    TestEnv env;
    QTcpServer silent; // takes connections, never says a word
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    setServiceUrl(QUrl(QString("https://127.0.0.1:%1/").arg(silent.serverPort())));
    {
        FtManager saved; // automatic login, from an earlier run
        saved.initialize();
        saved.bSavePass = saved.bAutoLogin = true;
        saved.loggedInUser().user = "13800000000";
        saved.loggedInUser().pass = "secret";
        QVERIFY(saved.saveUserData());
    }
    QElapsedTimer launch;
    launch.start();
    AppServices services;
    MainWindow window(services);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Waiting in the constructor, it took the version check's and the login's limits.
    QVERIFY2(launch.elapsed() < 5000, qPrintable(QString::number(launch.elapsed())));
    QVERIFY(!readLog(env).contains("构造函数完毕"));
    // Each step ends at its limit, in the same order as ever.
    QTRY_VERIFY_WITH_TIMEOUT(readLog(env).contains("构造函数完毕"), 40000);
    const QString log = readLog(env);
    QVERIFY(log.indexOf("url_serv=") < log.indexOf("启动加载本地字体线程"));
    QVERIFY(log.indexOf("启动加载本地字体线程") < log.indexOf("构造函数完毕"));
    QVERIFY(!services.fontManager().bLogin);
    QCOMPARE(services.fontManager().loggedInUser().user, QString("13800000000"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
