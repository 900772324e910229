// Picking cloud fonts of the development service's catalogue: the archive comes over
// verified TLS, is unpacked with its derived password, activated and applied; a
// failed download reaches the service as a problem report.
#include "activation/activationcontroller.h"
#include "activationkit.h"
#include "service/catalogueloader.h"
#include "devserverprocess.h"
#include "fonts/ftmanager.h"
#include "service/reportsender.h"
#include "testenv.h"
#include "testnet.h"
#include "core/tlstrust.h"
#include "service/transport.h"

#include <QNetworkAccessManager>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

class TestActivationService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pickCloudFont();
    void failedDownloadIsReported();

private:
    struct Session
    {
        FtManager ft;
        QNetworkAccessManager serviceNetwork;
        ReportSender sender{ft, serviceNetwork};
        ServiceProblemReporter reporter{sender};
        RecordingView view;
        ActivationController controller{ft, &view, &view, &reporter};
        QObject card;
    };
    // A signed-in session with the service's catalogue loaded.
    void openSession();
    std::unique_ptr<Session> m_session;

    std::unique_ptr<TestEnv> m_env;
    QTemporaryDir m_data;
    DevServerProcess m_server;
};

void TestActivationService::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    // DejaVu Sans (catalogue id 13) answers with an empty body.
    QVERIFY2(m_server.start(m_data.filePath("state"), {"--fault", "path=/download/13.zip:empty"}),
             qPrintable(m_server.errorString()));
    QCOMPARE(addTrustedCertificateAuthorities(m_server.caFile()), 1);
    setServiceUrl(m_server.url());
}

void TestActivationService::openSession()
{
    m_session.reset();
    m_session = std::make_unique<Session>();
    m_session->ft.initialize();
    m_session->ft.bLogin = true;
    useStubLibrary(m_session->controller.engine(), 0, m_env->path("calls.txt"));
    CatalogueLoader loader(m_session->ft, m_session->serviceNetwork);
    loader.requestAllFonts();
    QTRY_VERIFY_WITH_TIMEOUT(loader.catalogueReceived(), kEventWaitMs);
}

void TestActivationService::pickCloudFont()
{
    openSession();
    if (QTest::currentTestFailed())
        return;
    Session *session = m_session.get();
    FtManager &ft = session->ft;
    const auto font = ft.cloudFont("文鼎PL简报宋");
    QVERIFY(font);
    const QString source = "/usr/share/fonts/truetype/arphic-gbsn00lp/gbsn00lp.ttf";
    if (!QFile::exists(source))
        QSKIP("needs fonts-arphic-gbsn00lp");

    const QString cwd = QDir::currentPath();
    session->controller.onFtSelected(font->fontname, &session->card);
    QCOMPARE(session->controller.downloads().downloadingNames().keys(),
             QStringList{font->fontname});
    QTRY_VERIFY_WITH_TIMEOUT(session->view.appliedAtMs >= 0, kEventWaitMs);

    QVERIFY(QFileInfo(ft.downloadsDir() + QUrl(font->download_url).fileName()).isFile());
    QFile extracted(ft.usedDir() + font->ttf_name), original(source);
    QVERIFY(extracted.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QVERIFY(extracted.readAll() == original.readAll());
    QCOMPARE(ft.downlist.value(font->fontname), ft.usedDir() + font->ttf_name);
    QVERIFY(ft.download_ids.contains(font->fontid));
    QCOMPARE(ft.activation.value(font->fontid), 1);
    QVERIFY(session->view.appliedAtMs - session->view.markedAtMs >=
            ActivationController::kApplyDelayMs - 1);
    QCOMPARE(session->view.trays(),
             QStringList{"tray|字体设置|" + font->fontname + "已设置到当前应用"});
    QVERIFY(!session->controller.isBusy(font->fontname));
    // The completed transfer shows 100 once, however it was cut into chunks, and
    // the bar is cleared after it.
    const QStringList &events = session->view.events;
    const QString full = "progress|" + font->fontname + "|100";
    QCOMPARE(events.count(full), 1);
    QVERIFY(events.indexOf(full) < events.indexOf("clear|" + font->fontname));
    const DownloadManager &downloads = session->controller.downloads();
    QVERIFY(downloads.jobs().isEmpty() && downloads.progress().isEmpty());
    QVERIFY(downloads.downloadingNames().isEmpty());
    QCOMPARE(QDir::currentPath(), cwd); // the extractor's change of folder is undone
}

void TestActivationService::failedDownloadIsReported()
{
    openSession();
    if (QTest::currentTestFailed())
        return;
    Session *session = m_session.get();
    const auto font = session->ft.cloudFont("DejaVu Sans");
    QVERIFY(font && font->fontid == 13);

    session->controller.onFtSelected(font->fontname, &session->card);
    QTRY_VERIFY_WITH_TIMEOUT(!session->controller.isBusy(font->fontname), kEventWaitMs);
    const QString line = "the TTF of [DejaVu Sans] download failed,url:" + font->download_url;
    QCOMPARE(eventTexts(session->ft).filter("download failed"), QStringList{line});

    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reports");
    db.setDatabaseName(m_data.filePath("state/devserver.sqlite"));
    db.setConnectOptions("QSQLITE_OPEN_READONLY");
    QVERIFY(db.open());
    auto reported = [&db] {
        QSqlQuery q(db);
        QStringList texts;
        if (q.exec("SELECT params FROM reports WHERE tag = 120"))
            while (q.next())
                texts << QJsonDocument::fromJson(q.value(0).toByteArray())["error_info"].toString();
        return texts;
    };
    QTRY_COMPARE_WITH_TIMEOUT(reported(), QStringList{line}, kEventWaitMs);
}

QTEST_MAIN(TestActivationService)
#include "tst_activationservice.moc"
