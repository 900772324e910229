// The development service run as its own process on a free port, spoken to with the
// client's request builders, transport and reply readers over verified TLS: every
// operation, the downloads, signature refusal, a restart and each injected fault.
#include "devserver/catalogue.h"
#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/signing.h"
#include "core/tlstrust.h"
#include "service/transport.h"
#include "zipextract/extractarchive.h"

#include "devserverprocess.h"
#include "testenv.h"
#include "testfiles.h"
#include "testnet.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

struct Fetched
{
    QNetworkReply::NetworkError error = QNetworkReply::UnknownNetworkError;
    int status = 0;
    QByteArray body;
};

Fetched fetch(const QUrl &url, int timeoutMs = kEventWaitMs)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    Fetched out;
    if (reply->isFinished()) {
        out.error = reply->error();
        out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        out.body = reply->readAll();
    } else {
        out.error = QNetworkReply::TimeoutError;
        reply->abort();
    }
    reply->deleteLater();
    return out;
}

// A body the way the protocol text describes it, built without the client's code:
// signature after the tag, values as they are.
QString rawBody(const QStringList &params)
{
    QStringList body = params;
    body.insert(1, "secret=" + signatureOf(params));
    return body.join('&');
}

bool hasChinese(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff)
            return true;
    }
    return false;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

int darkPixels(const QImage &image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                ++dark;
        }
    }
    return dark;
}

} // namespace

class TestDevServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void catalogueAndTags();
    void catalogueFilters_data();
    void catalogueFilters();
    void registerLoginAgreement();
    void favourites();
    void profileWithHeadImage();
    void reportsAreStored();
    void versionAndChangeLog();
    void previewPictures_data();
    void previewPictures();
    void archives_data();
    void archives();
    void addressesFollowTheHostAsked();
    void signatureRejected_data();
    void signatureRejected();
    void rawAndEscapedBodiesAgree();
    void everyTagWithPlainBodies_data();
    void everyTagWithPlainBodies();
    void passwordResetPage();
    void stateSurvivesRestart();
    void faultModes_data();
    void faultModes();
    void pathFaults();

private:
    // Posts through the client's postAndWait; the reply as a JSON object.
    QJsonObject call(const QString &body, int *result = nullptr, int timeoutMs = kEventWaitMs);
    QString signUp(const QString &phone, const QString &password);
    QJsonObject login(const QString &name, const QString &password);
    QSqlDatabase database();
    void startFaultServer();

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_manager;
    QTemporaryDir m_data;
    QTemporaryDir m_faultData;
    QString m_requestLog;
    DevServerProcess m_server;
    DevServerProcess m_faultServer;
    Catalogue m_catalogue;
    QString m_favouritesToken;
    QString m_profilePhone;
};

void TestDevServer::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_manager = std::make_unique<FtManager>();
    m_manager->initialize();
    QString error;
    QStringList warnings;
    QVERIFY2(m_catalogue.load(Catalogue::builtinManifest(), &error, &warnings), qPrintable(error));

    m_requestLog = m_data.filePath("requests.jsonl");
    QVERIFY2(m_server.start(m_data.filePath("state"),
                            {"--latest-version", "0.9.6", "--log-requests", m_requestLog}),
             qPrintable(m_server.errorString()));
    QVERIFY(m_server.url().toString().startsWith("https://127.0.0.1:"));
    QVERIFY(m_server.webUrl().toString().startsWith("http://127.0.0.1:"));
    QCOMPARE(addTrustedCertificateAuthorities(m_server.caFile()), 1);
    setServiceUrl(m_server.url());
}

void TestDevServer::cleanupTestCase()
{
    m_faultServer.stop();
    QVERIFY2(m_server.stop(), m_server.standardError().constData());
    m_manager.reset();
    m_env.reset();
}

QJsonObject TestDevServer::call(const QString &body, int *result, int timeoutMs)
{
    QByteArray bytes;
    const int r = postAndWait(body, bytes, timeoutMs, *m_manager);
    if (result)
        *result = r;
    return QJsonDocument::fromJson(bytes).object();
}

QString TestDevServer::signUp(const QString &phone, const QString &password)
{
    int result = -1;
    call(RequestBuilder::sendPhoneCode(phone), &result);
    if (result != PostSuccess)
        return QString();
    const QString code = m_server.waitForCode(phone);
    const QJsonObject reply = call(RequestBuilder::registerAccount(phone, code, password), &result);
    return result == PostSuccess ? reply["token"].toString() : QString();
}

QJsonObject TestDevServer::login(const QString &name, const QString &password)
{
    return call(RequestBuilder::login(name, password));
}

QSqlDatabase TestDevServer::database()
{
    const QString name = QStringLiteral("reader");
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name)
                                                   : QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(m_data.filePath("state/devserver.sqlite"));
    db.setConnectOptions("QSQLITE_OPEN_READONLY");
    db.open();
    return db;
}

void TestDevServer::catalogueAndTags()
{
    QByteArray bytes;
    QCOMPARE(postAndWait(RequestBuilder::allFonts(QString()), bytes, 15000, *m_manager),
             int(PostSuccess));
    // The envelope's member types as the strict readers want them.
    const QJsonObject raw = QJsonDocument::fromJson(bytes).object();
    QVERIFY(raw["errcode"].isDouble());
    QCOMPARE(raw["tag"].toString(), QString("100"));
    QVERIFY(raw["message"].isString());
    for (const char *key : {"fontid", "codeid", "is_like", "provider", "language"})
        QVERIFY2(raw["lists"].toArray().first().toObject()[key].isString(), key);

    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    const int count = parseCatalogueReply(bytes, fonts, envelope);
    QCOMPARE(count, m_catalogue.fonts().size());
    QCOMPARE(fonts.size(), count);
    for (const FontAV &font : qAsConst(fonts)) {
        const CatalogueFont *source = m_catalogue.font(font.fontid);
        QVERIFY(source);
        QCOMPARE(font.fontname, source->name);
        QCOMPARE(font.ttf_name, source->ttfName);
        QCOMPARE(font.language, source->language);
        QCOMPARE(font.is_like, 0);
        QVERIFY(QUrl(font.download_url).isValid() && QUrl(font.image).isValid());
    }

    QByteArray tagBytes;
    QCOMPARE(postAndWait(RequestBuilder::fontTags(), tagBytes, 15000, *m_manager),
             int(PostSuccess));
    QVERIFY(dispatchReply(tagBytes, *m_manager).succeeded());
    QMap<QString, QSet<int>> groups;
    for (const TagGroup &g : qAsConst(m_manager->tagGroups)) {
        for (const TagItem &t : g.children)
            groups[g.name].insert(t.tagid);
    }
    QVERIFY(groups.contains("language") && groups.contains("provider"));
    QVERIFY(groups.contains(QStringLiteral("风格")));
    // Each font is found by the filter the client runs on these tags.
    for (const FontAV &font : qAsConst(fonts)) {
        QVERIFY(groups["language"].contains(font.language));
        QVERIFY(groups["provider"].contains(font.provider));
        for (const QString &part : font.tagid.split(',', Qt::SkipEmptyParts))
            QVERIFY(groups[QStringLiteral("风格")].contains(part.toInt()) ||
                    groups[QStringLiteral("字重")].contains(part.toInt()));
    }
}

void TestDevServer::catalogueFilters_data()
{
    QTest::addColumn<QString>("tagIds");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("number");

    QTest::newRow("style tag") << "102"
                               << "" << 0 << 0; // 楷体
    QTest::newRow("language or provider") << "1,14"
                                          << "" << 0 << 0;
    QTest::newRow("name in order") << ""
                                   << "djvs" << 0 << 0; // DeJaVu Sans...
    QTest::newRow("second page") << ""
                                 << "" << 2 << 5;
}

void TestDevServer::catalogueFilters()
{
    QFETCH(QString, tagIds);
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(int, number);
    QByteArray bytes;
    QCOMPARE(postAndWait(RequestBuilder::cloudList(QString(), QString(), QString(), tagIds, page,
                                                   number, name),
                         bytes, 15000, *m_manager),
             int(PostSuccess));
    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    const int count = parseCatalogueReply(bytes, fonts, envelope);

    QList<int> expected;
    for (const CatalogueFont &f : m_catalogue.fonts()) {
        bool match = true;
        if (!tagIds.isEmpty()) {
            match = false;
            for (const QString &id : tagIds.split(','))
                match = match || m_catalogue.fontHasTag(f, id.toInt());
        }
        if (!name.isEmpty()) {
            QRegularExpression re(QString(name).split("").join(".*"),
                                  QRegularExpression::CaseInsensitiveOption);
            match = match && (re.match(f.name).hasMatch() || re.match(f.enName).hasMatch());
        }
        if (match)
            expected.append(f.id);
    }
    QVERIFY(!expected.isEmpty());
    QCOMPARE(count, expected.size());
    if (page > 0)
        expected = expected.mid((page - 1) * number, number);
    else
        expected = expected.mid(0, 20); // the service's page size when none is asked for
    QList<int> got;
    for (const FontAV &f : qAsConst(fonts))
        got.append(f.fontid);
    QCOMPARE(got, expected);
}

void TestDevServer::registerLoginAgreement()
{
    const QString phone = "13800000001";
    int result = -1;
    QJsonObject reply = call(RequestBuilder::sendPhoneCode("1380000000"), &result);
    QCOMPARE(result, int(PostFailed));
    QVERIFY(hasChinese(reply["message"].toString()));

    QCOMPARE(call(RequestBuilder::sendPhoneCode(phone), &result)["errcode"].toInt(), 0);
    const QString code = m_server.waitForCode(phone);
    QCOMPARE(code.size(), 4);
    const QString wrong = code == "0000" ? "1111" : "0000";
    reply = call(RequestBuilder::registerAccount(phone, wrong, "secret123"), &result);
    QCOMPARE(result, int(PostFailed));

    reply = call(RequestBuilder::registerAccount(phone, code, "secret123"), &result);
    QCOMPARE(result, int(PostSuccess));
    QCOMPARE(reply["telephone"].toString(), phone);
    QVERIFY(reply["uid"].toInt() > 0);
    QVERIFY(!reply["token"].toString().isEmpty());
    // A code is good once, and a phone registers once.
    QCOMPARE(call(RequestBuilder::registerAccount(phone, code, "secret123"), &result)["errcode"]
                     .toInt() != 0,
             true);
    QCOMPARE(call(RequestBuilder::sendPhoneCode(phone), &result)["errcode"].toInt() != 0, true);

    reply = login(phone, "secret123");
    QCOMPARE(reply["errcode"].toInt(-1), 0);
    QCOMPARE(reply["type"].toString(), QString("2"));
    QCOMPARE(reply["is_agree"].toInt(), 0);
    const QString uname = reply["uname"].toString();
    QVERIFY(!uname.isEmpty() && uname != phone);

    // The client's own reader fills the record from the same reply.
    QVERIFY(dispatchReply(QJsonDocument(reply).toJson(), *m_manager).succeeded());
    QCOMPARE(m_manager->currentUser().telephone, phone);
    QCOMPARE(m_manager->currentUser().token, reply["token"].toString());

    QCOMPARE(call(RequestBuilder::acceptAgreement(reply["token"].toString()))["errcode"].toInt(-1),
             0);
    reply = login(uname, "secret123"); // by user name this time
    QCOMPARE(reply["errcode"].toInt(-1), 0);
    QCOMPARE(reply["is_agree"].toInt(), 1);

    reply = login(phone, "secret124");
    QVERIFY(reply["errcode"].toInt() != 0);
    QVERIFY(hasChinese(reply["message"].toString()));
    QVERIFY(!reply.contains("token"));

    // Only a salted hash is kept.
    const QByteArray file = fileBytes(m_data.filePath("state/devserver.sqlite")) +
                            fileBytes(m_data.filePath("state/devserver.sqlite-wal"));
    QVERIFY(!file.isEmpty());
    QVERIFY(!file.contains("secret123"));
}

void TestDevServer::favourites()
{
    const QString token = signUp("13800000002", "lovefonts");
    QVERIFY(!token.isEmpty());
    m_favouritesToken = token;
    for (int id : {3, 7})
        QCOMPARE(call(RequestBuilder::collectFont(token, id, true))["errcode"].toInt(-1), 0);
    QCOMPARE(call(RequestBuilder::collectFont(token, 99999, true))["errcode"].toInt() != 0, true);
    QCOMPARE(call(RequestBuilder::collectFont("not-a-token", 5, true))["errcode"].toInt() != 0,
             true);

    QJsonObject reply = call(RequestBuilder::loveList(QString(), QString(), token));
    QVERIFY(dispatchReply(QJsonDocument(reply).toJson(), *m_manager).succeeded());
    const FontGroup &group = m_manager->currentUser().favourites;
    QCOMPARE(group.size(), 2);
    QCOMPARE(group.fonts().at(0).fontid, 7); // latest first
    QCOMPARE(group.fonts().at(1).fontid, 3);
    QCOMPARE(group.fonts().at(0).is_like, 1);

    // The catalogue marks the token's favourites, and only them.
    QByteArray bytes;
    QCOMPARE(postAndWait(RequestBuilder::allFonts(token), bytes, 15000, *m_manager),
             int(PostSuccess));
    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    parseCatalogueReply(bytes, fonts, envelope);
    for (const FontAV &f : qAsConst(fonts))
        QCOMPARE(f.is_like, (f.fontid == 3 || f.fontid == 7) ? 1 : 0);

    QCOMPARE(call(RequestBuilder::collectFont(token, 3, false))["errcode"].toInt(-1), 0);
    reply = call(RequestBuilder::loveList(QString(), QString(), token));
    QCOMPARE(reply["lists"].toArray().size(), 1);
    QCOMPARE(reply["lists"].toArray().first().toObject()["fontid"].toString(), QString("7"));
    QVERIFY(call(RequestBuilder::loveList(QString(), QString(), QString()))["errcode"].toInt() !=
            0);
}

void TestDevServer::profileWithHeadImage()
{
    m_profilePhone = "13800000003";
    const QString token = signUp(m_profilePhone, "headfirst");
    QVERIFY(!token.isEmpty());

    QImage head(64, 48, QImage::Format_RGB32);
    head.fill(QColor(200, 40, 90));
    const QString base64 = QString::fromLatin1(pngOf(head).toBase64());
    const QString nick = QStringLiteral("字&体=迷+1%");
    int result = -1;
    call(RequestBuilder::modifyUser(base64, token, nick, 1, QStringLiteral("喜欢宋体"), "1990-5-7",
                                    QStringLiteral("广东"), QStringLiteral("深圳")),
         &result);
    QCOMPARE(result, int(PostSuccess));

    QJsonObject reply = login(m_profilePhone, "headfirst");
    QCOMPARE(reply["nick_name"].toString(), nick);
    QCOMPARE(reply["sex"].toInt(), 1);
    QCOMPARE(reply["birthday"].toString(), QString("1990-5-7"));
    QCOMPARE(reply["city"].toString(), QStringLiteral("深圳"));
    const QUrl headUrl(reply["head"].toString());
    QVERIFY(headUrl.isValid() && !headUrl.isEmpty());
    const Fetched picture = fetch(headUrl);
    QCOMPARE(picture.error, QNetworkReply::NoError);
    QVERIFY(picture.body.startsWith("\x89PNG"));
    const QImage served = QImage::fromData(picture.body);
    QCOMPARE(served.size(), head.size());
    QCOMPARE(served.pixelColor(10, 10), QColor(200, 40, 90));

    // Saving again without a new picture keeps it; a broken picture changes nothing.
    call(RequestBuilder::modifyUser(QString(), token, "n2", 0, QString(), QString(), QString(),
                                    QString()),
         &result);
    QCOMPARE(result, int(PostSuccess));
    call(RequestBuilder::modifyUser("bm90IGFuIGltYWdl", token, "n3", 2, QString(), QString(),
                                    QString(), QString()),
         &result);
    QCOMPARE(result, int(PostFailed));
    reply = login(m_profilePhone, "headfirst");
    QCOMPARE(reply["nick_name"].toString(), QString("n2"));
    QCOMPARE(QUrl(reply["head"].toString()), headUrl);
}

void TestDevServer::reportsAreStored()
{
    const QString token = signUp("13800000004", "reporter1");
    QVERIFY(!token.isEmpty());
    const QString problem =
        QStringLiteral("the TTF of [文鼎] download failed,url:https://x/a?b=1&c=2");
    const QStringList bodies = {
        RequestBuilder::usageReport(token, {1, 13}, {{1, 2}, {13, 5}}),
        RequestBuilder::bugPost(token, problem),
        RequestBuilder::installReport(),
        RequestBuilder::launchReport(QString()),
        RequestBuilder::durationReport(token, 90061),
    };
    for (const QString &body : bodies) {
        int result = -1;
        call(body, &result);
        QCOMPARE(result, int(PostSuccess));
    }

    QSqlDatabase db = database();
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT tag, params FROM reports ORDER BY id"));
    QMap<int, QJsonObject> stored;
    while (q.next())
        stored.insert(q.value(0).toInt(),
                      QJsonDocument::fromJson(q.value(1).toByteArray()).object());
    for (int tag : {103, 120, 124, 125, 126})
        QVERIFY2(stored.contains(tag), qPrintable(QString::number(tag)));
    QCOMPARE(stored[120]["error_info"].toString(), problem);
    QCOMPARE(stored[126]["duration"].toString(), QString("90061"));
    QCOMPARE(QJsonDocument::fromJson(stored[103]["activation"].toString().toUtf8()).array().size(),
             2);

    // The downloads count in the user's record.
    QCOMPARE(login("13800000004", "reporter1")["dowload_num"].toInt(), 2);
}

void TestDevServer::versionAndChangeLog()
{
    QJsonObject reply = call(RequestBuilder::lastVersion());
    QVERIFY(dispatchReply(QJsonDocument(reply).toJson(), *m_manager).succeeded());
    QCOMPARE(reply["version"].toString(), QString("0.9.6"));
    const QUrl package(reply["update_download"].toString());
    QVERIFY(package.isValid());
    QVERIFY(QUrl(reply["download"].toString()).isValid());

    reply = call(RequestBuilder::updateLog("0.9.6"));
    QCOMPARE(reply["errcode"].toInt(-1), 0);
    QVERIFY(hasChinese(reply["content"].toString()));
    QVERIFY(call(RequestBuilder::updateLog("0.9.4"))["errcode"].toInt() != 0);

    const Fetched zip = fetch(package);
    QCOMPARE(zip.error, QNetworkReply::NoError);
    QTemporaryDir dir;
    QFile file(dir.filePath(package.fileName()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(zip.body);
    file.close();
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir(dir.path()).mkpath("unpacked"));
    QVERIFY(extractArchive(file.fileName(), dir.filePath("unpacked"), QString()));
    QDir::setCurrent(cwd);
    QVERIFY(QFile::exists(dir.filePath("unpacked/UPDATE-0.9.6.txt")));
}

void TestDevServer::previewPictures_data()
{
    QTest::addColumn<int>("fontId");
    QTest::addColumn<QString>("text");

    QTest::newRow("Chinese font, its name") << 1 << QString();
    QTest::newRow("Chinese font, own text") << 2 << QStringLiteral("永和九年");
    QTest::newRow("Latin font, English sample") << 13 << "abcde";
    QTest::newRow("OpenType font, digits") << 25 << "12345";
}

void TestDevServer::previewPictures()
{
    QFETCH(int, fontId);
    QFETCH(QString, text);
    QJsonObject reply = call(RequestBuilder::imageList(text, {fontId, 99999}));
    QVERIFY(dispatchReply(QJsonDocument(reply).toJson(), *m_manager).succeeded());
    QCOMPARE(m_manager->imageList.size(), 1); // the unknown font is left out
    const Fetched picture = fetch(QUrl(m_manager->imageList.value(fontId)));
    QCOMPARE(picture.error, QNetworkReply::NoError);
    const QImage image = QImage::fromData(picture.body, "PNG");
    QVERIFY(!image.isNull());
    QCOMPARE(image.width() * 22, image.height() * 157);
    QVERIFY2(darkPixels(image) > 200, "nothing drawn");

    // Another text gives another picture.
    reply = call(RequestBuilder::imageList(QStringLiteral("Zz9"), {fontId}));
    const QString other = reply["lists"].toArray().first().toObject()["image"].toString();
    QVERIFY(QImage::fromData(fetch(QUrl(other)).body, "PNG") != image);
}

void TestDevServer::archives_data()
{
    QTest::addColumn<int>("fontId");
    QTest::newRow("Chinese TrueType") << 1;
    QTest::newRow("Latin TrueType") << 13;
    QTest::newRow("OpenType") << 25;
}

void TestDevServer::archives()
{
    QFETCH(int, fontId);
    const CatalogueFont *source = m_catalogue.font(fontId);
    QVERIFY(source);
    QJsonObject reply = call(
        RequestBuilder::cloudList(QString(), QString(), QString(), QString(), 1, 8000, QString()));
    QString url;
    for (const QJsonValue &v : reply["lists"].toArray()) {
        if (v.toObject()["fontid"].toString() == QString::number(fontId))
            url = v.toObject()["download_url"].toString();
    }
    QVERIFY(!url.isEmpty());
    const Fetched zip = fetch(QUrl(url));
    QCOMPARE(zip.error, QNetworkReply::NoError);

    QTemporaryDir dir;
    const QString archive = dir.filePath(QUrl(url).fileName());
    QFile file(archive);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(zip.body);
    file.close();
    const QByteArray original = fileBytes(source->file);

    const QString cwd = QDir::currentPath();
    QVERIFY(QDir(dir.path()).mkpath("right") && QDir(dir.path()).mkpath("wrong"));
    QVERIFY(extractArchive(archive, dir.filePath("right"), archivePassword(url)));
    QVERIFY(!extractArchive(archive, dir.filePath("wrong"), archivePassword(url + "x")));
    QDir::setCurrent(cwd);
    QCOMPARE(fileBytes(dir.filePath("right/" + source->ttfName)), original);
    QVERIFY(!QFileInfo::exists(dir.filePath("wrong/" + source->ttfName)));

    // Any zip tool opens it with the derived password.
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("Info-ZIP unzip is not installed");
    QProcess unzip;
    unzip.start("unzip",
                {"-q", "-P", archivePassword(url), archive, "-d", dir.filePath("infozip")});
    QVERIFY(unzip.waitForFinished(30000));
    QCOMPARE(unzip.exitCode(), 0);
    QCOMPARE(fileBytes(dir.filePath("infozip/" + source->ttfName)), original);
    unzip.start("unzip", {"-q", "-o", "-P", "wrong", archive, "-d", dir.filePath("infozip2")});
    QVERIFY(unzip.waitForFinished(30000));
    QVERIFY(unzip.exitCode() != 0);
}

void TestDevServer::addressesFollowTheHostAsked()
{
    // A client built for "localhost" gets "localhost" addresses, and the archive password
    // it derives from them still opens the archive.
    QUrl local = m_server.url();
    local.setHost("localhost");
    setServiceUrl(local);
    const QJsonObject reply = call(
        RequestBuilder::cloudList(QString(), QString(), QString(), QString(), 1, 1, QString()));
    setServiceUrl(m_server.url());
    const QJsonObject font = reply["lists"].toArray().first().toObject();
    const QString url = font["download_url"].toString();
    QCOMPARE(QUrl(url).host(), QString("localhost"));
    QCOMPARE(QUrl(font["image"].toString()).host(), QString("localhost"));

    const Fetched zip = fetch(QUrl(url));
    QCOMPARE(zip.error, QNetworkReply::NoError);
    QTemporaryDir dir;
    QFile file(dir.filePath("a.zip"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(zip.body);
    file.close();
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir(dir.path()).mkpath("out"));
    QVERIFY(extractArchive(file.fileName(), dir.filePath("out"), archivePassword(url)));
    QDir::setCurrent(cwd);
    const QString ttf = font["ttf_name"].toString();
    QCOMPARE(fileBytes(dir.filePath("out/" + ttf)),
             fileBytes(m_catalogue.font(font["fontid"].toString().toInt())->file));
}

void TestDevServer::signatureRejected_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("tag");

    QString wrong = RequestBuilder::fontTags();
    wrong.replace(QRegularExpression("secret=[0-9a-f]{32}"), "secret=" + QString(32, 'a'));
    QTest::newRow("wrong secret") << wrong << 102;
    QString missing = RequestBuilder::fontTags();
    missing.remove(QRegularExpression("&secret=[0-9a-f]{32}"));
    QTest::newRow("no secret") << missing << 102;
    QString tampered = RequestBuilder::login("13800000001", "secret123");
    tampered.replace("secret123", "secret124");
    QTest::newRow("changed after signing") << tampered << 114;
    QTest::newRow("signed by another key")
        << "tag=102&secret=" + md5Hex((md5Hex("tag=102") + "other-key").toLatin1()) << 102;
    QTest::newRow("empty body") << QString() << 0;
    QTest::newRow("unknown operation") << rawBody({"tag=999"}) << 999;
}

void TestDevServer::signatureRejected()
{
    QFETCH(QString, body);
    int result = -1;
    QByteArray bytes;
    result = postAndWait(body, bytes, 15000, *m_manager);
    QCOMPARE(result, int(PostFailed));
    const QJsonObject reply = QJsonDocument::fromJson(bytes).object();
    QVERIFY(reply["errcode"].isDouble());
    QVERIFY(reply["errcode"].toInt() != 0);
    QVERIFY(hasChinese(reply["message"].toString()));
    QTEST(reply["tag"].toString().toInt(), "tag");
    QVERIFY(!reply.contains("tags") && !reply.contains("token"));
}

void TestDevServer::rawAndEscapedBodiesAgree()
{
    // Registered with a body built straight from the protocol text (values as they are),
    // then logged in with the client's builder, which escapes them.
    const QString phone = "13800000005";
    const QString password = "p&w=1+x";
    QCOMPARE(call(rawBody({"tag=115", "phone=" + phone, "app_version=0.9.5_beta",
                           "app_platform=pc"}))["errcode"]
                 .toInt(-1),
             0);
    const QString code = m_server.waitForCode(phone);
    QJsonObject reply =
        call(rawBody({"tag=117", "phone=" + phone, "code=" + code, "password=" + password,
                      "app_version=0.9.5_beta", "app_platform=pc"}));
    QCOMPARE(reply["errcode"].toInt(-1), 0);
    QCOMPARE(login(phone, password)["errcode"].toInt(-1), 0);
    QVERIFY(login(phone, "p&w=1 x")["errcode"].toInt() != 0);
}

void TestDevServer::everyTagWithPlainBodies_data()
{
    // Bodies written from the protocol's request table alone; "{token}" is a signed-in
    // user's token. Registration (117) needs a printed code and is covered above.
    QTest::addColumn<QStringList>("params");
    const QStringList a = {"mac=00-11-22-33-44-55", "app_version=0.9.5_beta", "app_platform=pc"};
    QTest::newRow("100") << QStringList{
        "tag=100",         "page=1", "number=8000", "version=0.9.5_beta", "mac=00-11-22-33-44-55",
        "app_platform=pc", "token="};
    QTest::newRow("102") << QStringList{"tag=102"} + a;
    QTest::newRow("103") << QStringList{"tag=103", "token={token}", "download_ids=1,2",
                                        "activation=[{\"fid\":1,\"num\":3}]"} +
                                a;
    QTest::newRow("105") << QStringList{"tag=105", "token={token}", "font_ids=4"} + a;
    QTest::newRow("106") << QStringList{"tag=106", "token={token}", "font_ids=4"} + a;
    QTest::newRow("107") << QStringList{"tag=107", "content=你好", "token={token}"} + a;
    QTest::newRow("114") << QStringList{
        "tag=114",     "name=13800000007",     "password=plain&body=1", "version=0.9.5_beta",
        "platform=pc", "mac=00-11-22-33-44-55"};
    QTest::newRow("115") << QStringList{"tag=115", "phone=13800000008"} + a;
    QTest::newRow("118") << QStringList{"tag=118", "token={token}"} + a;
    QTest::newRow("119") << QStringList{"tag=119",         "token={token}", "nick_name=a=b&c",
                                        "sex=0",           "introduce=",    "birthday=2000-1-2",
                                        "province=北京市", "city=朝阳区"} +
                                a;
    QTest::newRow("120") << QStringList{
        "tag=120",       "token={token}",     "error_info=x&y=z",       "mac=00-11-22-33-44-55",
        "system=debian", "system_version=12", "app_version=0.9.5_beta", "platform=pc"};
    QTest::newRow("121") << QStringList{"tag=121", "platform=pc", "version=0.9.5_beta"};
    QTest::newRow("124") << QStringList{"tag=124", "mac=00-11-22-33-44-55", "version=0.9.5_beta",
                                        "platform=pc"};
    QTest::newRow("125") << QStringList{"tag=125", "token={token}", "mac=00-11-22-33-44-55",
                                        "version=0.9.5_beta", "platform=pc"};
    QTest::newRow("126") << QStringList{
        "tag=126",    "token={token}", "duration=61", "mac=00-11-22-33-44-55", "version=0.9.5_beta",
        "platform=pc"};
    QTest::newRow("127") << QStringList{"tag=127", "str=abcde", "fids=1,13"} + a;
    QTest::newRow("128") << QStringList{"tag=128", "version=0.9.6"} + a;
}

void TestDevServer::everyTagWithPlainBodies()
{
    static QString token;
    if (token.isEmpty()) {
        const QString phone = "13800000007";
        QCOMPARE(
            call(rawBody({"tag=115", "phone=" + phone, "app_platform=pc"}))["errcode"].toInt(-1),
            0);
        const QString code = m_server.waitForCode(phone);
        token = call(rawBody({"tag=117", "phone=" + phone, "code=" + code, "password=plain&body=1",
                              "app_platform=pc"}))["token"]
                    .toString();
        QVERIFY(!token.isEmpty());
    }
    QFETCH(QStringList, params);
    params.replaceInStrings("{token}", token);
    const QJsonObject reply = call(rawBody(params));
    QCOMPARE(reply["errcode"].toInt(-1), 0);
    QCOMPARE(reply["tag"].toString(), params.first().mid(4));
    if (params.first() == "tag=119")
        QCOMPARE(login("13800000007", "plain&body=1")["nick_name"].toString(), QString("a=b&c"));
}

void TestDevServer::passwordResetPage()
{
    const QString phone = "13800000006";
    QVERIFY(!signUp(phone, "forgotten1").isEmpty());
    const Fetched page = fetch(m_server.webUrl().resolved(QUrl("index.php/Login/forgetPwd.html")));
    QCOMPARE(page.status, 200);
    QVERIFY(QString::fromUtf8(page.body).contains(QStringLiteral("找回密码")));

    auto post = [&](const QString &path, const QByteArray &form) {
        QNetworkAccessManager manager;
        QNetworkRequest request(m_server.webUrl().resolved(QUrl(path)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QNetworkReply *reply = manager.post(request, form);
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        loop.exec();
        const QString text = QString::fromUtf8(reply->readAll());
        reply->deleteLater();
        return text;
    };
    post("index.php/Login/sendCode", "phone=" + phone.toLatin1());
    const QString code = m_server.waitForCode(phone);
    QCOMPARE(code.size(), 4);
    const QString done =
        post("index.php/Login/resetPwd", "phone=" + phone.toLatin1() + "&code=" + code.toLatin1() +
                                             "&password=remembered2&password2=remembered2");
    QVERIFY(done.contains(QStringLiteral("密码已重置")));
    QVERIFY(login(phone, "forgotten1")["errcode"].toInt() != 0);
    QCOMPARE(login(phone, "remembered2")["errcode"].toInt(-1), 0);
}

void TestDevServer::stateSurvivesRestart()
{
    QVERIFY(!m_favouritesToken.isEmpty() && !m_profilePhone.isEmpty());
    const QByteArray ca = fileBytes(m_server.caFile());
    QVERIFY2(m_server.stop(), m_server.standardError().constData());
    QVERIFY2(m_server.start(m_data.filePath("state"), {"--latest-version", "0.9.6"}),
             qPrintable(m_server.errorString()));
    setServiceUrl(m_server.url());
    // Clients that trust the authority keep trusting the restarted service.
    QCOMPARE(fileBytes(m_server.caFile()), ca);

    QCOMPARE(login("13800000001", "secret123")["is_agree"].toInt(), 1);
    // Tokens outlive the restart as well.
    const QJsonObject loves =
        call(RequestBuilder::loveList(QString(), QString(), m_favouritesToken));
    QCOMPARE(loves["errcode"].toInt(-1), 0);
    QCOMPARE(loves["lists"].toArray().size(), 1);
    const QJsonObject profile = login(m_profilePhone, "headfirst");
    QCOMPARE(profile["nick_name"].toString(), QString("n2"));
    const Fetched head = fetch(QUrl(profile["head"].toString()));
    QCOMPARE(head.error, QNetworkReply::NoError);
    QCOMPARE(QImage::fromData(head.body).size(), QSize(64, 48));
}

void TestDevServer::startFaultServer()
{
    if (m_faultServer.isRunning())
        return;
    QVERIFY2(m_faultServer.start(
                 m_faultData.filePath("state"),
                 {"--log-requests", m_faultData.filePath("requests.jsonl"), "--fault",
                  "tag=124:delay=1500", "--fault", "tag=125:drop", "--fault", "tag=126:empty",
                  "--fault", "tag=120:nonjson", "--fault", "tag=103:errcode=77", "--fault",
                  "path=/download/13.zip:drop", "--fault", "path=/download/:empty,times=1",
                  "--fault", "path=/preview/:errcode=9"}),
             qPrintable(m_faultServer.errorString()));
    QCOMPARE(addTrustedCertificateAuthorities(m_faultServer.caFile()), 1);
}

void TestDevServer::faultModes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("check");

    QTest::newRow("delay beyond the limit")
        << RequestBuilder::installReport() << 500 << int(PostTimedOut) << "";
    QTest::newRow("delay within the limit")
        << RequestBuilder::installReport() << kEventWaitMs << int(PostSuccess) << "slow";
    QTest::newRow("dropped connection")
        << RequestBuilder::launchReport(QString()) << kEventWaitMs << int(PostNetworkError) << "";
    QTest::newRow("empty body") << RequestBuilder::durationReport(QString(), 5) << kEventWaitMs
                                << int(PostFailed) << "empty";
    QTest::newRow("not JSON") << RequestBuilder::bugPost(QString(), "x") << kEventWaitMs
                              << int(PostFailed) << "nonjson";
    QTest::newRow("chosen errcode") << RequestBuilder::usageReport(QString(), {1}, {})
                                    << kEventWaitMs << int(PostFailed) << "errcode";
}

void TestDevServer::faultModes()
{
    startFaultServer();
    setServiceUrl(m_faultServer.url());
    QFETCH(QString, body);
    QFETCH(int, timeoutMs);
    QFETCH(QString, check);
    QByteArray bytes;
    QElapsedTimer clock;
    clock.start();
    const int result = postAndWait(body, bytes, timeoutMs, *m_manager);
    const qint64 elapsed = clock.elapsed();
    setServiceUrl(m_server.url());
    QTEST(result, "result");
    if (check == "slow")
        QVERIFY2(elapsed >= 1450, qPrintable(QString::number(elapsed)));
    else if (check == "empty")
        QVERIFY(bytes.isEmpty());
    else if (check == "nonjson")
        QVERIFY(!bytes.isEmpty() && QJsonDocument::fromJson(bytes).isNull());
    else if (check == "errcode") {
        const ReplyEnvelope envelope = parseEnvelope(bytes);
        QCOMPARE(envelope.errcode, 77);
        QCOMPARE(envelope.tag, 103);
    }
}

void TestDevServer::pathFaults()
{
    startFaultServer();
    const QUrl base = m_faultServer.url();
    // Qt sends a request again when the connection drops before any answer, so a
    // dropped download stays dropped for every attempt.
    const Fetched dropped = fetch(base.resolved(QUrl("download/13.zip")));
    QVERIFY(dropped.error != QNetworkReply::NoError);
    QVERIFY(dropped.body.isEmpty());
    const Fetched first = fetch(base.resolved(QUrl("download/25.zip")));
    QCOMPARE(first.error, QNetworkReply::NoError);
    QCOMPARE(first.status, 200);
    QVERIFY(first.body.isEmpty());
    const Fetched second = fetch(base.resolved(QUrl("download/25.zip")));
    QCOMPARE(second.error, QNetworkReply::NoError); // the fault was for one request only
    QVERIFY(second.body.startsWith("PK"));
    const Fetched preview = fetch(base.resolved(QUrl("preview/13.png")));
    QCOMPARE(parseEnvelope(preview.body).errcode, 9);

    // Untouched requests still work, and the log names the faults that were applied.
    setServiceUrl(base);
    int result = -1;
    call(RequestBuilder::fontTags(), &result);
    setServiceUrl(m_server.url());
    QCOMPARE(result, int(PostSuccess));
    const QList<QByteArray> lines = fileBytes(m_faultData.filePath("requests.jsonl")).split('\n');
    int faulted = 0;
    for (const QByteArray &line : lines) {
        if (QJsonDocument::fromJson(line).object().contains("fault"))
            ++faulted;
    }
    QVERIFY(faulted >= 3);
}

QTEST_MAIN(TestDevServer)
#include "tst_devserver.moc"
