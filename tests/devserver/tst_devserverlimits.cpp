// The development service against what an attacker on the same machine tries:
// guessing codes, parse-bomb and oversized bodies, slow clients, a second service
// on the port, flooding the disk, hoarding tokens and counting head images. It runs
// with short clocks and small bounds, spoken to over raw sockets.
#include "service/signing.h"

#include "devserverprocess.h"
#include "testenv.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestDevServerLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bruteForceStops_data();
    void bruteForceStops();
    void bodiesAreBounded_data();
    void bodiesAreBounded();
    void slowClientsDoNotDelayOthers();
    void pipelinedRequestsAreAnswered();
    void secondInstanceOnThePortExits();
    void reportsAndPreviewsStayBounded();
    void tokensExpireAndAreBounded();
    void headNamesLogAndFileModes();

private:
    // Sends `request` and returns what comes back until the service closes.
    QByteArray exchange(const QByteArray &request, bool web = false, int timeoutMs = 10000);
    std::unique_ptr<QSslSocket> open(bool web);
    QJsonObject call(const QStringList &params);
    QString webPost(const QString &path, const QString &form);
    QString signUp(const QString &phone, const QString &password);

    TestEnv m_env;
    QTemporaryDir m_data;
    DevServerProcess m_server;
};

namespace {

const QStringList kSetA = {"app_version=0.9.5_beta", "app_platform=pc"};

QByteArray post(const QByteArray &path, const QByteArray &body, const QByteArray &type = {})
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + type +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QString otherCode(const QString &code)
{
    return QStringLiteral("%1").arg((code.toInt() + 1) % 10000, 4, 10, QLatin1Char('0'));
}

} // namespace

void TestDevServerLimits::initTestCase()
{
    QVERIFY2(m_server.start(m_data.filePath("state"),
                            {"--attempt-limit",      "3",
                             "--lock-time",          "3",
                             "--code-interval",      "1",
                             "--token-lifetime",     "3",
                             "--tokens-per-user",    "2",
                             "--reports-per-minute", "5",
                             "--max-reports",        "3",
                             "--preview-cache",      "3",
                             "--max-body",           "1048576",
                             "--header-timeout",     "3",
                             "--log-requests",       m_data.filePath("requests.jsonl")}),
             qPrintable(m_server.errorString()));
}

std::unique_ptr<QSslSocket> TestDevServerLimits::open(bool web)
{
    std::unique_ptr<QSslSocket> s(new QSslSocket);
    if (web) {
        s->connectToHost("127.0.0.1", quint16(m_server.webUrl().port()));
        s->waitForConnected(5000);
        return s;
    }
    QSslConfiguration tls = s->sslConfiguration();
    tls.setCaCertificates(QSslCertificate::fromPath(m_server.caFile()));
    s->setSslConfiguration(tls);
    s->connectToHostEncrypted("127.0.0.1", quint16(m_server.url().port()));
    s->waitForEncrypted(5000);
    return s;
}

QByteArray TestDevServerLimits::exchange(const QByteArray &request, bool web, int timeoutMs)
{
    auto s = open(web);
    s->write(request);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (s->state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        s->waitForReadyRead(50);
        answer += s->readAll();
    }
    return answer + s->readAll();
}

QJsonObject TestDevServerLimits::call(const QStringList &params)
{
    QStringList body = params;
    body.insert(1, "secret=" + signatureOf(params));
    const QByteArray answer = exchange(post("/", body.join('&').toUtf8()));
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
}

QString TestDevServerLimits::webPost(const QString &path, const QString &form)
{
    return QString::fromUtf8(exchange(post(path.toUtf8(), form.toUtf8()), true));
}

QString TestDevServerLimits::signUp(const QString &phone, const QString &password)
{
    call(QStringList{"tag=115", "phone=" + phone} + kSetA);
    const QString code = m_server.waitForCode(phone);
    return call(QStringList{"tag=117", "phone=" + phone, "code=" + code, "password=" + password} +
                kSetA)["token"]
        .toString();
}

void TestDevServerLimits::bruteForceStops_data()
{
    QTest::addColumn<bool>("resetPage");
    QTest::newRow("registration") << false;
    QTest::newRow("password reset page") << true;
}

void TestDevServerLimits::bruteForceStops()
{
    QFETCH(bool, resetPage);
    const QString phone = resetPage ? "13700000001" : "13700000002";
    std::function<QString()> askCode;
    std::function<QString(const QString &)> tryCode;
    QString success;
    if (resetPage) {
        QVERIFY(!signUp(phone, "original1").isEmpty());
        QTest::qWait(1100); // one code per second and number
        askCode = [&] { return webPost("/index.php/Login/sendCode", "phone=" + phone); };
        tryCode = [&](const QString &code) {
            return webPost("/index.php/Login/resetPwd",
                           "phone=" + phone + "&code=" + code +
                               "&password=changed1&password2=changed1");
        };
        success = QStringLiteral("密码已重置");
    } else {
        askCode = [&] {
            return call(QStringList{"tag=115", "phone=" + phone} + kSetA)["message"].toString();
        };
        tryCode = [&](const QString &code) {
            return call(QStringList{"tag=117", "phone=" + phone, "code=" + code,
                                    "password=guessed1"} +
                        kSetA)["message"]
                .toString();
        };
        success = QStringLiteral("注册成功");
    }
    askCode();
    const QString code = m_server.waitForCode(phone);
    QCOMPARE(code.size(), 4);
    QVERIFY(askCode().contains(QStringLiteral("验证码发送过于频繁"))); // a second code at once
    for (int i = 0; i < 3; ++i)
        QVERIFY(!tryCode(otherCode(code)).contains(QStringLiteral("尝试次数过多")));
    // Locked now: even the right code and a new code are refused until the lock ends.
    QVERIFY(tryCode(code).contains(QStringLiteral("尝试次数过多")));
    QVERIFY(askCode().contains(QStringLiteral("尝试次数过多")));
    QTest::qWait(3200);
    QVERIFY(tryCode(code).contains(success));
}

void TestDevServerLimits::bodiesAreBounded_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("web");
    QTest::addColumn<QByteArray>("status");

    const QByteArray head = "tag=100&secret=" + QByteArray(32, '0') + "&tag_id=";
    QByteArray pairs = head;
    while (pairs.size() < 16 * 1024)
        pairs += "a=&";
    QTest::newRow("16 KB of a=&") << post("/", pairs) << false << QByteArray("200");
    QTest::newRow("1 MB of &") << post("/", head + QByteArray(1048576 - head.size(), '&')) << false
                               << QByteArray("200");
    const QByteArray declared = "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1048577\r\n\r\n";
    QTest::newRow("declared too large") << declared << false << QByteArray("413");
    QTest::newRow("declared too large, reset page") << declared << true << QByteArray("413");
    QByteArray chunked = "POST /index.php/Login/sendCode HTTP/1.1\r\nHost: a\r\n"
                         "Transfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 17; ++i)
        chunked += "10000\r\n" + QByteArray(0x10000, 'x') + "\r\n";
    QTest::newRow("chunked too large")
        << QByteArray(chunked).replace("/index.php/Login/sendCode", "/") << false
        << QByteArray("413");
    QTest::newRow("chunked too large, reset page") << chunked << true << QByteArray("413");
}

void TestDevServerLimits::bodiesAreBounded()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, web);
    QElapsedTimer clock;
    clock.start();
    const QByteArray answer = exchange(request, web);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(answer.startsWith("HTTP/1.1 "), answer.left(40).constData());
    QTEST(answer.mid(9, 3), "status");
    if (answer.startsWith("HTTP/1.1 200"))
        QVERIFY(answer.contains("\"errcode\":1001"));
}

void TestDevServerLimits::slowClientsDoNotDelayOthers()
{
    std::vector<std::unique_ptr<QSslSocket>> slow, slowBodies;
    for (int i = 0; i < 34; ++i)
        slow.push_back(open(i >= 24));
    // More senders of slow bodies than the service has workers at its ceiling.
    for (int i = 0; i < 120; ++i) {
        slowBodies.push_back(open(i % 4 == 0));
        slowBodies.back()->write("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 100000\r\n\r\n");
    }
    const QByteArray header = "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (int byte = 0; byte < 4; ++byte) {
        for (auto &s : slow) {
            s->write(header.mid(byte, 1));
            s->flush();
        }
        for (auto &s : slowBodies) {
            s->write("a");
            s->flush();
        }
        QTest::qWait(250);
    }
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(call(QStringList{"tag=102"} + kSetA)["errcode"].toInt(-1), 0);
    QVERIFY(exchange("GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", true)
                .startsWith("HTTP/1.1 200"));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // Headers that never end are cut off after their time.
    for (auto &s : slow)
        QVERIFY(s->state() == QAbstractSocket::UnconnectedState || s->waitForDisconnected(5000));
}

void TestDevServerLimits::pipelinedRequestsAreAnswered()
{
    QStringList params = QStringList{"tag=102"} + kSetA;
    params.insert(1, "secret=" + signatureOf(params));
    const QByteArray body = params.join('&').toUtf8();
    QByteArray first = post("/", body).replace("Connection: close", "Connection: keep-alive");
    // Both in one write; both answers come well within the header time (3 s).
    QCOMPARE(exchange(first + post("/", body), false, 2000).count("\"errcode\":0"), 2);
}

void TestDevServerLimits::secondInstanceOnThePortExits()
{
    QTemporaryDir other;
    QProcess second;
    second.start(DevServerProcess::defaultProgram(),
                 {"--data", other.path(), "--port", QString::number(m_server.url().port())});
    QVERIFY(second.waitForFinished(20000));
    QVERIFY(second.exitCode() != 0);
    QVERIFY(second.readAllStandardError().contains("already in use"));
    QVERIFY(!second.readAllStandardOutput().contains("ready"));
}

void TestDevServerLimits::reportsAndPreviewsStayBounded()
{
    QList<int> errcodes;
    for (int i = 0; i < 6; ++i)
        errcodes << call({"tag=120", "token=", "error_info=" + QString(20000, 'x'),
                          "platform=pc"})["errcode"]
                        .toInt(-1);
    QCOMPARE(errcodes, (QList<int>{0, 0, 0, 0, 0, 1004}));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reports");
        db.setDatabaseName(m_data.filePath("state/devserver.sqlite"));
        QVERIFY(db.open());
        QSqlQuery q("SELECT COUNT(*), MAX(LENGTH(params)) FROM reports", db);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
        QVERIFY(q.value(1).toInt() < 4096 + 200);
    }
    QSqlDatabase::removeDatabase("reports");

    for (int i = 0; i < 6; ++i)
        QVERIFY(exchange("GET /preview/1.png?text=t" + QByteArray::number(i) +
                         " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n")
                    .startsWith("HTTP/1.1 200"));
    int kept = 0;
    for (QDirIterator it(m_data.filePath("state/cache/previews"), {"*.png"}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++kept;
    QCOMPARE(kept, 3);
}

void TestDevServerLimits::tokensExpireAndAreBounded()
{
    const QString phone = "13700000003";
    QStringList tokens = {signUp(phone, "tokens1")};
    for (int i = 0; i < 2; ++i)
        tokens << call({"tag=114", "name=" + phone, "password=tokens1", "platform=pc"})["token"]
                      .toString();
    auto works = [&](const QString &token) {
        return call(QStringList{"tag=107", "token=" + token} + kSetA)["errcode"].toInt(-1);
    };
    QCOMPARE(works(tokens[0]), 2002); // the oldest of three went
    QCOMPARE(works(tokens[1]), 0);
    QCOMPARE(works(tokens[2]), 0);
    QTest::qWait(3200);
    QCOMPARE(works(tokens[2]), 2002);
}

void TestDevServerLimits::headNamesLogAndFileModes()
{
    const QString phone = "13700000004";
    const QString token = signUp(phone, "heads-pw1");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    QStringList urls;
    for (int i = 0; i < 2; ++i) {
        const QString body = signProfileParams(
            QStringList{"head=" + png.toBase64(), "tag=119", "token=" + token} + kSetA);
        QVERIFY(exchange(post("/", body.toUtf8())).contains("\"errcode\":0"));
        urls << call({"tag=114", "name=" + phone, "password=heads-pw1", "platform=pc"})["head"]
                    .toString();
        QVERIFY2(QRegularExpression("/heads/[0-9a-f]{32}\\.png$").match(urls.last()).hasMatch(),
                 qPrintable(urls.last()));
    }
    QVERIFY(urls[0] != urls[1]);
    auto get = [&](const QString &path) {
        return exchange("GET " + path.toUtf8() +
                        " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
    };
    QVERIFY(get(QUrl(urls[1]).path()).startsWith("HTTP/1.1 200"));
    QVERIFY(get(QUrl(urls[0]).path()).startsWith("HTTP/1.1 404"));
    QVERIFY(get("/heads/1-1.png").startsWith("HTTP/1.1 404"));

    for (const char *file : {"state/devserver.sqlite", "requests.jsonl"})
        QCOMPARE(QFile::permissions(m_data.filePath(file)) &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFileDevice::Permissions());
    QFile log(m_data.filePath("requests.jsonl"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    QVERIFY(logged.contains("password=***") && logged.contains("code=***"));
    QVERIFY(!logged.contains("heads-pw1") && !logged.contains(token.toLatin1()));
}

QTEST_MAIN(TestDevServerLimits)
#include "tst_devserverlimits.moc"
