// The card pages' owner without a window or a service: which page shows, the marks on
// the cards, the local page refill after a catalogue, and pictures that do not come.
#include "cards/cardpages.h"

#include "cards/previewloader.h"
#include "finding/previewsetting.h"
#include "fonts/ftmanager.h"
#include "service/previewimage.h"
#include "testenv.h"

#include <QNetworkAccessManager>
#include <QtTest>

#include <memory>

class TestCardPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pageChoice_data();
    void pageChoice();
    void cardMarks();
    void localRefillAfterCatalogue();
    void picturesThatDoNotCome();

private:
    // A catalogue of the names, nobody signed in, every page filled.
    void fill(const QStringList &names);
    void signIn(const QStringList &favourites);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_ft;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<PreviewLoader> m_previews;
    std::unique_ptr<CardPages> m_pages;
};

void TestCardPages::init()
{
    m_env = std::make_unique<TestEnv>();
    m_ft = std::make_unique<FtManager>();
    m_ft->initialize();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_previews = std::make_unique<PreviewLoader>(*m_ft, *m_network);
    m_pages = std::make_unique<CardPages>(*m_ft, *m_previews);
}

void TestCardPages::cleanup()
{
    m_pages.reset();
    m_previews.reset();
    m_ft.reset();
    m_env.reset(); // before the next one is made: it puts back what it found
}

void TestCardPages::fill(const QStringList &names)
{
    m_ft->initCloudVec.clear();
    for (const QString &name : names) {
        FontAV font;
        font.fontname = name;
        font.font_en_name = name.toLower();
        m_ft->cloudFonts.insert(name, font);
        m_ft->initCloudVec.append(name);
    }
    m_pages->catalogueArrived();
}

void TestCardPages::signIn(const QStringList &favourites)
{
    m_ft->bLogin = true;
    m_ft->switchToLoggedIn();
    for (const QString &name : favourites)
        m_ft->loggedInUser().favourites.add(m_ft->cloudFonts.value(name));
    m_pages->refreshSignedIn();
}

void TestCardPages::pageChoice_data()
{
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QStringList>("favourites");
    QTest::addColumn<QString>("before"); // "search:TEXT", "tags" or empty
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("cloudCards");
    using P = CardPages;
    QTest::newRow("favourites, signed out") << false << QStringList() << "" << "love"
                                            << int(P::NotLoggedIn) << 3;
    QTest::newRow("favourites, none yet") << true << QStringList() << "" << "love"
                                          << int(P::NoFavourites) << 3;
    QTest::newRow("favourites") << true << QStringList{"Beta"} << "" << "love"
                                << int(P::Favourites) << 3;
    QTest::newRow("local") << false << QStringList() << "" << "local" << int(P::Local) << 3;
    QTest::newRow("search found") << false << QStringList() << "search:al" << ""
                                  << int(P::Cloud) << 1;
    QTest::newRow("search found nothing") << false << QStringList() << "search:zz" << ""
                                          << int(P::NoSearchResult) << 0;
    QTest::newRow("cloud after a search") << false << QStringList() << "search:zz" << "cloud"
                                          << int(P::Cloud) << 3;
    QTest::newRow("typing over a failed search") << false << QStringList() << "search:zz"
                                                 << "typed" << int(P::Cloud) << 3;
    QTest::newRow("typing over a found search") << false << QStringList() << "search:al"
                                                << "typed" << int(P::Cloud) << 1;
    QTest::newRow("cloud keeps an empty filter") << false << QStringList() << "tags" << "cloud"
                                                 << int(P::NoSearchResult) << 0;
}

void TestCardPages::pageChoice()
{
    QFETCH(bool, signedIn);
    QFETCH(QStringList, favourites);
    QFETCH(QString, before);
    QFETCH(QString, button);
    fill({"Alpha", "Beta", "Gamma"});
    if (signedIn)
        signIn(favourites);
    if (before.startsWith("search:"))
        m_pages->search(before.mid(7));
    else if (before == "tags")
        m_pages->applyTags({QPoint(1, 999)});
    QSignalSpy chosen(m_pages.get(), &CardPages::pageChosen);
    if (button == "love")
        m_pages->showFavourites();
    else if (button == "local")
        m_pages->showLocal();
    else if (button == "cloud")
        m_pages->showCloud();
    else if (button == "typed")
        m_pages->leaveStaleResult();
    QTEST(m_pages->current(), "page");
    QTEST(m_pages->cloudCards()->rowCount(), "cloudCards");
    // The window follows the choice through the signal.
    if (!chosen.isEmpty())
        QCOMPARE(chosen.last().at(0).toInt(), m_pages->current());
}

void TestCardPages::cardMarks()
{
    fill({"Alpha", "Beta", "Gamma"});
    signIn({"Beta"});
    CardMarks &marks = *m_pages;
    CardModel *cloud = m_pages->cloudCards();
    CardModel *loved = m_pages->favouriteCards();
    const auto progress = [](CardModel *page, int row) {
        return page->data(page->index(row), CardModel::ProgressRole).toInt();
    };

    // Busy on every page; progress only on the page shown.
    marks.setBusy("Beta", true);
    QVERIFY(cloud->isBusy("Beta") && loved->isBusy("Beta"));
    marks.showProgress("Beta", 40);
    QCOMPARE(progress(cloud, 1), 40);
    QCOMPARE(progress(loved, 0), 0);
    m_pages->showFavourites();
    marks.showProgress("Beta", 70);
    QCOMPARE(progress(loved, 0), 70);
    QCOMPARE(progress(cloud, 1), 40);
    marks.clearProgress("Beta");
    QCOMPARE(progress(cloud, 1) + progress(loved, 0), 0);

    // The picked card is marked; after a refill that moved it, the card of its name.
    QCOMPARE(m_pages->notePick(cloud, 2, "Gamma"), cloud);
    marks.setCardActivated(cloud, true);
    QVERIFY(cloud->entry(2)->available);
    fill({"Gamma", "Alpha"});
    marks.setCardActivated(cloud, true);
    QVERIFY(cloud->entry(0)->available && !cloud->entry(1)->available);
    CardModel stranger; // no page of ours
    QCOMPARE(m_pages->notePick(&stranger, 0, "Alpha"), nullptr);

    // A font's mark reaches its favourites card only when it is a favourite.
    fill({"Alpha", "Beta", "Gamma"});
    marks.markActivated("Beta", true);
    marks.markActivated("Alpha", true);
    QVERIFY(cloud->entry(0)->available && cloud->entry(1)->available);
    QCOMPARE(loved->count(), 1);
    QVERIFY(loved->entry(0)->available);
    // Re-read from the font manager: none of them is activated or installed.
    marks.refreshActivated();
    QVERIFY(!cloud->entry(0)->available && !loved->entry(0)->available);
}

void TestCardPages::localRefillAfterCatalogue()
{
    const auto picture = [this](const QString &name) {
        QFile file(previewImagePath(m_ft->imagesDir(), name, PreviewName));
        QVERIFY(file.open(QIODevice::WriteOnly));
    };
    fill({"A", "B"});
    m_ft->setInstalledFonts({LocalFont{"Installed Sans", "Installed Sans", "Installed Sans",
                                       "Regular", "InstalledSans"}});
    QSignalSpy localReset(m_pages->localCards(), &QAbstractItemModel::modelReset);
    // Before the installed-font scan has finished the local page waits.
    fill({"A", "C"});
    QCOMPARE(localReset.size(), 0);
    m_pages->localScanFinished();
    QCOMPARE(localReset.size(), 1);
    QCOMPARE(m_pages->localCards()->nameAt(0), QString("Installed Sans"));
    // A first card without a cached picture refills with every catalogue.
    fill({"A", "B"});
    QCOMPARE(localReset.size(), 2);
    // With its picture cached the local page stays.
    picture("Installed Sans");
    fill({"A", "B"});
    QCOMPARE(localReset.size(), 2);
}

void TestCardPages::picturesThatDoNotCome()
{
    fill({"A", "B", "C", "D"});
    QSignalSpy missing(m_pages.get(), &CardPages::picturesUnavailable);
    QSignalSpy back(m_pages.get(), &CardPages::picturesArrived);
    // A round with one picture missing on the service is no outage.
    emit m_previews->pictureFailed("A");
    emit m_previews->pictureFailed("B");
    emit m_previews->idle();
    QCOMPARE(missing.size(), 0);
    // Nor is a round in which others came.
    for (const char *name : {"A", "B", "C"})
        emit m_previews->pictureFailed(name);
    emit m_previews->pictureReady("D");
    emit m_previews->idle();
    QCOMPARE(missing.size(), 0);
    // A round in which none came is: once, until a picture comes again.
    for (int round = 0; round < 2; ++round) {
        for (const char *name : {"A", "B", "C"})
            emit m_previews->pictureFailed(name);
        emit m_previews->idle();
    }
    QCOMPARE(missing.size(), 1);
    emit m_previews->pictureReady("A");
    emit m_previews->pictureReady("B");
    QCOMPARE(back.size(), 1);
}

QTEST_MAIN(TestCardPages)
#include "tst_cardpages.moc"
