// The reply readers on the odd JSON types the service sends, and what the dispatcher
// stores per operation.
#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/versioninfo.h"

#include "testenv.h"
#include "testfiles.h"

#include <QtTest>

#include <memory>

namespace {

QByteArray json(const char *text)
{
    return QByteArray(text);
}

QJsonArray arrayOf(const char *text)
{
    return QJsonDocument::fromJson(text).array();
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void envelopes_data();
    void envelopes();
    void fontObjects();
    void tagGroups();
    void imageList();
    void catalogueReply_data();
    void catalogueReply();
    void failedReplyStoresNothing();
    void tagTreeIsReplacedNotDoubled();
    void favourites();
    void loginAndRegistration();
    void profileUploadLine();
    void latestVersion();

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_manager;
};

void TestReplies::init()
{
    m_env = std::make_unique<TestEnv>();
    m_manager = std::make_unique<FtManager>();
    m_manager->initialize();
}

void TestReplies::cleanup()
{
    m_manager.reset();
    m_env.reset();
}

void TestReplies::envelopes_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("strictTag");
    QTest::addColumn<int>("strictErr");
    QTest::addColumn<QString>("strictMessage");
    QTest::addColumn<int>("tolerantTag");
    QTest::addColumn<int>("tolerantErr");
    QTest::addColumn<QString>("tolerantMessage");

    QTest::newRow("empty") << QByteArray() << 0 << -1 << "" << 0 << -1 << "";
    QTest::newRow("not JSON") << json("<html>502</html>") << 0 << -1 << "" << 0 << -1 << "";
    QTest::newRow("array") << json("[0]") << 0 << -1 << "" << 0 << -1 << "";
    QTest::newRow("well formed") << json(R"({"errcode":0,"message":"好","tag":"102"})") << 102 << 0
                                 << "好" << 102 << 0 << "好";
    QTest::newRow("errcode \"0\"")
        << json(R"({"errcode":"0","tag":"102"})") << 102 << 0 << "" << 102 << 0 << "";
    // A failure sent as text must not read as success in either reader.
    QTest::newRow("errcode \"5\"")
        << json(R"({"errcode":"5","tag":"114"})") << 114 << 5 << "" << 114 << 5 << "";
    QTest::newRow("errcode not a number")
        << json(R"({"errcode":"busy","tag":"114"})") << 114 << -1 << "" << 114 << -1 << "";
    QTest::newRow("errcode fractional")
        << json(R"({"errcode":0.5})") << 0 << -1 << "" << 0 << -1 << "";
    QTest::newRow("errcode null") << json(R"({"errcode":null})") << 0 << -1 << "" << 0 << -1 << "";
    QTest::newRow("errcode missing")
        << json(R"({"message":"m","tag":"100"})") << 100 << -1 << "m" << 100 << -1 << "m";
    QTest::newRow("tag as number")
        << json(R"({"errcode":0,"tag":100})") << 0 << 0 << "" << 100 << 0 << "";
    QTest::newRow("message as number")
        << json(R"({"errcode":3,"message":42})") << 0 << 3 << "" << 0 << 3 << "42";
}

void TestReplies::envelopes()
{
    QFETCH(QByteArray, reply);
    const ReplyEnvelope strict = parseEnvelope(reply);
    QTEST(strict.tag, "strictTag");
    QTEST(strict.errcode, "strictErr");
    QTEST(strict.message, "strictMessage");
    const ReplyEnvelope tolerant = dispatchReply(reply, *m_manager);
    QTEST(tolerant.tag, "tolerantTag");
    QTEST(tolerant.errcode, "tolerantErr");
    QTEST(tolerant.message, "tolerantMessage");
    QCOMPARE(m_manager->isOnline(), tolerant.errcode == 0);
}

void TestReplies::fontObjects()
{
    QVector<FontAV> fonts;
    QCOMPARE(parseFontArray(QJsonArray(), fonts), 0);
    const QJsonArray array = arrayOf(R"([
        {"fontid":"7","fontname":"思源宋体","font_en_name":"Source Han Serif","codeid":"3",
         "is_like":"1","image":"https://x/7.png","tagid":"1,4","language":"2","provider":"9",
         "ttf_name":"shs.ttf","download_url":"https://x/7.zip"},
        {"fontid":12,"fontname":"Numbered","is_like":"","tagid":5},
        "not an object",
        {"fontname":"no id"},
        {"fontid":"8"},
        {"fontid":"9","fontname":"Bare"}
    ])");
    QCOMPARE(parseFontArray(array, fonts), 1);
    QCOMPARE(fonts.size(), 3);

    const FontAV &full = fonts.at(0);
    QCOMPARE(full.fontid, 7);
    QCOMPARE(full.fontname, QString("思源宋体"));
    QCOMPARE(full.font_en_name, QString("Source Han Serif"));
    QCOMPARE(full.codeid, 3);
    QCOMPARE(full.is_like, 1);
    QCOMPARE(full.image, QString("https://x/7.png"));
    QCOMPARE(full.tagid, QString("1,4"));
    QCOMPARE(full.language, 2);
    QCOMPARE(full.provider, 9);
    QCOMPARE(full.ttf_name, QString("shs.ttf"));
    QCOMPARE(full.download_url, QString("https://x/7.zip"));

    const FontAV &numbered = fonts.at(1);
    QCOMPARE(numbered.fontid, 0); // ids travel as strings; a JSON number is not understood
    QCOMPARE(numbered.is_like, 0);
    QVERIFY(numbered.image.isEmpty());
    QVERIFY(!numbered.tagid.isNull());
    QVERIFY(numbered.tagid.isEmpty());

    QCOMPARE(fonts.at(2).fontname, QString("Bare"));
    QVERIFY(fonts.at(2).image.isEmpty()); // nothing carried over from the earlier element
    QVERIFY(!fonts.at(2).tagid.isNull());
}

void TestReplies::tagGroups()
{
    const QJsonArray array = arrayOf(R"([
        {"name":"风格","type":"style","children":[{"tagid":"3","tagname":"手写"},
                                                  {"tagid":4,"tagname":"number id"},
                                                  {"tagid":"","tagname":"empty id"},
                                                  {"tagid":"5"}]},
        {"name":"无名","children":[{"tagid":"6"},{"tagname":"only a name"}]},
        {"name":7,"type":1,"children":[{"tagid":"8","tagname":"黑体"}]},
        {"type":"no name","children":[{"tagid":"9","tagname":"x"}]},
        {"name":"empty","children":[]}
    ])");
    QList<TagGroup> groups;
    QCOMPARE(parseTagGroups(array, groups), 1);
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups.at(0).name, QString("风格"));
    QCOMPARE(groups.at(0).type, QString("style"));
    QCOMPARE(groups.at(0).children.size(), 1);
    QCOMPARE(groups.at(0).children.at(0).tagid, 3);
    QCOMPARE(groups.at(0).children.at(0).tagname, QString("手写"));
    QCOMPARE(groups.at(1).name, QString());
    QCOMPARE(groups.at(1).type, QString());
    QCOMPARE(groups.at(1).children.at(0).tagname, QString("黑体"));
}

void TestReplies::imageList()
{
    QMap<int, QString> images;
    QCOMPARE(parseImageList(QJsonArray(), images), 0);
    QCOMPARE(parseImageList(arrayOf(R"([{"fontid":"3","image":"a"},{"fontid":"0","image":"b"},
                                         {"fontid":"4","image":""},{"fontid":5,"image":"c"},
                                         {"fontid":"3","image":"a2"}])"),
                            images),
             1);
    QCOMPARE(images, (QMap<int, QString>{{3, "a2"}}));

    // The reply replaces the whole map, also when it lists nothing.
    m_manager->imageList = {{1, "old"}};
    dispatchReply(R"({"errcode":0,"tag":"127","lists":[{"fontid":"2","image":"new"}]})",
                  *m_manager);
    QCOMPARE(m_manager->imageList, (QMap<int, QString>{{2, "new"}}));
    dispatchReply(R"({"errcode":0,"tag":"127"})", *m_manager);
    QVERIFY(m_manager->imageList.isEmpty());
}

void TestReplies::catalogueReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("records");
    const char *lists = R"("lists":[{"fontid":"1","fontname":"A"},{"fontid":"2","fontname":"B"}])";
    QTest::newRow("empty") << QByteArray() << -1 << 0;
    QTest::newRow("not an object") << json("[]") << 0 << 0;
    QTest::newRow("count and lists")
        << QByteArray(R"({"errcode":0,"tag":"100","count":2,)" + QByteArray(lists) + "}") << 2 << 2;
    QTest::newRow("count without lists")
        << json(R"({"errcode":0,"tag":"100","count":40})") << 40 << 0;
    QTest::newRow("lists without count")
        << QByteArray(R"({"errcode":0,"tag":"100",)" + QByteArray(lists) + "}") << 0 << 2;
    QTest::newRow("error code") << QByteArray(R"({"errcode":5,"tag":"100","count":2,)" +
                                              QByteArray(lists) + "}")
                                << 0 << 0;
    QTest::newRow("tag as number")
        << QByteArray(R"({"errcode":0,"tag":100,"count":2,)" + QByteArray(lists) + "}") << 0 << 0;
    QTest::newRow("tag missing") << json(R"({"errcode":0,"count":2})") << 0 << 0;
    QTest::newRow("another tag") << json(R"({"errcode":0,"tag":"107","count":2})") << 0 << 0;
}

void TestReplies::catalogueReply()
{
    QFETCH(QByteArray, reply);
    QVector<FontAV> fonts;
    ReplyEnvelope envelope;
    QTEST(parseCatalogueReply(reply, fonts, envelope), "result");
    QTEST(int(fonts.size()), "records");
}

void TestReplies::failedReplyStoresNothing()
{
    m_manager->imageList = {{1, "kept"}};
    dispatchReply(R"({"errcode":"5","tag":"127","lists":[]})", *m_manager);
    dispatchReply(R"({"errcode":1,"tag":"114","token":"t","uid":"9"})", *m_manager);
    QCOMPARE(m_manager->imageList.size(), 1);
    QVERIFY(!m_manager->isLoggedInCurrent());
    QVERIFY(m_manager->requestContext.token.isEmpty());
    QVERIFY(!m_manager->isOnline());

    // Success without a tag still proves the service is reachable.
    dispatchReply(R"({"errcode":0})", *m_manager);
    QVERIFY(m_manager->isOnline());
}

void TestReplies::tagTreeIsReplacedNotDoubled()
{
    const QByteArray reply =
        R"({"errcode":0,"tag":"102","tags":[{"name":"g","children":[{"tagid":"1","tagname":"t"}]}]})";
    dispatchReply(reply, *m_manager);
    dispatchReply(reply, *m_manager);
    QCOMPARE(m_manager->tagGroups.size(), 1);
    // A reply without "tags" leaves the tree alone.
    dispatchReply(R"({"errcode":0,"tag":"102"})", *m_manager);
    QCOMPARE(m_manager->tagGroups.size(), 1);
}

void TestReplies::favourites()
{
    FontAV cached;
    cached.fontname = "A";
    cached.image = "catalogue.png";
    m_manager->cloudFonts.insert("A", cached);
    m_manager->currentUser().favourites.add(cached);
    FontAV stale;
    stale.fontname = "Stale";
    m_manager->currentUser().favourites.add(stale);

    dispatchReply(R"({"errcode":0,"tag":"107","lists":[
        {"fontid":"1","fontname":"A","image":"fav.png"},
        {"fontid":"2","fontname":"B"},
        {"fontid":"3","fontname":"B","image":"later.png"}]})",
                  *m_manager);
    const FontGroup &group = m_manager->currentUser().favourites;
    QCOMPARE(group.size(), 2);
    QVERIFY(group.contains("A") && group.contains("B") && !group.contains("Stale"));
    QCOMPARE(group.fonts().at(1).image, QString("later.png"));
    QCOMPARE(m_manager->cloudFonts.value("A").image, QString("catalogue.png")); // not replaced
    QCOMPARE(m_manager->cloudFonts.value("B").fontid, 2);                       // added once
}

void TestReplies::loginAndRegistration()
{
    dispatchReply(R"({"errcode":0,"tag":"114","uid":"12","token":"tk1","nick_name":"小明",
                      "sex":1,"collection_num":"4"})",
                  *m_manager);
    QVERIFY(m_manager->isLoggedInCurrent());
    QCOMPARE(m_manager->loggedInUser().uid, 12);
    QCOMPARE(m_manager->loggedInUser().nick_name, QString("小明"));
    QCOMPARE(m_manager->loggedInUser().collection_num, 4);
    QCOMPARE(m_manager->loggedInUser().token, QString("tk1"));
    QVERIFY(m_manager->requestContext.token.isEmpty()); // the session adopts it

    m_manager->switchToGuest();
    dispatchReply(R"({"errcode":"0","tag":117,"uid":30,"token":"tk2","telephone":"138"})",
                  *m_manager);
    QVERIFY(m_manager->isLoggedInCurrent());
    QCOMPARE(m_manager->loggedInUser().uid, 30);
    QCOMPARE(m_manager->loggedInUser().uname, QString("138"));
    QCOMPARE(m_manager->loggedInUser().token, QString("tk2"));
    QVERIFY(m_manager->requestContext.token.isEmpty()); // the session adopts it
}

void TestReplies::profileUploadLine()
{
    m_manager->loggedInUser().bHeadPending = true;
    dispatchReply(R"({"errcode":0,"tag":"119","message":"修改成功"})", *m_manager);
    QVERIFY(!m_manager->loggedInUser().bHeadPending);
    m_manager->loggedInUser().bHeadPending = true;
    dispatchReply(R"({"errcode":3,"tag":"119","message":"失败"})", *m_manager);
    QVERIFY(m_manager->loggedInUser().bHeadPending);
    dispatchReply(R"({"errcode":0,"tag":"119","message":"two\nlines"})", *m_manager);
    QCOMPARE(fileText(m_manager->messagesDir() + "senderr.log"), QString("修改成功\ntwo lines\n"));
}

void TestReplies::latestVersion()
{
    latestVersionInfo() = LatestVersionInfo{"old", "keep", "old-update"};
    dispatchReply(
        R"({"errcode":0,"tag":"121","version":"1.0.0","update_download":"https://u/p.zip"})",
        *m_manager);
    QCOMPARE(latestVersionInfo().version, QString("1.0.0"));
    QCOMPARE(latestVersionInfo().download, QString("keep"));
    QCOMPARE(latestVersionInfo().updateDownload, QString("https://u/p.zip"));
}

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"
