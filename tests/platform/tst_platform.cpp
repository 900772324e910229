// The Linux side of the operating-system seams, in a private HOME.
#include "platform/autostart.h"
#include "platform/singleinstance.h"

#include "testenv.h"

#include <QtTest>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void execQuoting_data();
    void execQuoting();
    void autostartOnAndOff();
    void singleInstanceInProcess();
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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
