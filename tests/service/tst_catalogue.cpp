// Catalogue and tag-tree replies applied to the font manager, and what the interface is
// told to redraw.
#include "service/catalogueloader.h"
#include "fonts/ftmanager.h"
#include "service/previewimage.h"

#include "testenv.h"
#include "testfiles.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QByteArray catalogue(int count, const QStringList &names, const char *tag = "\"100\"")
{
    QByteArray lists;
    for (int i = 0; i < names.size(); ++i) {
        if (i)
            lists += ',';
        lists += QStringLiteral(R"({"fontid":"%1","fontname":"%2","image":"img%1"})")
                     .arg(i + 1)
                     .arg(names.at(i))
                     .toUtf8();
    }
    QByteArray reply = R"({"errcode":0,"tag":)" + QByteArray(tag);
    reply += ",\"count\":" + QByteArray::number(count);
    return reply + ",\"lists\":[" + lists + "]}";
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void countAndList_data();
    void countAndList();
    void duplicateNames();
    void failuresChangeNothing_data();
    void failuresChangeNothing();
    void refillDecisions();
    void absurdCountIsBounded();
    void hugeListIsCapped();
    void secondReplyUpdatesInPlace();
    void tagReplies();
    void previewPathsStayInTheImageFolder();
    void previewPicturesAreBounded_data();
    void previewPicturesAreBounded();
    void pictureReaderWithoutScaling();

private:
    QString log() const;

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_manager;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<CatalogueLoader> m_loader;
};

void TestCatalogue::init()
{
    m_env = std::make_unique<TestEnv>();
    m_manager = std::make_unique<FtManager>();
    m_manager->initialize();
    m_manager->initCloudVec.resize(500); // as the main window sizes it at start
    m_network = std::make_unique<QNetworkAccessManager>();
    m_loader = std::make_unique<CatalogueLoader>(*m_manager, *m_network);
}

void TestCatalogue::cleanup()
{
    m_loader.reset();
    m_network.reset();
    m_manager.reset();
    m_env.reset();
}

QString TestCatalogue::log() const
{
    return fileText(m_manager->messagesDir() + "FontMsg.log");
}

void TestCatalogue::countAndList_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("cloudVec");

    QTest::newRow("count below the list")
        << 3 << QStringList{"A", "B", "C", "D", "E"} << QStringList{"A", "B", "C"};
    QTest::newRow("count above the list")
        << 5 << QStringList{"A", "B", "C"} << QStringList{"A", "B", "C", "", ""};
    QTest::newRow("count without fonts") << 4 << QStringList() << QStringList{"", "", "", ""};
}

void TestCatalogue::countAndList()
{
    QFETCH(int, count);
    QFETCH(QStringList, names);
    QFETCH(QStringList, cloudVec);
    QSignalSpy total(m_loader.get(), &CatalogueLoader::msgCloudTotalChanged);
    QSignalSpy balloon(m_loader.get(), &CatalogueLoader::msgBalloon);
    QSignalSpy refill(m_loader.get(), &CatalogueLoader::msgCloudPageRefill);

    m_loader->applyCatalogueReply(catalogue(count, names));

    QCOMPARE(m_manager->initCloudVec.toList(), cloudVec);
    QCOMPARE(m_manager->cloudFonts.keys(), names); // every font reaches the map
    QCOMPARE(m_manager->cloudIndex.size(), qMin(count, int(names.size())));
    QCOMPARE(m_loader->indexedFontCount(), qMin(count, int(names.size())));
    QCOMPARE(m_loader->catalogueCount(), count);
    QCOMPARE(total.size(), 1);
    QCOMPARE(total.first().first().toInt(), count);
    QVERIFY(log().contains("CloudListSize=" + QString::number(count)));

    const bool received = !names.isEmpty();
    QCOMPARE(m_loader->catalogueReceived(), received);
    QCOMPARE(refill.size(), received ? 1 : 0);
    QCOMPARE(balloon.size(), received ? 1 : 0);
    if (received) {
        QCOMPARE(balloon.first().at(0).toString(), QString("云列表"));
        QCOMPARE(balloon.first().at(1).toString(), QString("加载完毕."));
        QVERIFY(log().contains("ftManager.initCloudVec.size=" + QString::number(count)));
    }
}

void TestCatalogue::duplicateNames()
{
    m_loader->applyCatalogueReply(catalogue(3, {"A", "B", "A"}));
    QCOMPARE(m_manager->initCloudVec.toList(), (QStringList{"A", "B", "A"}));
    QCOMPARE(m_manager->cloudIndex.value("A"), 2);
    QCOMPARE(m_manager->cloudFonts.size(), 2);
    QCOMPARE(m_manager->cloudFonts.value("A").fontid, 3); // the later record
}

void TestCatalogue::failuresChangeNothing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("Bad Gateway");
    QTest::newRow("error code") << QByteArray(R"({"errcode":2,"tag":"100","count":3,"lists":[]})");
    QTest::newRow("tag as number") << catalogue(2, {"A", "B"}, "100");
    QTest::newRow("tag missing") << QByteArray(R"({"errcode":0,"count":3})");
    QTest::newRow("count zero") << catalogue(0, {"A"});
    QTest::newRow("count negative") << catalogue(-5, {"A"});
}

void TestCatalogue::failuresChangeNothing()
{
    QFETCH(QByteArray, reply);
    QSignalSpy total(m_loader.get(), &CatalogueLoader::msgCloudTotalChanged);
    QSignalSpy balloon(m_loader.get(), &CatalogueLoader::msgBalloon);
    QSignalSpy unreachable(m_loader.get(), &CatalogueLoader::msgCatalogueUnreachable);
    const QString before = log();
    m_loader->applyCatalogueReply(reply);
    QCOMPARE(m_manager->initCloudVec.size(), 500);
    QVERIFY(m_manager->cloudFonts.isEmpty());
    QCOMPARE(total.size(), 0);
    QCOMPARE(balloon.size(), 0);
    // Nothing changes, but the failure is logged, shown and asked again later.
    QVERIFY(log().mid(before.size()).contains("cloudList failed: "));
    QCOMPARE(unreachable.size(), 1);
    QVERIFY(m_loader->isUnreachable());
    QVERIFY(m_loader->retryPendingMs() > 0);
}

void TestCatalogue::refillDecisions()
{
    QSignalSpy cloud(m_loader.get(), &CatalogueLoader::msgCloudPageRefill);

    // Every reply refills the cloud page, even with the same first name and its picture
    // cached: the names behind it may have changed.
    m_manager->initCloudVec[0] = "A";
    touch(previewImagePath(m_manager->imagesDir(), "A", PreviewName));
    m_loader->applyCatalogueReply(catalogue(2, {"A", "B"}));
    QCOMPARE(cloud.size(), 1);
    m_loader->applyCatalogueReply(catalogue(2, {"A", "C"}));
    QCOMPARE(cloud.size(), 2);
}

void TestCatalogue::absurdCountIsBounded()
{
    m_loader->applyCatalogueReply(catalogue(2000000000, {"A"}));
    QCOMPARE(m_manager->initCloudVec.size(), CatalogueLoader::kMaxCatalogueSize);
    QCOMPARE(m_manager->initCloudVec.first(), QString("A"));
}

void TestCatalogue::hugeListIsCapped()
{
    QStringList names;
    for (int i = 0; i <= CatalogueLoader::kMaxCatalogueSize; ++i)
        names << QString::number(i);
    m_loader->applyCatalogueReply(catalogue(names.size(), names));
    QCOMPARE(m_manager->cloudFonts.size(), CatalogueLoader::kMaxCatalogueSize);
    QCOMPARE(m_manager->initCloudVec.size(), CatalogueLoader::kMaxCatalogueSize);
    QVERIFY(log().contains("catalogue capped at 100000 fonts; the reply counts 100001"));
}

void TestCatalogue::secondReplyUpdatesInPlace()
{
    m_loader->applyCatalogueReply(catalogue(3, {"A", "B", "C"}));
    m_loader->applyCatalogueReply(catalogue(2, {"D", "B"}));
    QCOMPARE(m_manager->initCloudVec.toList(), (QStringList{"D", "B"}));
    QCOMPARE(m_manager->cloudFonts.keys(), (QStringList{"A", "B", "C", "D"})); // nothing removed
    QCOMPARE(m_manager->cloudFonts.value("B").fontid, 2);
    QCOMPARE(m_loader->indexedFontCount(), 5);
}

void TestCatalogue::tagReplies()
{
    QSignalSpy rebuilt(m_loader.get(), &CatalogueLoader::msgTagTreeChanged);
    m_loader->applyTagReply(QByteArray());
    QVERIFY(log().contains("tagsAsking return empty."));
    m_loader->applyTagReply(R"({"errcode":4,"tag":"102","message":"维护中"})");
    QVERIFY(log().contains("tagsAsking:维护中"));
    QCOMPARE(rebuilt.size(), 0);
    QVERIFY(m_manager->tagGroups.isEmpty());

    m_loader->applyTagReply(
        R"({"errcode":0,"tag":"102","tags":[{"name":"g","children":[{"tagid":"1","tagname":"t"}]}]})");
    QCOMPARE(rebuilt.size(), 1);
    QCOMPARE(m_manager->tagGroups.size(), 1);
    QVERIFY(!m_loader->requestFontTagsIfMissing()); // a tree is known: nothing is sent
}

void TestCatalogue::previewPathsStayInTheImageFolder()
{
    const QString dir = m_manager->imagesDir();
    QCOMPARE(previewImagePath(dir, "", PreviewName), QString());
    QCOMPARE(previewImagePath(dir, "宋体", PreviewName), dir + "宋体_name.png");
    QCOMPARE(previewImagePath(dir, "宋体", PreviewEnglish), dir + "宋体_eng.png");
    QCOMPARE(previewImagePath(dir, "宋体", PreviewDigits), dir + "宋体_num.png");
    QCOMPARE(previewImagePath(dir, "宋体", PreviewText, "你好"), dir + "宋体_你好.png");
    const QString hostile = previewImagePath(dir, "../../x\\y", PreviewText, "a/../b");
    QCOMPARE(QFileInfo(hostile).absolutePath() + '/', dir);

    // Different fonts or texts never share a cached picture, however long their names.
    const QString longName(300, QChar(0x5b8b));
    const QList<std::pair<QStringList, QStringList>> distinct = {
        {{"A/B", "0"}, {"A_B", "0"}},           {{"A", "0"}, {"A_name", "0"}},
        {{"A_x", "3", "y"}, {"A", "3", "x_y"}}, {{"A", "0"}, {"A", "3", "name"}},
        {{"A%2F", "0"}, {"A/", "0"}},           {{longName + "a", "0"}, {longName + "b", "0"}},
    };
    for (const auto &[one, other] : distinct) {
        const QString a = previewImagePath(dir, one[0], one[1].toInt(), one.value(2));
        const QString b = previewImagePath(dir, other[0], other[1].toInt(), other.value(2));
        QVERIFY2(a != b, qPrintable(a));
        QVERIFY(QFileInfo(a).fileName().toUtf8().size() < 256);
        QCOMPARE(QFileInfo(a).absolutePath() + '/', dir);
    }
}

void TestCatalogue::previewPicturesAreBounded_data()
{
    QTest::addColumn<QSize>("sent");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("decoded"); // empty: refused
    QTest::newRow("strip") << QSize(314, 44) << QByteArray("PNG") << QSize(314, 44);
    QTest::newRow("wide") << QSize(4096, 256) << QByteArray("PNG") << QSize(2048, 128);
    QTest::newRow("tall") << QSize(300, 3000) << QByteArray("JPG") << QSize(51, 512);
    QTest::newRow("too many pixels") << QSize(4100, 4100) << QByteArray("PNG") << QSize(0, 0);
}

void TestCatalogue::previewPicturesAreBounded()
{
    QFETCH(QSize, sent);
    QFETCH(QByteArray, format);
    QFETCH(QSize, decoded);
    QImage picture(sent, QImage::Format_Grayscale8);
    picture.fill(200);
    const QString path = m_manager->imagesDir() + "sent.img";
    QVERIFY(picture.save(path, format.constData()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    bool asSent = false;
    QCOMPARE(decodePreviewPicture(file.readAll(), &asSent).size(), decoded);
    QCOMPARE(asSent, format == "PNG" && decoded == sent);
    // The same rule for a file in the cache, from its header alone.
    QCOMPARE(previewFileFits(path), decoded == sent);
}

// GIF's reader ignores a scaled size: an 18176-pixel-wide GIF must still come out in the box.
void TestCatalogue::pictureReaderWithoutScaling()
{
    const QByteArray gif = QByteArray::fromHex("47494638396100472c013900002c0000000100010080000000"
                                               "01000000472c013900002c000000000100010000020144003b");
    const QImage image = decodePreviewPicture(gif);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= kPreviewBoxWidth && image.height() <= kPreviewBoxHeight);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
