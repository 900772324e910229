// The version check, the update offer and the start of the updater, in process.
#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "devserverprocess.h"
#include "service/transport.h"
#include "testfiles.h"
#include "update/updateoffer.h"
#include "update/versioncheckdlg.h"
#include "window/mainwindow.h"
#include "windowfixture.h"

#include <QtTest>

#include <unistd.h>

class TestUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void offer_data();
    void offer();
    void startUpdater();
    void noReplyWithinLimit();
    void acceptedUpdateWaitsThenStartUpGoesOn();

private:
    WindowFixture m_fixture;
    TestEnv &m_env = m_fixture.env();
    FtManager m_manager;
    QString programFile() const { return m_env.path("my programs/quillora"); } // with a blank
};

void TestUpdate::initTestCase()
{
    m_manager.initialize();
    // Offers 0.9.6; only the first version request is answered too late.
    QVERIFY(m_fixture.startDevService(
        {"--latest-version", "0.9.6", "--fault", "tag=121:delay=4000,times=1"}));
    QVERIFY(QDir().mkpath(m_env.path("my programs")) && QDir().mkpath(m_env.path("system/lib")));
    // Not this user's folder: root hands it to nobody, others lose the write bit.
    QVERIFY(geteuid() == 0 ? chown(qPrintable(m_env.path("system/lib")), 65534, 65534) == 0
                           : QFile::setPermissions(m_env.path("system/lib"),
                                                   QFile::ReadOwner | QFile::ExeOwner));
}

void TestUpdate::offer_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("state");
    const QString pkg = "https://example.com/u.zip";
    QTest::newRow("0.9.6 newer") << 3 << "0.9.6" << pkg << "my programs" << int(UpdateOffer::Available);
    QTest::newRow("0.9.5 equal") << 3 << "0.9.5" << pkg << "my programs" << int(UpdateOffer::Latest);
    QTest::newRow("1.0 unreadable") << 3 << "1.0" << pkg << "my programs" << int(UpdateOffer::Latest);
    QTest::newRow("V1.0.0 newer") << 3 << "V1.0.0" << pkg << "my programs" << int(UpdateOffer::Available);
    QTest::newRow("empty package") << 3 << "0.9.6" << "" << "my programs" << int(UpdateOffer::CheckFailed);
    QTest::newRow("http package") << 3 << "0.9.6" << "http://example.com/u.zip" << "my programs"
                                  << int(UpdateOffer::CheckFailed);
    QTest::newRow("system folder") << 3 << "0.9.6" << pkg << "system/lib" << int(UpdateOffer::PackageManager);
}

void TestUpdate::offer()
{
    QFETCH(int, result);
    QFETCH(QString, latest);
    QFETCH(QString, url);
    QFETCH(QString, folder);
    QFETCH(int, state);
    UpdateOffer offer(m_manager, m_env.path(folder + "/quillora"));
    QCOMPARE(int(offer.decide(result, latest, url)), state);
    QCOMPARE(offer.isLatest(), state != UpdateOffer::Available);
}

void TestUpdate::startUpdater()
{
    UpdateOffer offer(m_manager, programFile());
    offer.decide(PostSuccess, "0.9.6", "https://example.com/u.zip");
    QStringList seen;
    bool starts = false;
    offer.setLauncher([&](const QString &program, const QStringList &arguments) {
        seen = QStringList{program} + arguments;
        return starts;
    });
    QCOMPARE(int(offer.startUpdater()), int(UpdateOffer::UpdaterMissing));
    QFile updater(offer.updaterPath());
    QVERIFY(updater.open(QIODevice::WriteOnly));
    updater.setPermissions(updater.permissions() | QFile::ExeOwner);
    QCOMPARE(int(offer.startUpdater()), int(UpdateOffer::StartFailed));
    starts = true;
    QCOMPARE(int(offer.startUpdater()), int(UpdateOffer::Started));
    // The path with its blank stays one argument.
    QCOMPARE(seen, QStringList({updater.fileName(), programFile(), "https://example.com/u.zip"}));
}

void TestUpdate::noReplyWithinLimit()
{
    UpdateOffer offer(m_manager, programFile());
    offer.setTimeLimit(500);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(int(offer.check()), int(UpdateOffer::CheckFailed));
    QVERIFY(timer.elapsed() < 3000); // aborted at the limit, not at the late answer
}

void TestUpdate::acceptedUpdateWaitsThenStartUpGoesOn()
{
    QTimer accept;
    connect(&accept, &QTimer::timeout, [] {
        if (auto *dlg = qobject_cast<VersionCheckDlg *>(QApplication::activeModalWidget()))
            dlg->onUpdateVersion();
    });
    auto logText = [&] {
        return fileText(m_env.home() + "/Documents/TessalyFont/msg/FontMsg.log");
    };
    for (bool updaterStarts : {false, true}) {
        QFile::remove(m_env.home() + "/Documents/TessalyFont/msg/FontMsg.log");
        // The offer comes after the window is up; accepting it still ends the run.
        AppServices services;
        MainWindow window(services);
        services.updates().setLauncher(
            [updaterStarts](const QString &, const QStringList &) { return updaterStarts; });
        window.show();
        accept.start(100);
        if (!updaterStarts) {
            // The updater did not start: the whole start-up runs after all, after the answer.
            QTRY_VERIFY_WITH_TIMEOUT(logText().contains("构造函数完毕"), 15000);
            const QString log = logText();
            QVERIFY(log.indexOf("更新程序启动失败") >= 0);
            QVERIFY(log.indexOf("更新程序启动失败") < log.indexOf("启动加载本地字体线程"));
            QVERIFY(window.isVisible());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 15000);
            QVERIFY(logText().contains("更新程序已启动"));
            QVERIFY(!logText().contains("启动加载本地字体线程"));
        }
        accept.stop();
        QVERIFY(!services.updates().isRequested() || updaterStarts);
    }
}

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
