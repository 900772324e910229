// The folder tree, the user data file, the event log and the image cache, each test
// in a fresh private HOME.
#include "core/ftstorage.h"
#include "core/logging.h"

#include "testenv.h"

#include <QtTest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QJsonObject readUserFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(QByteArray::fromBase64(file.readAll())).object();
}

bool writeUserFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray encoded(const QJsonObject &obj)
{
    return QJsonDocument(obj).toJson(QJsonDocument::Compact).toBase64();
}

} // namespace

class TestStorage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName("Quillora"); }
    void init();
    void cleanup();

    void firstStartCreatesTreeAndLoginDefaults();
    void roundTripAndKeyPresence();
    void loginDefaults_data();
    void loginDefaults();
    void activationAndDownloadIds();
    void unusableFiles_data();
    void unusableFiles();
    void otherVersionsKeysSurvive();
    void savedFileIsOwnerOnly();
    void failedSaveKeepsOldFile();
    void writeLogRecreatesTree();
    void writeLogIgnoresEmptyText();
    void messageHandlerKeepsLinesWhole();
    void imageCacheCleanup();

private:
    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FtStorage> storage;
    UserProfile user;
};

void TestStorage::init()
{
    env = std::make_unique<TestEnv>();
    QVERIFY(env->isValid());
    storage = std::make_unique<FtStorage>();
    user = UserProfile();
}

void TestStorage::cleanup()
{
    storage.reset();
    env.reset();
}

void TestStorage::firstStartCreatesTreeAndLoginDefaults()
{
    QVERIFY(!storage->initialize(user));
    const QString root = env->home() + "/Documents/TessalyFont/";
    QCOMPARE(storage->rootDir(), root);
    for (const char *dir : {"downft", "downft/used", "msg", "imgs"})
        QVERIFY2(QDir(root + dir).exists(), dir);
    QCOMPARE(storage->userDataFile(), env->home() + "/data/Quillora/UsrMsg.json");
    QCOMPARE(storage->headImageFile(), root + "msg/head.png");
    QVERIFY(storage->bSavePass);
    QVERIFY(storage->bAutoLogin);
    QVERIFY(!storage->bGuideDone);
    QCOMPARE(user.sex, 2);
}

void TestStorage::roundTripAndKeyPresence()
{
    storage->initialize(user);
    user.user = "13800000000";
    user.pass = "pw 密码";
    storage->bSavePass = true;
    storage->bLogin = true;
    storage->bAutoLogin = true;
    storage->bGuideDone = true;
    storage->autostart = true;
    storage->downlist.insert("b字体", "/x/b.ttf");
    storage->downlist.insert("a字体", "/x/a.ttf");
    storage->activation.insert(9, 1);
    storage->activation.insert(3, 4);
    storage->download_ids = {40, 12};
    storage->previewKind = 3;
    storage->previewText = "永和 9";
    storage->cardHeight = 120;
    QVERIFY(storage->saveUserData(user));

    // The file is Base64 of compact JSON, no line breaks.
    QFile raw(storage->userDataFile());
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray content = raw.readAll();
    QVERIFY(!content.contains('\n'));
    const QByteArray json = QByteArray::fromBase64(content);
    QVERIFY(!json.contains(' ') || json.contains("pw "));

    const QJsonObject obj = readUserFile(storage->userDataFile());
    QCOMPARE(obj.value("m_preVersion").toString(), QString("0.9.5_beta"));
    QCOMPARE(obj.value("user").toString(), user.user);
    QCOMPARE(obj.value("pass").toString(), user.pass);
    QCOMPARE(obj.value("bAutoLogin").toBool(), true);
    const QJsonArray down = obj.value("downlist").toArray();
    QCOMPARE(down.size(), 2);
    QCOMPARE(down.at(0).toObject().value("fontname").toString(), QString("a字体"));
    QCOMPARE(obj.value("activation").toArray().at(0).toObject().value("fid").toInt(), 3);
    QCOMPARE(obj.value("download_ids").toString(), QString("12,40"));

    FtStorage again;
    UserProfile loaded;
    QVERIFY(again.initialize(loaded));
    QCOMPARE(loaded.user, user.user);
    QCOMPARE(loaded.pass, user.pass);
    QVERIFY(again.bGuideDone && again.autostart && again.bSavePass && again.bAutoLogin);
    QCOMPARE(again.activation, storage->activation);
    QCOMPARE(again.download_ids, storage->download_ids);
    QCOMPARE(again.previewKind, 3);
    QCOMPARE(again.previewText, QString("永和 9"));
    QCOMPARE(again.cardHeight, 120);
    QVERIFY(again.downlist.isEmpty()); // re-activation rebuilds it from the file

    // Without a password to keep, no "pass" key; without a user, no login keys.
    again.bSavePass = false;
    again.bLogin = false;
    QVERIFY(again.saveUserData(loaded));
    QJsonObject second = readUserFile(storage->userDataFile());
    QVERIFY(!second.contains("pass"));
    QCOMPARE(second.value("bAutoLogin").toBool(true), false); // no login this run
    loaded.user.clear();
    again.activation.clear();
    again.download_ids.clear();
    QVERIFY(again.saveUserData(loaded));
    second = readUserFile(storage->userDataFile());
    QVERIFY(!second.contains("user") && !second.contains("bSavePass") &&
            !second.contains("bAutoLogin"));
    QVERIFY(!second.contains("downlist") && !second.contains("activation") &&
            !second.contains("download_ids"));
    // A readable file is replaced in place, never set aside.
    QCOMPARE(QDir(QFileInfo(storage->userDataFile()).path()).entryList(QDir::Files).size(), 1);
}

void TestStorage::loginDefaults_data()
{
    QTest::addColumn<QJsonObject>("stored");
    QTest::addColumn<bool>("savePass");
    QTest::addColumn<bool>("autoLogin");
    QTest::newRow("user with flags off keeps them off")
        << QJsonObject{{"user", "u"}, {"bSavePass", false}, {"bAutoLogin", false}} << false
        << false;
    QTest::newRow("flags without user get the defaults")
        << QJsonObject{{"bSavePass", false}, {"bAutoLogin", false}} << true << true;
    QTest::newRow("user without flags gets the defaults") << QJsonObject{{"user", "u"}} << true
                                                          << true;
    QTest::newRow("one flag read counts")
        << QJsonObject{{"user", "u"}, {"bAutoLogin", false}} << false << false;
}

void TestStorage::loginDefaults()
{
    QFETCH(QJsonObject, stored);
    QFETCH(bool, savePass);
    QFETCH(bool, autoLogin);
    storage->createDirectories();
    QVERIFY(writeUserFile(storage->userDataFile(), encoded(stored)));
    FtStorage fresh;
    QVERIFY(fresh.initialize(user));
    QCOMPARE(fresh.bSavePass, savePass);
    QCOMPARE(fresh.bAutoLogin, autoLogin);
}

void TestStorage::activationAndDownloadIds()
{
    storage->createDirectories();
    const QJsonArray activation{QJsonObject{{"fid", 0}, {"num", 3}},
                                QJsonObject{{"fid", 7}, {"num", 2}}, QJsonValue("junk"),
                                QJsonObject{{"fid", 7}, {"num", 5}},
                                QJsonObject{{"fid", "8"}, {"num", 1}}};
    QVERIFY(writeUserFile(storage->userDataFile(),
                          encoded({{"activation", activation},
                                   {"download_ids", ",12,,x,-3,40"},
                                   {"m_preVersion", 5}})));
    QVERIFY(storage->initialize(user));
    QCOMPARE(storage->activation, (QMap<int, int>{{7, 5}}));
    QCOMPARE(storage->download_ids, (QSet<int>{12, 40}));
    QCOMPARE(storage->m_preVersion, QString()); // not a string
}

void TestStorage::unusableFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("not base64") << QByteArray("%%%% not base64 at all") << true;
    QTest::newRow("not json") << QByteArray("aGVsbG8gd29ybGQ=") << true;
    QTest::newRow("json array") << QByteArray("WzEsMiwzXQ==") << true;
    QTest::newRow("truncated json") << QByteArray("eyJ1c2VyIjoi") << true;
    const QByteArray intact = encoded({{"user", "alice"}, {"pass", "pw"}, {"bGuideDone", true}});
    QTest::newRow("one base64 character missing") << intact.left(5) + intact.mid(6) << true;
    QTest::newRow("truncated base64") << intact.left(intact.size() - 9) << true;
    QTest::newRow("plain json") << QByteArray(R"({"user":"alice","pass":"pw"})") << true;
    QTest::newRow("wrong types") << encoded({{"user", 5}, {"activation", "7:5"}}) << true;
    QTest::newRow("wrong entry types") << encoded({{"downlist", QJsonArray{1}}}) << true;
    QTest::newRow("beyond the size limit")
        << encoded({{"user", "alice"}}) + QByteArray(int(FtStorage::kMaxUserDataBytes), 'A')
        << true;
}

void TestStorage::unusableFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);
    storage->createDirectories();
    QVERIFY(writeUserFile(storage->userDataFile(), content));
    QCOMPARE(storage->initialize(user), loaded);
    QVERIFY(user.user.isEmpty());
    QVERIFY(storage->bSavePass && storage->bAutoLogin && !storage->bGuideDone);

    // Saving the defaults first moves what could not be read aside, once.
    QVERIFY(storage->saveUserData(user) && storage->saveUserData(user));
    const QDir dir = QFileInfo(storage->userDataFile()).dir();
    const QStringList aside = dir.entryList({"UsrMsg.json.unreadable-2*"}, QDir::Files);
    QCOMPARE(aside.size(), loaded ? 1 : 0);
    if (loaded) {
        QFile kept(dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
        QVERIFY(readUserFile(storage->userDataFile()).contains("m_preVersion"));
        QFile log(storage->messagesDir() + "FontMsg.log");
        QVERIFY(log.open(QIODevice::ReadOnly) &&
                log.readAll().contains("user data file unreadable, moved aside:" +
                                       kept.fileName().toUtf8()));
    }
}

void TestStorage::otherVersionsKeysSurvive()
{
    // Older and newer versions share the file: what this one does not know it keeps,
    // while its own keys follow its own rules ("pass" goes with bSavePass off).
    storage->createDirectories();
    const QJsonObject other{{"cardColumns", 7},
                            {"notes", QJsonObject{{"a", QString(1 << 20, 'n')}}}};
    QJsonObject stored = other;
    stored.insert("pass", "pw");
    QVERIFY(writeUserFile(storage->userDataFile(), encoded(stored)));
    QVERIFY(storage->initialize(user));
    storage->bSavePass = false;
    QVERIFY(storage->saveUserData(user));
    QJsonObject saved = readUserFile(storage->userDataFile());
    for (const char *own : {"m_preVersion", "autostart", "bGuideDone"})
        QVERIFY(!saved.take(own).isUndefined());
    QCOMPARE(saved, other); // and no "pass"
}

void TestStorage::savedFileIsOwnerOnly()
{
    storage->initialize(user);
    QVERIFY(storage->saveUserData(user));
    // Qt reports the owner bits twice (as "owner" and as "user"); group and others get nothing.
    QCOMPARE(QFile::permissions(storage->userDataFile()),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

void TestStorage::failedSaveKeepsOldFile()
{
    storage->initialize(user);
    user.user = "keep";
    QVERIFY(storage->saveUserData(user));
    QFile file(storage->userDataFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    // A write that fails half-way (file size limit, as on a full disk) must not
    // leave a truncated file behind.
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = saved;
    tight.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    user.user = QString(500, QLatin1Char('x'));
    const bool saved500 = storage->saveUserData(user);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);
    QVERIFY(!saved500);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();

    // A folder that cannot be written to fails the same way.
    const QString dir = QFileInfo(storage->userDataFile()).path();
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!storage->saveUserData(user));
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

void TestStorage::writeLogRecreatesTree()
{
    storage->initialize(user);
    storage->writeLog("first");
    QVERIFY(QDir(storage->rootDir()).removeRecursively());
    storage->writeLog("第二行");
    for (const char *dir : {"downft/used", "imgs", "msg"})
        QVERIFY(QDir(storage->rootDir() + dir).exists());
    QFile log(storage->messagesDir() + "FontMsg.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    QVERIFY(content.startsWith(QString("第二行  ").toUtf8()));
    QVERIFY(content.endsWith("\r\n"));
    QCOMPARE(content.count('\n'), 1);
    QVERIFY(QRegularExpression("^第二行  \\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\r\n$")
                .match(QString::fromUtf8(content))
                .hasMatch());
}

void TestStorage::writeLogIgnoresEmptyText()
{
    storage->initialize(user);
    storage->writeLog(QString());
    QVERIFY(!QFile::exists(storage->messagesDir() + "FontMsg.log"));
}

void TestStorage::messageHandlerKeepsLinesWhole()
{
    storage->initialize(user);
    const QtMessageHandler previous = qInstallMessageHandler(msgHandler);
    const int perThread = 300;
    auto worker = [](char tag) {
        for (int i = 0; i < perThread; ++i)
            qDebug().noquote() << QString(40, QLatin1Char(tag)) + QString::number(i);
    };
    std::unique_ptr<QThread> a(QThread::create(worker, 'a'));
    std::unique_ptr<QThread> b(QThread::create(worker, 'b'));
    a->start();
    b->start();
    QVERIFY(a->wait(20000) && b->wait(20000));
    qInstallMessageHandler(previous);

    QFile log(messageLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 2 * perThread + 1); // the last split part is empty
    const QRegularExpression whole("^Message:([ab])\\1{39}\\d+ File:.*  Line:\\d+  Function:.*  "
                                   "DateTime:\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r$");
    for (int i = 0; i < 2 * perThread; ++i)
        QVERIFY2(whole.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());
}

void TestStorage::imageCacheCleanup()
{
    storage->initialize(user);
    const QString imgs = storage->imagesDir();
    QDir().mkpath(imgs + "a/b");
    for (const char *file : {"x.png", "a/y.png", "a/b/z.png"}) {
        QFile f(imgs + QLatin1String(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // A first start (no stored version) counts as an upgrade.
    QVERIFY(storage->imageCacheIsStale());
    storage->m_preVersion = "0.9.5_beta";
    QVERIFY(!storage->imageCacheIsStale());
    storage->m_preVersion = "1.0.0";
    QVERIFY(!storage->imageCacheIsStale());
    storage->m_preVersion = "0.9.4";
    QVERIFY(storage->imageCacheIsStale());
    storage->clearImageCache();
    QVERIFY(QDir(imgs).exists());
    QVERIFY(QDir(imgs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

QTEST_GUILESS_MAIN(TestStorage)
#include "tst_storage.moc"
