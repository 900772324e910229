// The Linux side of the operating-system seams, in a private HOME.
#include "platform/autostart.h"
#include "platform/ownfolder.h"
#include "platform/singleinstance.h"

#include "testenv.h"

#include <QLocalSocket>
#include <QtTest>

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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
