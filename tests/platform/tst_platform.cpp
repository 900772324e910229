// The Linux side of the operating-system seams, in a private HOME.
#include "platform/autostart.h"
#include "platform/ownfolder.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"

#include "testenv.h"

#include <QLocalSocket>
#include <QtTest>

#include <csignal>

#include <unistd.h>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void execQuoting_data();
    void execQuoting();
    void autostartOnAndOff();
    void singleInstanceInProcess();
    void laterStartRaisesTheRunningOne();
    void ownWritableFolder();
    void secondTerminationEndsAtOnce();
};

void TestPlatform::execQuoting_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "/opt/quillora/quillora" << "\"/opt/quillora/quillora\"";
    QTest::newRow("blank") << "/opt/My Apps/quillora" << "\"/opt/My Apps/quillora\"";
    QTest::newRow("reserved characters") << "/a\"b`c$d" << "\"/a\\\\\"b\\\\`c\\\\$d\"";
    QTest::newRow("backslash") << "/a\\b" << "\"/a\\\\\\\\b\"";
}

void TestPlatform::execQuoting()
{
    QFETCH(QString, path);
    QFETCH(QString, quoted);
    QCOMPARE(desktopExecQuote(path), quoted);
}

void TestPlatform::autostartOnAndOff()
{
    TestEnv env;
    const QString exe = "/opt/My Apps/quillora";
    const QString entry = autostartEntryPath(exe);
    QCOMPARE(entry, env.home() + "/config/autostart/quillora.desktop");

    // Read the entry as a desktop file reader would: key=value lines.
    auto value = [&](const QString &key) {
        QFile file(entry);
        if (!file.open(QIODevice::ReadOnly))
            return QString("<missing>");
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
            if (line.startsWith(key + '='))
                return line.mid(key.size() + 1);
        }
        return QString("<absent>");
    };

    QVERIFY(setStartAtLogin(exe, true));
    QCOMPARE(value("Hidden"), QString("false"));
    QCOMPARE(value("Type"), QString("Application"));
    QCOMPARE(value("Exec"), QString("\"/opt/My Apps/quillora\""));

    // Switching off keeps the entry, disabled.
    QVERIFY(setStartAtLogin(exe, false));
    QCOMPARE(value("Hidden"), QString("true"));
    QCOMPARE(value("X-GNOME-Autostart-enabled"), QString("false"));
    QCOMPARE(value("Exec"), QString("\"/opt/My Apps/quillora\""));
}

void TestPlatform::singleInstanceInProcess()
{
    TestEnv env;
    QVERIFY(isOnlyInstance());
    QVERIFY(QFile::exists(env.home() + "/runtime/fortest_abc123.lock"));
    QVERIFY(isOnlyInstance()); // asking again in the holder is harmless
}

void TestPlatform::laterStartRaisesTheRunningOne()
{
    TestEnv env;
    QVERIFY(!askRunningInstanceToRaise(1000)); // nobody listens yet
    QObject owner;
    int raised = 0;
    QVERIFY(listenForLaterStarts(&owner, [&raised] { ++raised; }));
    QVERIFY(askRunningInstanceToRaise(1000));
    QTRY_COMPARE(raised, 1);
    // Anything else on the socket is no request.
    QLocalSocket stranger;
    stranger.connectToServer(instanceSocketName());
    QVERIFY(stranger.waitForConnected(1000));
    stranger.write("quit\n");
    QVERIFY(stranger.waitForBytesWritten(1000));
    QVERIFY(askRunningInstanceToRaise(1000));
    QTRY_COMPARE(raised, 2);
    QTest::qWait(100);
    QCOMPARE(raised, 2);
}

void TestPlatform::ownWritableFolder()
{
    TestEnv env;
    const QString own = env.path("own");
    QVERIFY(QDir().mkpath(own));
    QVERIFY(isOwnWritableFolder(own));
    QVERIFY(!isOwnWritableFolder(env.path("missing")));
    QVERIFY(QFile::link(own, env.path("link")));
    QVERIFY(!isOwnWritableFolder(env.path("link"))); // judged as named: a link is no folder
    QFile file(env.path("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(!isOwnWritableFolder(file.fileName()));
    if (::geteuid() == 0) {
        // Someone else's folder, even one this user may write into.
        const QString other = env.path("other");
        QVERIFY(QDir().mkpath(other));
        QCOMPARE(::chown(QFile::encodeName(other).constData(), 65534, 65534), 0);
        QVERIFY(!isOwnWritableFolder(other));
    } else {
        QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!isOwnWritableFolder(own));
        QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

namespace {

// The child of secondTerminationEndsAtOnce: signalled once, it waits at exit the way a
// run waits for a service that never answers, and is signalled again meanwhile.
int terminationChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    quitOnTerminationSignals();
    const QString marker = QString::fromLocal8Bit(argv[2]);
    setLastWordsOnSecondTermination([marker] { QFile(marker).open(QIODevice::WriteOnly); });
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    QCoreApplication::exec();
    QTimer::singleShot(100, [] { ::raise(SIGTERM); });
    QEventLoop wait;
    for (;;)
        wait.exec();
}

} // namespace

void TestPlatform::secondTerminationEndsAtOnce()
{
    QTemporaryDir dir;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--termination-child", dir.filePath("saved")});
    QVERIFY(child.waitForFinished(5000));
    QCOMPARE(child.exitCode(), 128 + SIGTERM);
    QVERIFY(QFile::exists(dir.filePath("saved"))); // the user data is saved first
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--termination-child") == 0)
        return terminationChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
