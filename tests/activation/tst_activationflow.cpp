// Picking a card: fonts already usable, files on disk, downloads from a local HTTP
// server, cached archives, failures; and the start-up re-activation thread.
#include "activation/activationcontroller.h"
#include "activationkit.h"
#include "fonts/fontnamereader.h"
#include "fonts/ftmanager.h"
#include "service/signing.h"
#include "sfntbuilder.h"
#include "testenv.h"
#include "testfiles.h"
#include "testnet.h"
#include "zipextract/zipwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSemaphore>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

// Blocks registrations until released, to catch the thread mid-way.
struct GatedFontSystem : CountingFontSystem
{
    QSemaphore entered, proceed;
    int registerFontFile(const QString &path) override
    {
        entered.release();
        proceed.acquire();
        return CountingFontSystem::registerFontFile(path);
    }
};

struct Rig
{
    TestEnv env;
    FtManager ft;
    RecordingView view;
    RecordingReporter reporter;
    CountingFontSystem counting;
    QNetworkAccessManager network;
    std::unique_ptr<ActivationController> controller;
    QObject card;

    explicit Rig(bool loggedIn = true)
    {
        ft.initialize();
        ft.bLogin = loggedIn;
        network.setProxy(QNetworkProxy::NoProxy);
    }
    // Made after the test has written the saved "downlist".
    ActivationController &make(FontSystem *system = nullptr)
    {
        controller = std::make_unique<ActivationController>(ft, &view, &view, &reporter, &network,
                                                            system ? system : &counting);
        useStubLibrary(controller->engine(), 0, env.path("calls.txt"));
        return *controller;
    }
    void addCloudFont(const QString &name, int id, const QString &ttf, const QUrl &url)
    {
        FontAV font;
        font.fontid = id;
        font.fontname = name;
        font.ttf_name = ttf;
        font.download_url = url.toString();
        ft.cloudFonts.insert(name, font);
    }
    QString appliedTray(const QString &name) const
    {
        return "tray|字体设置|" + name + "已设置到当前应用";
    }
};

QByteArray zipOf(const QString &scratch, const QByteArray &entry, const QByteArray &content,
                 const QString &password)
{
    ZipWriter zip(scratch, password);
    zip.addFile(entry, content);
    return zip.close() ? fileBytes(scratch) : QByteArray();
}

bool writeSavedDownlist(const QString &file, const QVector<DownlistEntry> &entries)
{
    QJsonArray list;
    for (const DownlistEntry &entry : entries)
        list.append(QJsonObject{{"fontname", entry.name}, {"fontfile", entry.path}});
    QFile out(file);
    return QDir().mkpath(QFileInfo(file).path()) && out.open(QIODevice::WriteOnly) &&
           out.write(QJsonDocument(QJsonObject{{"downlist", list}}).toJson().toBase64()) > 0;
}

// Families a separate fc-list process finds.
QString fcList()
{
    QProcess fc;
    fc.start("fc-list", {":", "family"});
    fc.waitForFinished(60000);
    return QString::fromUtf8(fc.readAllStandardOutput());
}

QStringList savedNames(const QString &userDataFile)
{
    QStringList names;
    for (const DownlistEntry &entry : readSavedDownlist(userDataFile))
        names << entry.name;
    return names;
}

} // namespace

class TestActivationFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pickWithoutLogin();
    void pickUsableFont_data();
    void pickUsableFont();
    void officeConnectionConsent_data();
    void officeConnectionConsent();
    void pickFontOnDisk_data();
    void pickFontOnDisk();
    void enableWithoutApply();
    void enableFailures_data();
    void enableFailures();
    void archiveNames_data();
    void archiveNames();
    void progressSteps();
    void secondPickWhileDownloading();
    void emptyDownload_data();
    void emptyDownload();
    void cachedArchive_data();
    void cachedArchive();
    void errorPageDownloaded_data();
    void errorPageDownloaded();
    void reactivateSavedFonts();
    void duplicateSavedNames();
    void savedEntriesAllFail();
    void endingEarlyKeepsSavedEntries_data();
    void endingEarlyKeepsSavedEntries();
    void deactivateAndPickAgain();
};

void TestActivationFlow::initTestCase()
{
    if (!haveRealFont())
        QSKIP("needs fonts-dejavu-core");
}

void TestActivationFlow::pickWithoutLogin()
{
    Rig rig(false);
    rig.make().onFtSelected("云A", &rig.card);
    QCOMPARE(rig.view.events,
             QStringList({"login"})); // the notice is the account session's
}

void TestActivationFlow::pickUsableFont_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("installed") << true;
    QTest::newRow("activated") << false;
}

void TestActivationFlow::pickUsableFont()
{
    QFETCH(bool, installed);
    Rig rig;
    auto &controller = rig.make();
    const QString name = installed ? "Sys Font" : "云A";
    if (installed) {
        rig.ft.setInstalledFonts({LocalFont{name, "Sys Font", "Sys Font", "Regular", "SysFont"}});
    } else {
        rig.addCloudFont(name, 3, "a.ttf", QUrl());
        QVERIFY(writeRenamedFont(rig.ft.usedDir() + "a.ttf", "Quillora Ta"));
        QCOMPARE(controller.engine().activateFont(rig.ft.usedDir() + "a.ttf", name, true), 1);
    }
    const int registered = rig.counting.registered;

    controller.onFtSelected(name, &rig.card);
    QCOMPARE(rig.view.events,
             QStringList({"busy|" + name + "|1", rig.appliedTray(name), "busy|" + name + "|0"}));
    QCOMPARE(rig.counting.registered.load(), registered);
    QCOMPARE(rig.ft.activation, (installed ? QMap<int, int>() : QMap<int, int>{{3, 1}}));
}

void TestActivationFlow::officeConnectionConsent_data()
{
    for (const char *column : {"code", "reply", "asked", "calls"}) // asked, calls: over two picks
        QTest::addColumn<int>(column);
    for (const char *column : {"launcher", "kept", "detail"}) // kept: the stored answer
        QTest::addColumn<QString>(column);
    const int allowed = OfficeConsent::Allowed, declined = OfficeConsent::Declined;
    QTest::newRow("allowed once, switched on and retried at each pick")
        << 3 << allowed << 1 << 4 << "true" << "allowed" << ",word创建失败";
    QTest::newRow("allowed, the suite does not take the request")
        << 7 << allowed << 1 << 2 << "false" << "allowed" << ",ppt创建失败";
    QTest::newRow("declined is kept and nothing is switched on")
        << 7 << declined << 1 << 2 << "true" << "declined" << ",ppt创建失败";
    QTest::newRow("closed without an answer is asked again")
        << 3 << int(OfficeConsent::NotAsked) << 2 << 2 << "true" << "" << ",word创建失败";
    QTest::newRow("other failures ask nothing")
        << 4 << allowed << 0 << 2 << "true" << "" << ",word交互失败";
}

void TestActivationFlow::officeConnectionConsent()
{
    QFETCH(int, code);
    QFETCH(int, reply);
    QFETCH(QString, launcher);
    QFETCH(int, asked);
    QFETCH(int, calls);
    QFETCH(QString, kept);
    QFETCH(QString, detail);
    Rig rig;
    auto &controller = rig.make();
    useStubLibrary(controller.engine(), code, rig.env.path("calls.txt"));
    controller.officeConsent().setLauncher(launcher);
    rig.view.consentReply = OfficeConsent::Answer(reply);
    const LocalFont record{"云宋", "Yun Song", "Yun Song", "Regular", "YunSong"};

    controller.applyFont(record, "云宋");
    controller.applyFont(record, "云宋");
    QCOMPARE(rig.view.consentAsked, asked);
    QCOMPARE(fileBytes(rig.env.path("calls.txt")).count('\n'), calls);
    QCOMPARE(rig.view.trays().last(), "tray|字体设置|不能与该应用程序进行字体交互。" + detail);
    const QString stored = QFileInfo(rig.ft.userDataFile()).dir().filePath("office.ini");
    QCOMPARE(QSettings(stored, QSettings::IniFormat).value("LibreOffice/connections").toString(),
             kept);
}

void TestActivationFlow::pickFontOnDisk_data()
{
    QTest::addColumn<bool>("inUsed");
    QTest::addColumn<int>("cutTo"); // bytes left of the stored file; 0 keeps it whole
    QTest::newRow("used folder") << true << 0;
    QTest::newRow("downloads folder") << false << 0;
    QTest::newRow("cut short in the used folder: fetched again") << true << 200;
}

void TestActivationFlow::pickFontOnDisk()
{
    QFETCH(bool, inUsed);
    QFETCH(int, cutTo);
    Rig rig;
    HttpFixture server;
    const QUrl url = server.url("/f/b.zip");
    rig.addCloudFont("云B", 4, "quillora-tb.ttf", url);
    const QString path = (inUsed ? rig.ft.usedDir() : rig.ft.downloadsDir()) + "quillora-tb.ttf";
    QVERIFY(writeRenamedFont(path, "Quillora Tb"));
    HttpFixture::Route route;
    route.body = zipOf(rig.env.path("scratch.zip"), "quillora-tb.ttf", fileBytes(path),
                       archivePassword(url.toString()));
    server.setRoute("/f/b.zip", route);
    if (cutTo > 0)
        QVERIFY(QFile::resize(path, cutTo));

    rig.make().onFtSelected("云B", &rig.card);
    QVERIFY(rig.controller->isBusy("云B"));
    QTRY_VERIFY2_WITH_TIMEOUT(rig.view.appliedAtMs >= 0, qPrintable(rig.view.events.join('\n')),
                              kEventWaitMs);
    // Applied only after the pause that lets running applications see the font.
    QVERIFY2(rig.view.appliedAtMs - rig.view.markedAtMs >= ActivationController::kApplyDelayMs - 1,
             qPrintable(QString::number(rig.view.appliedAtMs - rig.view.markedAtMs)));
    QCOMPARE(server.hits("/f/b.zip"), cutTo > 0 ? 1 : 0);
    QCOMPARE(rig.ft.downlist.value("云B"), path);
    QCOMPARE(rig.view.trays(), QStringList{rig.appliedTray("云B")});
    QVERIFY(rig.view.events.contains("fillLocal"));
    QCOMPARE(rig.view.events.last(), QString("busy|云B|0"));
    QCOMPARE(rig.ft.activation.value(4), 1);
}

void TestActivationFlow::enableWithoutApply()
{
    Rig rig;
    const QString path = rig.ft.usedDir() + "b.ttf";
    QVERIFY(writeRenamedFont(path, "Quillora Tb"));
    auto &controller = rig.make();
    controller.busyMark("云B");
    QCOMPARE(controller.enableFont("云B", path, false), 1);
    QCOMPARE(rig.view.trays(), QStringList{"tray|字体激活|云B激活成功"});
    QVERIFY(!controller.isBusy("云B"));
    QCOMPARE(rig.ft.activation.size(), 0);
}

void TestActivationFlow::enableFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file"); // empty: through the card with no file at all
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("line"); // %1: the path handed in
    QTest::addColumn<QStringList>("trays");
    QTest::newRow("no catalogue entry")
        << "无名"
        << "" << false << 6 << "enable failed，[无名] not find url" << QStringList();
    QTest::newRow("no such file") << "X"
                                  << "missing.ttf" << false << -1
                                  << "enable failed，not find [X]:[%1]"
                                  << QStringList{"tray|字体激活|X激活失败！"};
    QTest::newRow("no style name") << "X"
                                   << "nostyle.ttf" << false << -1 << "enable failed，[X],[%1]"
                                   << QStringList{"tray|字体激活|X激活失败！"};
    QTest::newRow("system refuses") << "X"
                                    << "good.ttf" << true << 0 << "enable failed，[X],[%1]"
                                    << QStringList{"tray|字体激活|X激活失败！"};
}

void TestActivationFlow::enableFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(bool, refuse);
    QFETCH(int, result);
    QFETCH(QString, line);
    QFETCH(QStringList, trays);
    Rig rig;
    QVERIFY(writeFontWithoutStyle(rig.ft.usedDir() + "nostyle.ttf"));
    QVERIFY(writeRenamedFont(rig.ft.usedDir() + "good.ttf", "Quillora Tx"));
    rig.counting.refuse = refuse;
    auto &controller = rig.make();
    const QString path = file.isEmpty() ? QString() : rig.ft.usedDir() + file;

    controller.busyMark(name);
    const int r = file.isEmpty() ? controller.enableFromCard(&rig.card, name, path, true)
                                 : controller.enableFont(name, path, true);
    QCOMPARE(r, result);
    const QString expected = line.contains("%1") ? line.arg(path) : line;
    QCOMPARE(rig.reporter.bugs, QStringList{expected});
    QCOMPARE(eventTexts(rig.ft).last(), expected);
    QCOMPARE(rig.view.trays(), trays);
    QVERIFY(!controller.isBusy(name));
    QVERIFY(rig.ft.activatedFonts().isEmpty() && rig.ft.downlist.isEmpty());
    QCOMPARE(rig.counting.registered.load(), refuse ? 1 : 0);
    if (refuse)
        QVERIFY(eventTexts(rig.ft).contains("字体激活失败:X;"));
}

void TestActivationFlow::archiveNames_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("percent-escapes") << "https://h/fonts/Quillora%20Td.zip?v=2"
                                     << "Quillora Td.zip";
    QTest::newRow("escaped slashes") << "https://h/a/..%2F..%2Fevil.zip"
                                     << "evil.zip";
    QTest::newRow("dot-dot") << "https://h/a/%2E%2E"
                             << "";
    QTest::newRow("folder") << "https://h/fonts/"
                            << "";
}

void TestActivationFlow::archiveNames()
{
    QFETCH(QString, url);
    QTEST(DownloadManager::archiveNameFor(QUrl(url)), "name");
}

void TestActivationFlow::progressSteps()
{
    // (last shown, received, total): the step shown, -1 for none.
    QCOMPARE(DownloadManager::progressStep(0, 9, 100), -1);
    QCOMPARE(DownloadManager::progressStep(10, 73, 100), 73);
    QCOMPARE(DownloadManager::progressStep(91, 5000, 5000), 100); // a gap below 10
    QCOMPARE(DownloadManager::progressStep(100, 100, 100), -1);
    QCOMPARE(DownloadManager::progressStep(0, 500, -1), -1);
}

void TestActivationFlow::secondPickWhileDownloading()
{
    Rig rig;
    HttpFixture server;
    const QUrl url = server.url("/e.zip");
    QVERIFY(writeRenamedFont(rig.env.path("font.ttf"), "Quillora Te"));
    HttpFixture::Route route;
    route.body = zipOf(rig.env.path("scratch.zip"), "e.ttf", fileBytes(rig.env.path("font.ttf")),
                       archivePassword(url.toString()));
    route.hold = true;
    server.setRoute("/e.zip", route);
    rig.addCloudFont("云E", 12, "e.ttf", url);

    auto &controller = rig.make();
    controller.onFtSelected("云E", &rig.card);
    QTRY_COMPARE_WITH_TIMEOUT(server.hits("/e.zip"), 1, kEventWaitMs);
    controller.onFtSelected("云E", &rig.card);
    QCOMPARE(controller.enableFromCard(&rig.card, "云E", QString(), true), 6);
    QCOMPARE(controller.downloads().jobs().size(), 1);
    server.release();
    QTRY_VERIFY_WITH_TIMEOUT(rig.view.appliedAtMs >= 0, kEventWaitMs);
    QTest::qWait(ActivationController::kApplyDelayMs + 50);
    QCOMPARE(server.hits("/e.zip"), 1);
    QCOMPARE(rig.counting.registered.load(), 1);
    QCOMPARE(rig.view.trays().size(), 1);
    QCOMPARE(rig.ft.activation.value(12), 1);
}

void TestActivationFlow::emptyDownload_data()
{
    QTest::addColumn<bool>("drop");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<int>("bodyBytes");
    QTest::newRow("empty body") << false << false << 0;
    QTest::newRow("connection dropped") << true << false << 0;
    QTest::newRow("larger than the limit") << false << false << 5000000;
    QTest::newRow("endless") << false << true << 0;
}

void TestActivationFlow::emptyDownload()
{
    QFETCH(bool, drop);
    QFETCH(bool, endless);
    QFETCH(int, bodyBytes);
    Rig rig;
    HttpFixture server;
    const QUrl url = server.url("/g.zip");
    HttpFixture::Route route;
    route.drop = drop;
    route.endless = endless;
    route.body = QByteArray(bodyBytes, 'z');
    server.setRoute("/g.zip", route);
    rig.addCloudFont("云G", 13, "g.ttf", url);
    auto &controller = rig.make();
    controller.downloads().setMaxArchiveBytes(4000000);

    controller.onFtSelected("云G", &rig.card);
    QTRY_VERIFY_WITH_TIMEOUT(!controller.isBusy("云G"), kEventWaitMs);
    const QString line = "the TTF of [云G] download failed,url:" + url.toString();
    QCOMPARE(rig.reporter.bugs, QStringList{line});
    QCOMPARE(eventTexts(rig.ft).last(), line);
    const QString stopped = "the TTF of [云G] download stopped, larger than 4000000 bytes,url:";
    QCOMPARE(eventTexts(rig.ft).contains(stopped + url.toString()), endless || bodyBytes > 0);
    QCOMPARE(QDir(rig.ft.downloadsDir()).entryList(QDir::Files), QStringList());
    // The user is told; the card does not just stop being busy.
    QCOMPARE(rig.view.trays(), QStringList{"tray|字体下载|云G下载失败，请检查网络后重试。"});
    QVERIFY(rig.view.events.contains("clear|云G"));
    QVERIFY(controller.downloads().downloadingNames().isEmpty());
    QVERIFY(controller.downloads().jobs().isEmpty());
    QVERIFY(controller.downloads().progress().isEmpty());

    // Picking it again starts a new download. (Qt itself retries a GET once when the
    // connection drops before an answer.)
    const int failedHits = server.hits("/g.zip");
    QVERIFY(writeRenamedFont(rig.env.path("font.ttf"), "Quillora Tg"));
    route.drop = route.endless = false;
    route.body = zipOf(rig.env.path("scratch.zip"), "g.ttf", fileBytes(rig.env.path("font.ttf")),
                       archivePassword(url.toString()));
    server.setRoute("/g.zip", route);
    controller.onFtSelected("云G", &rig.card);
    QTRY_VERIFY_WITH_TIMEOUT(rig.view.appliedAtMs >= 0, kEventWaitMs);
    QCOMPARE(server.hits("/g.zip"), failedHits + 1);
}

void TestActivationFlow::cachedArchive_data()
{
    QTest::addColumn<QString>("cached");
    QTest::addColumn<int>("downloads");
    QTest::newRow("usable archive") << "good" << 0;
    QTest::newRow("error page stored as archive") << "page" << 1;
    QTest::newRow("archive without the font") << "other" << 1;
    QTest::newRow("archive cut short") << "cut" << 1;
}

void TestActivationFlow::cachedArchive()
{
    QFETCH(QString, cached);
    QFETCH(int, downloads);
    Rig rig;
    HttpFixture server;
    const QUrl url = server.url("/h.zip");
    const QString password = archivePassword(url.toString());
    QVERIFY(writeRenamedFont(rig.env.path("font.ttf"), "Quillora Th"));
    const QByteArray font = fileBytes(rig.env.path("font.ttf"));
    HttpFixture::Route route;
    route.body = zipOf(rig.env.path("scratch.zip"), "h.ttf", font, password);
    server.setRoute("/h.zip", route);
    QByteArray stored = route.body;
    if (cached == "page")
        stored = "<html><body>502 Bad Gateway</body></html>";
    else if (cached == "other")
        stored = zipOf(rig.env.path("scratch.zip"), "other.ttf", font, password);
    else if (cached == "cut")
        stored.truncate(stored.size() / 2);
    QVERIFY(SfntBuilder::writeFile(rig.ft.downloadsDir() + "h.zip", stored));
    rig.addCloudFont("云H", 14, "h.ttf", url);

    rig.make().onFtSelected("云H", &rig.card);
    QTRY_VERIFY_WITH_TIMEOUT(rig.view.appliedAtMs >= 0, kEventWaitMs);
    QCOMPARE(server.hits("/h.zip"), downloads);
    QVERIFY(rig.ft.isActivated("云H"));
    QVERIFY(!rig.controller->isBusy("云H"));
}

void TestActivationFlow::errorPageDownloaded_data()
{
    QTest::addColumn<bool>("damagedArchive");
    QTest::newRow("error page") << false; // the fixture answers 404 with a page
    QTest::newRow("archive that fails its check") << true;
}

void TestActivationFlow::errorPageDownloaded()
{
    QFETCH(bool, damagedArchive);
    Rig rig;
    HttpFixture server;
    const QUrl url = server.url("/missing.zip");
    if (damagedArchive)
        server.setRoute("/missing.zip", {200, zipOf(rig.env.path("scratch.zip"), "f.ttf",
                                                    "not the font", "not its password")});
    rig.addCloudFont("云F", 15, "f.ttf", url);
    auto &controller = rig.make();

    controller.onFtSelected("云F", &rig.card);
    QTRY_VERIFY_WITH_TIMEOUT(!controller.isBusy("云F"), kEventWaitMs);
    QCOMPARE(rig.view.trays(), QStringList{"tray|字体激活|云F激活失败！"});
    const QString line = "the TTF of [云F] unpack failed,url:" + url.toString();
    QCOMPARE(rig.reporter.bugs, QStringList{line});
    QVERIFY(!QFile::exists(rig.ft.downloadsDir() + "missing.zip"));
    QVERIFY(!QFile::exists(rig.ft.usedDir() + "f.ttf"));

    // The failed archive does not block the font: the next pick fetches it again.
    QVERIFY(writeRenamedFont(rig.env.path("font.ttf"), "Quillora Tf"));
    HttpFixture::Route route;
    route.body = zipOf(rig.env.path("scratch.zip"), "f.ttf", fileBytes(rig.env.path("font.ttf")),
                       archivePassword(url.toString()));
    server.setRoute("/missing.zip", route);
    controller.onFtSelected("云F", &rig.card);
    QTRY_VERIFY_WITH_TIMEOUT(rig.view.appliedAtMs >= 0, kEventWaitMs);
    QCOMPARE(server.hits("/missing.zip"), 2);
}

void TestActivationFlow::reactivateSavedFonts()
{
    Rig rig;
    const QString a = rig.ft.usedDir() + "a.ttf", c = rig.ft.usedDir() + "c.ttf";
    QVERIFY(writeRenamedFont(a, "Quillora Ta"));
    QVERIFY(writeRenamedFont(c, "Quillora Tc"));
    QVERIFY(writeSavedDownlist(rig.ft.userDataFile(),
                               {{"云A", a}, {"云B", rig.ft.usedDir() + "gone.ttf"}, {"云C", c}}));
    rig.addCloudFont("云A", 9, "a.ttf", QUrl());
    auto &controller = rig.make();

    QVERIFY(controller.startEnableThread());
    QVERIFY(controller.enableThreadBegun());
    QTRY_VERIFY_WITH_TIMEOUT(!controller.enableThread(), kEventWaitMs);
    QCOMPARE(rig.counting.registered.load(), 2);
    QCOMPARE(rig.counting.announced.load(), 1);
    QCOMPARE(rig.view.trays(), QStringList{"tray|本地字体加载|用户字体加载完毕！"});
    QCOMPARE(rig.ft.downlist, (QMap<QString, QString>{{"云A", a}, {"云C", c}}));
    QCOMPARE(rig.ft.activatedFont("云C")->familyName, QString("Quillora Tc"));
    // Recorded under the saved name only: no catalogue fields.
    const FontGroup &local = rig.ft.loggedInUser().local;
    QCOMPARE(local.size(), 2);
    QCOMPARE(local.fonts().first().fontname, QString("云A"));
    QCOMPARE(local.fonts().first().fontid, 0);
    QVERIFY(rig.view.events.contains("fillLocal") && rig.view.events.contains("refresh"));
    const QStringList texts = eventTexts(rig.ft);
    QCOMPARE(texts, QStringList({"启动激活用户字体线程", "threadEnable finished.",
                                 "用户字体加载完毕！", "threadEnable destroyed."}));
    QVERIFY(controller.unrecordedDownlist().isEmpty());
}

void TestActivationFlow::duplicateSavedNames()
{
    Rig rig;
    const QString first = rig.ft.usedDir() + "1.ttf", second = rig.ft.usedDir() + "2.ttf";
    QVERIFY(writeRenamedFont(first, "Quillora T1"));
    QVERIFY(writeRenamedFont(second, "Quillora T2"));
    QVERIFY(writeSavedDownlist(rig.ft.userDataFile(), {{"X", first}, {"X", second}}));
    auto &controller = rig.make();
    controller.startEnableThread();
    QTRY_VERIFY_WITH_TIMEOUT(!controller.enableThread(), kEventWaitMs);
    QCOMPARE(rig.counting.registered.load(), 2);
    QCOMPARE(rig.ft.activatedFonts().size(), 1);
    QCOMPARE(rig.ft.activatedFont("X")->familyName, QString("Quillora T1"));
    QCOMPARE(rig.ft.downlist, (QMap<QString, QString>{{"X", first}}));
}

void TestActivationFlow::savedEntriesAllFail()
{
    Rig rig;
    const QString c = rig.ft.usedDir() + "c.ttf";
    QVERIFY(writeRenamedFont(c, "Quillora Tc"));
    QVERIFY(writeSavedDownlist(rig.ft.userDataFile(),
                               {{"云A", rig.ft.usedDir() + "gone.ttf"}, {"", c}, {"云C", ""}}));
    auto &controller = rig.make();
    controller.startEnableThread();
    QTRY_VERIFY_WITH_TIMEOUT(!controller.enableThread(), kEventWaitMs);
    QCOMPARE(rig.counting.registered.load(), 0);
    QCOMPARE(rig.counting.announced.load(), 0);
    QVERIFY(rig.view.events.isEmpty());
    QVERIFY(!eventTexts(rig.ft).contains("threadEnable finished."));
}

void TestActivationFlow::endingEarlyKeepsSavedEntries_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("before the thread started") << "never";
    QTest::newRow("thread stopped, results not recorded") << "stopped";
    QTest::newRow("thread stopped, results recorded") << "recorded";
}

void TestActivationFlow::endingEarlyKeepsSavedEntries()
{
    QFETCH(QString, when);
    Rig rig;
    QString paths[4];
    const char *const families[] = {"Quillora Ta", "Quillora Tb", "Quillora Tc", "Quillora Tz"};
    for (int i = 0; i < 4; ++i)
        QVERIFY(
            writeRenamedFont(paths[i] = rig.ft.usedDir() + QString("%1.ttf").arg(i), families[i]));
    QVERIFY(writeSavedDownlist(rig.ft.userDataFile(),
                               {{"A", paths[0]}, {"B", paths[1]}, {"C", paths[2]}}));
    GatedFontSystem gated;
    auto &controller = rig.make(&gated);
    // Picked again in this run from another file: this run's file wins.
    gated.proceed.release();
    QCOMPARE(controller.engine().activateFont(paths[3], "B", true), 1);

    if (when != "never") {
        controller.startEnableThread();
        QVERIFY(gated.entered.tryAcquire(2, kEventWaitMs));
        controller.enableThread()->requestInterruption();
        gated.proceed.release(10);
        controller.stopEnableThread();
        if (when == "recorded") {
            QTRY_VERIFY_WITH_TIMEOUT(!controller.enableThread(), kEventWaitMs);
            QVERIFY(rig.ft.isActivated("A"));
            QCOMPARE(controller.unrecordedDownlist().size(), 2);
        }
    }
    controller.keepUnrecordedDownlist();
    QVERIFY(rig.ft.saveUserData());
    QVector<DownlistEntry> saved = readSavedDownlist(rig.ft.userDataFile());
    QStringList texts;
    for (const DownlistEntry &entry : saved)
        texts << entry.name + "=" + entry.path;
    QCOMPARE(texts, QStringList({"A=" + paths[0], "B=" + paths[3], "C=" + paths[2]}));
}

QTEST_MAIN(TestActivationFlow)
#include "tst_activationflow.moc"

void TestActivationFlow::deactivateAndPickAgain()
{
    if (QStandardPaths::findExecutable("fc-list").isEmpty())
        QSKIP("needs fc-list");
    Rig rig;
    const QString file = rig.ft.usedDir() + "d.ttf";
    QVERIFY(writeRenamedFont(file, "Quillora Td"));
    // Nothing answers there: a download would fail the pick below.
    rig.addCloudFont("云D", 4, "d.ttf", QUrl("https://127.0.0.1:9/d.zip"));
    // A saved entry the start-up thread has not reached yet must survive the save.
    QVERIFY(writeSavedDownlist(rig.ft.userDataFile(), {{"云E", rig.ft.usedDir() + "e.ttf"}}));
    auto &controller = rig.make();
    rig.ft.setInstalledFonts({LocalFont{"Sys Font", "Sys Font", "Sys Font", "Regular", "SysFont"}});

    QVERIFY(controller.enableFromCard(&rig.card, "云D", QString(), false) > 0);
    QVERIFY(fcList().contains("Quillora Td"));

    QVERIFY(!controller.deactivateFont("Sys Font"));
    QVERIFY(controller.deactivateFont("云D"));
    QVERIFY(!rig.ft.isActivated("云D"));
    QVERIFY(!rig.ft.loggedInUser().local.contains("云D"));
    QVERIFY(rig.view.events.contains("mark|云D|0"));
    QVERIFY(QFileInfo(file).isFile());
    QVERIFY(!fcList().contains("Quillora Td"));
    QCOMPARE(savedNames(rig.ft.userDataFile()), QStringList{"云E"});

    {
        // The next start re-activates what was saved, which no longer holds it.
        FtManager next;
        next.initialize();
        next.bLogin = true;
        RecordingView view;
        ActivationController restarted(next, &view, &view, nullptr, &rig.network, &rig.counting);
        QVERIFY(restarted.startEnableThread());
        QTRY_VERIFY_WITH_TIMEOUT(!restarted.enableThread(), kEventWaitMs);
        QVERIFY(!next.isActivated("云D"));
        QVERIFY(!fcList().contains("Quillora Td"));
    }

    const int registeredBefore = rig.counting.registered.load();
    QVERIFY(controller.enableFromCard(&rig.card, "云D", QString(), false) > 0);
    QVERIFY(!controller.downloads().isDownloading("云D"));
    QCOMPARE(rig.counting.registered.load(), registeredBefore + 1);
    QVERIFY(rig.ft.isActivated("云D"));
    QVERIFY(fcList().contains("Quillora Td"));
}
