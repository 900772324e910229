// The client against a local HTTPS server with a certificate authority made for the run:
// the request frame, postAndWait's result codes and log line, catalogue loading over the
// wire, and the reports. Every body the server receives is finally handed to the
// separate checker script.
#include "service/catalogueloader.h"
#include "fonts/ftmanager.h"
#include "service/reportsender.h"
#include "service/requestbuilder.h"
#include "core/tlstrust.h"
#include "service/transport.h"

#include "testenv.h"
#include "testfiles.h"
#include "testhttpsserver.h"
#include "testnet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kOk = R"({"errcode":0,"message":"ok","tag":"103"})";
// The limit for requests the server never answers: short, and only for those, so
// that answers on a slow machine are not taken for time-outs.
constexpr int kHangLimitMs = 400;

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void requestFrame();
    void postAndWaitResults_data();
    void postAndWaitResults();
    void untrustedCertificateIsRefused();
    void connectionRefused();
    void catalogueOverTheWire();
    void usageReportClearsOnlyOnSuccess();
    void runEnd();
    void installAndLaunch();
    void startupReports_data();
    void startupReports();
    void exitWaitsEndAfterQuit();
    void problemReports_data();
    void problemReports();
    void capturedBodiesPassTheChecker();

private:
    QString log() const { return fileText(m_manager->messagesDir() + "FontMsg.log"); }
    void keepBodies();

    TestCertificates m_certs;
    std::unique_ptr<TestHttpsServer> m_server;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_manager;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QStringList m_capturedBodies;
};

void TestTransport::initTestCase()
{
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("openssl is not installed");
    QString error;
    QVERIFY2(m_certs.generate(&error), qPrintable(error));
    QCOMPARE(addTrustedCertificateAuthorities(m_certs.caFile()), 1);
    m_server = std::make_unique<TestHttpsServer>(m_certs.serverCertFile(), m_certs.serverKeyFile());
    QVERIFY(m_server->start());
    setServiceUrl(m_server->url());
    setMacAddressSource([] {
        return QList<InterfaceInfo>{{true, true, false, QStringLiteral("02:00:5E:10:00:01")}};
    });
}

void TestTransport::init()
{
    m_env = std::make_unique<TestEnv>();
    m_manager = std::make_unique<FtManager>();
    m_manager->initialize();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_server->setReply(kOk);
    m_server->setHandler(nullptr);
}

void TestTransport::keepBodies()
{
    for (const CapturedRequest &request : m_server->requests())
        m_capturedBodies << QString::fromUtf8(request.body);
    m_server->clearRequests();
}

void TestTransport::cleanup()
{
    keepBodies();
    m_network.reset();
    m_manager.reset();
    m_env.reset();
}

void TestTransport::cleanupTestCase()
{
    setMacAddressSource(nullptr);
}

void TestTransport::requestFrame()
{
    m_manager->requestContext.token = "tok";
    const QString body = RequestBuilder::bugPost("tok", "字体下载失败");
    QNetworkReply *reply = postForm(*m_network, body);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(kEventWaitMs));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    reply->deleteLater();

    QCOMPARE(m_server->requests().size(), 1);
    const CapturedRequest &request = m_server->requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/"));
    QCOMPARE(request.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.header("content-length").toInt(), body.toUtf8().size());
    QCOMPARE(request.body, body.toUtf8()); // Chinese text travels as raw UTF-8
    QVERIFY(request.header("cookie").isEmpty());
}

void TestTransport::postAndWaitResults_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("bytesKept");

    QTest::newRow("success") << int(TestHttpsServer::Respond) << kOk << 200 << 3
                             << "bk=0;tag=103;errcode=0;message=ok" << true;
    QTest::newRow("errcode not 0")
        << int(TestHttpsServer::Respond)
        << QByteArray(R"({"errcode":7,"message":"令牌失效","tag":"103"})") << 200 << 0
        << "bk=0;tag=103;errcode=7;message=令牌失效" << true;
    QTest::newRow("errcode as text") << int(TestHttpsServer::Respond)
                                     << QByteArray(R"({"errcode":"5","message":"m","tag":"103"})")
                                     << 200 << 0 << "bk=0;tag=103;errcode=5;message=m" << true;
    QTest::newRow("not JSON") << int(TestHttpsServer::Respond) << QByteArray("<html/>") << 200 << 0
                              << "bk=0;tag=0;errcode=-1;message=" << true;
    QTest::newRow("message with line break")
        << int(TestHttpsServer::Respond)
        << QByteArray(R"({"errcode":1,"message":"a\r\nbk=3","tag":"103"})") << 200 << 0
        << "bk=0;tag=103;errcode=1;message=a bk=3" << true;
    QTest::newRow("timed out") << int(TestHttpsServer::Hang) << kOk << 200 << 1 << "bk=1" << false;
    QTest::newRow("connection dropped")
        << int(TestHttpsServer::Drop) << kOk << 200 << 2 << "bk=2" << false;
    QTest::newRow("HTTP error") << int(TestHttpsServer::Respond) << kOk << 500 << 2 << "bk=2"
                                << false;
}

void TestTransport::postAndWaitResults()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(int, result);
    QFETCH(QString, logLine);
    QFETCH(bool, bytesKept);
    m_server->setBehaviour(TestHttpsServer::Behaviour(behaviour));
    m_server->setReply(reply, status);

    QByteArray bytes = "unchanged";
    const bool hangs = behaviour == TestHttpsServer::Hang;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(postAndWait(RequestBuilder::launchReport(""), bytes,
                         hangs ? kHangLimitMs : kEventWaitMs, *m_manager),
             result);
    if (hangs) // coarse timers may fire up to 5% early
        QVERIFY(clock.elapsed() >= kHangLimitMs * 95 / 100);
    QCOMPARE(bytes, bytesKept ? reply : QByteArray("unchanged"));
    const QStringList lines = log().split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    const QString line = lines.first().section("  ", 0, 0);
    QCOMPARE(line.section(";error=", 0, 0), logLine);
    // A network failure says which one it was.
    QCOMPARE(line.section(";error=", 1).size() > 1, result == PostNetworkError);
}

void TestTransport::untrustedCertificateIsRefused()
{
    TestHttpsServer rogue(m_certs.untrustedCertFile(), m_certs.untrustedKeyFile());
    QVERIFY(rogue.start());
    rogue.setReply(kOk);
    setServiceUrl(rogue.url());
    QByteArray bytes;
    const int result = postAndWait(RequestBuilder::fontTags(), bytes, kEventWaitMs, *m_manager);
    setServiceUrl(m_server->url());
    QCOMPARE(result, int(PostNetworkError));
    QVERIFY(rogue.requests().isEmpty()); // nothing was sent to an unverified peer
}

void TestTransport::connectionRefused()
{
    const ClosedPort closed;
    QVERIFY(closed.isValid());
    setServiceUrl(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(closed.port())));
    QByteArray bytes;
    const int result = postAndWait(RequestBuilder::fontTags(), bytes, kEventWaitMs, *m_manager);
    setServiceUrl(m_server->url());
    QCOMPARE(result, int(PostNetworkError));
}

void TestTransport::catalogueOverTheWire()
{
    CatalogueLoader loader(*m_manager, *m_network);
    m_manager->requestContext.token = "tk";
    m_server->setHandler([](const CapturedRequest &request) -> QByteArray {
        if (request.body.startsWith("tag=102"))
            return R"({"errcode":0,"tag":"102","tags":[{"name":"g","children":[{"tagid":"1","tagname":"t"}]}]})";
        return R"({"errcode":0,"tag":"100","count":2,"lists":[{"fontid":"1","fontname":"A"},{"fontid":"2","fontname":"B"}]})";
    });
    QSignalSpy balloon(&loader, &CatalogueLoader::msgBalloon);
    QSignalSpy tagTree(&loader, &CatalogueLoader::msgTagTreeChanged);

    loader.requestFontTags();
    loader.requestAllFonts();
    QVERIFY(loader.isRequestInFlight());
    QVERIFY(!loader.askAgainIfSparse()); // the first request is still on its way
    QTRY_COMPARE_WITH_TIMEOUT(balloon.size(), 1, kEventWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(tagTree.size(), 1, kEventWaitMs);
    QVERIFY(!loader.isRequestInFlight());
    QCOMPARE(m_manager->initCloudVec.toList(), (QStringList{"A", "B"}));

    int catalogueRequests = 0;
    for (const CapturedRequest &request : m_server->requests()) {
        if (request.body.startsWith("tag=100")) {
            ++catalogueRequests;
            QVERIFY(request.body.contains("&page=1&number=8000&"));
            QVERIFY(request.body.endsWith("&token=tk"));
        }
    }
    QCOMPARE(catalogueRequests, 1);

    // Fewer than 50 names known: the cloud page button asks again.
    QVERIFY(loader.askAgainIfSparse());
    QTRY_COMPARE_WITH_TIMEOUT(balloon.size(), 2, kEventWaitMs);

    // A failed catalogue reply only clears the flag.
    m_server->setHandler(nullptr);
    m_server->setReply(QByteArray(), 500);
    loader.requestAllFonts();
    QTRY_VERIFY_WITH_TIMEOUT(!loader.isRequestInFlight(), kEventWaitMs);
    QCOMPARE(balloon.size(), 2);

    // A reply beyond the size limit is cut off while it arrives.
    m_server->setReply(QByteArray(int(CatalogueLoader::kMaxReplyBytes) + 4096, ' '));
    loader.requestAllFonts();
    QTRY_VERIFY_WITH_TIMEOUT(!loader.isRequestInFlight(), 4 * kEventWaitMs);
    QCOMPARE(balloon.size(), 2);
    QVERIFY(log().contains("cloudList failed: reply larger than 67108864 bytes"));
}

void TestTransport::usageReportClearsOnlyOnSuccess()
{
    ReportSender reports(*m_manager, *m_network);
    reports.setTimeout(kEventWaitMs);
    QCOMPARE(reports.sendUsageReport(), -1); // nothing to report, nothing sent
    QVERIFY(m_server->requests().isEmpty());

    m_manager->download_ids = {12};
    m_manager->activation = {{7, 2}};
    m_server->setBehaviour(TestHttpsServer::Hang);
    reports.setTimeout(kHangLimitMs);
    QCOMPARE(reports.sendUsageReport(), int(PostTimedOut));
    QCOMPARE(m_manager->download_ids, QSet<int>{12});
    reports.setTimeout(kEventWaitMs);
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_server->setReply(R"({"errcode":9,"tag":"103"})");
    QCOMPARE(reports.sendUsageReport(), int(PostFailed));
    QCOMPARE(m_manager->activation, (QMap<int, int>{{7, 2}}));
    QVERIFY(!log().contains("上报成功"));

    // The next report carries the old counts and the new ones.
    m_manager->download_ids.insert(40);
    m_manager->activation[3] = 1;
    m_server->setReply(kOk);
    m_server->clearRequests();
    // The copy holds the session token: owner only, even over a file others could read.
    const QString copy = m_manager->messagesDir() + "postuse.txt";
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ReadOther));
    QCOMPARE(reports.sendUsageReport(), int(PostSuccess));
    QCOMPARE(QFile::permissions(copy) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
    QVERIFY(m_manager->download_ids.isEmpty());
    QVERIFY(m_manager->activation.isEmpty());
    QVERIFY(log().contains("统计用字情况：上报成功."));
    const QByteArray sent = m_server->requests().last().body;
    QVERIFY(
        sent.contains(R"(&download_ids=12,40&activation=[{"fid":3,"num":1},{"fid":7,"num":2}]&)"));
    QCOMPARE(fileText(m_manager->messagesDir() + "postuse.txt").toUtf8(), sent);
}

void TestTransport::runEnd()
{
    ReportSender reports(*m_manager, *m_network);
    reports.setTimeout(kEventWaitMs);
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0, 0));
    const QDateTime end = start.addSecs(25 * 3600 + 61);

    m_manager->activation = {{5, 1}};
    reports.reportRunEnd(start, end); // nobody signed in: no usage report
    QCOMPARE(m_server->requests().size(), 1);
    QVERIFY(m_server->requests().first().body.contains("&duration=90061&"));
    QVERIFY(log().contains("统计程序时长：01:01:01"));
    QVERIFY(log().contains("程序结束:2024.03.02 09:01:01.000"));

    m_manager->bLogin = true;
    reports.reportRunEnd(start, end);
    QCOMPARE(m_server->requests().size(), 3);
    QVERIFY(m_server->requests().last().body.startsWith("tag=103&"));
    QVERIFY(m_manager->activation.isEmpty());
}

void TestTransport::installAndLaunch()
{
    ReportSender reports(*m_manager, *m_network);
    reports.setTimeout(kEventWaitMs);
    QCOMPARE(reports.sendInstallReport(), int(PostSuccess));
    QVERIFY(log().contains("installPost():3"));
    m_server->setBehaviour(TestHttpsServer::Drop);
    QCOMPARE(reports.sendInstallReport(), int(PostNetworkError));
    QVERIFY(log().contains("installPost():2"));
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_manager->requestContext.token = "tk";
    QCOMPARE(reports.sendLaunchReport(), int(PostSuccess));
    QVERIFY(m_server->requests().last().body.contains("&token=tk&"));
}

void TestTransport::startupReports_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("result");
    QTest::newRow("answered") << int(TestHttpsServer::Respond) << int(PostSuccess);
    QTest::newRow("never answered") << int(TestHttpsServer::Hang) << int(PostTimedOut);
    QTest::newRow("dropped") << int(TestHttpsServer::Drop) << int(PostNetworkError);
}

void TestTransport::startupReports()
{
    QFETCH(int, behaviour);
    QFETCH(int, result);
    m_server->setBehaviour(TestHttpsServer::Behaviour(behaviour));
    ReportSender reports(*m_manager, *m_network);
    reports.setTimeout(behaviour == TestHttpsServer::Hang ? kHangLimitMs : kEventWaitMs);
    reports.queueStartupReports(true, true);
    QTest::qWait(50);
    QVERIFY(m_server->requests().isEmpty()); // held until asked for

    QElapsedTimer timer;
    timer.start();
    reports.sendStartupReports();
    QVERIFY(timer.elapsed() < kHangLimitMs); // never waits
    QVERIFY(reports.startupReportsPending());

    // The end of the run sees them through first.
    reports.reportRunEnd(QDateTime::currentDateTime(), QDateTime::currentDateTime());
    QVERIFY(!reports.startupReportsPending());
    QStringList tags;
    for (const CapturedRequest &request : m_server->requests())
        if (tags.isEmpty() || tags.last() != request.body.left(7))
            tags << QString::fromUtf8(request.body.left(7));
    QCOMPARE(tags, QStringList({"tag=125", "tag=124", "tag=126"}));
    const QString text = log();
    const int install = text.indexOf(QStringLiteral("installPost():%1").arg(result));
    QVERIFY(install > text.indexOf("bk=") && install < text.indexOf("程序结束:"));
}

void TestTransport::exitWaitsEndAfterQuit()
{
    m_server->setBehaviour(TestHttpsServer::Hang);
    ReportSender reports(*m_manager, *m_network);
    reports.setTimeout(kHangLimitMs);
    reports.queueStartupReports(true, true);
    reports.sendStartupReports();
    // A termination request during the end of the run: every nested event loop now
    // returns at once, so no wait may rest on one.
    QCoreApplication::quit();
    QElapsedTimer timer;
    timer.start();
    reports.reportRunEnd(QDateTime::currentDateTime(), QDateTime::currentDateTime());
    const qint64 spent = timer.elapsed();
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec(); // clears the pending quit for the tests that follow
    QVERIFY2(spent < 3 * kHangLimitMs + 1000, qPrintable(QString::number(spent)));
    QVERIFY(!reports.startupReportsPending() && log().contains("installPost():1"));
}

void TestTransport::problemReports_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("confirmed") << QByteArray(R"({"errcode":0,"message":"收到","tag":"120"})")
                               << "BugPost:tag=120;err=0;message=收到;";
    QTest::newRow("not JSON") << QByteArray("busy") << "BugPost:tag=0;err=-1;message=;";
    QTest::newRow("tag as number")
        << QByteArray(R"({"errcode":0,"tag":120})") << "BugPost:tag=0;err=0;message=;";
}

void TestTransport::problemReports()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, logLine);
    m_server->setReply(reply);
    ReportSender reports(*m_manager, *m_network);
    QNetworkReply *sent = reports.postBug("激活失败: 文件不存在 & 重试");
    QSignalSpy destroyed(sent, &QObject::destroyed);
    QVERIFY(destroyed.wait(kEventWaitMs)); // the slot released the reply
    QCOMPARE(log().section("  ", 0, 0), logLine);
    QVERIFY(
        m_server->requests().first().body.contains("&error_info=激活失败: 文件不存在 %26 重试&"));
    QVERIFY(!m_server->requests().first().body.contains("client_name"));
}

void TestTransport::capturedBodiesPassTheChecker()
{
    keepBodies();
    if (QStandardPaths::findExecutable("python3").isEmpty())
        QSKIP("python3 is not installed");
    QVERIFY(m_capturedBodies.size() >= 20);
    QTemporaryDir dir;
    QFile file(dir.filePath("captured.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonArray::fromStringList(m_capturedBodies)).toJson());
    file.close();
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start("python3", {QStringLiteral(QUILLORA_CHECKER_SCRIPT), file.fileName()});
    QVERIFY(python.waitForFinished(30000));
    const QString output = QString::fromUtf8(python.readAll());
    QVERIFY2(python.exitCode() == 0, qPrintable(output));
    QCOMPARE(output.count(QRegularExpression("^ok \\d+$", QRegularExpression::MultilineOption)),
             m_capturedBodies.size());
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
