// The Linux side of the operating-system seams, in a private HOME.
#include "platform/autostart.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"

#include "testenv.h"

#include <QtTest>

#include <csignal>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void execQuoting_data();
    void execQuoting();
    void autostartOnAndOff();
    void singleInstanceInProcess();
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
