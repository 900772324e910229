// The main window's pages and cards against the development service: the catalogue as
// cards, pictures fetched into the images folder, the local page, page buttons, and
// what the activation flow shows on the cards.
#include "window/mainwindow.h"

#include "cards/cardpages.h"
#include "account/loginlogic.h"
#include "cards/cardmodel.h"
#include "cards/cardview.h"
#include "cards/previewloader.h"
#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "devserverprocess.h"
#include "finding/mlineedit.h"
#include "service/catalogueloader.h"
#include "service/requestbuilder.h"
#include "service/transport.h"
#include "testfiles.h"
#include "testnet.h"
#include "widgets/mymsgbox.h"
#include "widgets/warnservice.h"
#include "window/guideform.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QImageReader>
#include <QSlider>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QtTest>

#include <memory>

namespace {

QString readLog(const FtManager &ft)
{
    return fileText(ft.messagesDir() + "FontMsg.log");
}

QVector<QString> withoutPlaceholders(const QVector<QString> &names)
{
    QVector<QString> out;
    for (const QString &n : names)
        if (!n.isEmpty())
            out.append(n);
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void catalogueBecomesCards();
    void picturesAreFetchedAndCached();
    void pageButtons();
    void localPageListsActivatedThenInstalled();
    void activationMarksOnCards();
    void pickWhileSignedOutAsksForLogin();
    void placedAtRightEdgeAndDraggedByItsBars();
    void favouritesArriveAfterLogin();
    void noticesWithoutTrayAndSecondCatalogue();
    void serviceFailuresRecover();
    void guideOnFirstRunDragsTheWindow();
    void serviceGoneWhilePicking();
    void previewAndCardHeightAreRemembered();

private:
    WindowFixture m_fixture;
    DevServerProcess &m_server = m_fixture.devService();
    CardPages &cardPages() { return m_services->cards(); }
    FtManager &fontManager() { return m_services->fontManager(); }
    void openWindow();

    std::unique_ptr<AppServices> m_services;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::openWindow()
{
    m_window.reset();
    m_services = std::make_unique<AppServices>();
    m_window = std::make_unique<MainWindow>(*m_services);
}

void TestMainWindow::initTestCase()
{
    QVERIFY2(m_fixture.startDevService(), qPrintable(m_fixture.errorString()));
}

void TestMainWindow::cleanupTestCase()
{
    QVERIFY(m_server.stop());
}

void TestMainWindow::init()
{
    openWindow();
    FtManager &ft = m_services->fontManager();
    // Start-up work that refills pages: the catalogue and the installed-font scan.
    QTRY_VERIFY_WITH_TIMEOUT(cardPages().cloudCards()->rowCount() > 0, kEventWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(readLog(ft).contains("系统字体加载完毕"), kEventWaitMs);
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_services.reset();
    setServiceUrl(m_server.url());
}

void TestMainWindow::catalogueBecomesCards()
{
    const FtManager &ft = fontManager();
    const CardModel *cards = cardPages().cloudCards();
    const QVector<QString> names = withoutPlaceholders(ft.initCloudVec);
    QVERIFY(names.size() > 1);
    QCOMPARE(cards->rowCount(), names.size());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(cards->nameAt(i), names[i]);
    // Nobody is signed in: no card is marked usable or loved.
    for (int i = 0; i < cards->rowCount(); ++i) {
        QVERIFY(!cards->entry(i)->available);
        QVERIFY(!cards->entry(i)->loved);
        QVERIFY(!cards->entry(i)->textMode);
    }
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageCloud));
}

void TestMainWindow::picturesAreFetchedAndCached()
{
    CardModel *cards = cardPages().cloudCards();
    const QString first = cards->nameAt(0);
    const QString path = m_services->previews().picturePath(first);
    QVERIFY(!QFile::exists(path));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // Painting the first cards asks for their pictures.
    QTRY_VERIFY_WITH_TIMEOUT(
        !cards->data(cards->index(0), CardModel::ImagePathRole).toString().isEmpty(), kEventWaitMs);
    QCOMPARE(cards->data(cards->index(0), CardModel::ImagePathRole).toString(), path);
    QImage picture(path);
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() > picture.height());
    // Cards far below the view were never asked for.
    const QString last = cards->nameAt(cards->rowCount() - 1);
    if (cards->rowCount() > 20)
        QVERIFY(!QFile::exists(m_services->previews().picturePath(last)));
    // The other cards in sight have their pictures on the way; they arrive one by one.
    QTRY_COMPARE_WITH_TIMEOUT(m_services->previews().pendingCount(), 0, kEventWaitMs);

    // A second window takes the picture from the cache: no new request for it.
    m_window.reset();
    init();
    QSignalSpy ready(&m_services->previews(), &PreviewLoader::pictureReady);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(!cardPages().cloudCards()
                 ->data(cardPages().cloudCards()->index(0), CardModel::ImagePathRole)
                 .toString()
                 .isEmpty());
    QTest::qWait(200);
    QCOMPARE(m_services->previews().pendingCount(), 0);
    QCOMPARE(ready.count(), 0);

    // Bytes that are no picture are not stored.
    QVERIFY(!m_services->previews().storePicture("Broken", "<html>not found</html>"));
    QVERIFY(!QFile::exists(m_services->previews().picturePath("Broken")));
    // A PNG is kept as sent; other formats are stored as PNG.
    QImage sample(8, 4, QImage::Format_RGB32);
    sample.fill(Qt::red);
    for (const char *format : {"PNG", "JPG"}) {
        QByteArray bytes;
        QBuffer out(&bytes);
        QVERIFY(sample.save(&out, format));
        QVERIFY(m_services->previews().storePicture(format, bytes));
        const QString stored = m_services->previews().picturePath(format);
        QCOMPARE(QImageReader(stored).format(), QByteArray("png"));
        QFile file(stored);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll() == bytes, qstrcmp(format, "PNG") == 0);
    }
}

void TestMainWindow::pageButtons()
{
    MainWindow &w = *m_window;
    FtManager &ft = fontManager();
    w.oncollectBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNotLoggedIn));
    w.onlocalBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageLocal));
    ft.bLogin = true;
    w.oncollectBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNoFavourites));
    ft.switchToLoggedIn();
    FontAV loved = *ft.cloudFont(cardPages().cloudCards()->nameAt(1));
    ft.loggedInUser().favourites.add(loved);
    cardPages().fillFavouritesPage();
    w.oncollectBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageFavourites));
    QCOMPARE(cardPages().favouriteCards()->rowCount(), 1);
    QVERIFY(cardPages().favouriteCards()->entry(0)->loved);
    w.oncloudBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageCloud));

    // The slider changes the row height of the page shown.
    CardView *cloud = w.findChild<CardView *>("cloudPage");
    w.resize(320, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Rows start 6 pixels above the smallest.
    QCOMPARE(cloud->visualRect(cardPages().cloudCards()->index(0)).height(), int(95 * uiScaleY) + 6);
    w.onFtHeightChanged(40);
    QCOMPARE(cloud->visualRect(cardPages().cloudCards()->index(0)).height(), int(95 * uiScaleY) + 40);
}

void TestMainWindow::localPageListsActivatedThenInstalled()
{
    FtManager &ft = fontManager();
    LocalFont installed{"Installed Bold", "Installed", "Installed", "Bold", "Installed-Bold"};
    ft.setInstalledFonts({installed});
    const QString cloudName = cardPages().cloudCards()->nameAt(0);
    LocalFont activated{cloudName, cloudName, cloudName, "Regular", "PS"};

    // Signed out: only installed fonts, in text mode.
    cardPages().fillLocalPage();
    QCOMPARE(cardPages().localCards()->rowCount(), 1);
    QVERIFY(cardPages().localCards()->entry(0)->textMode);
    QCOMPARE(cardPages().localCards()->entry(0)->family, QString("Installed"));
    QCOMPARE(cardPages().localCards()->entry(0)->style, QString("Bold"));

    // Signed in with one font activated in this run: it leads, as a picture card.
    ft.bLogin = true;
    ft.switchToLoggedIn();
    QVERIFY(ft.addActivated(cloudName, activated, ft.usedDir() + "x.ttf"));
    ft.loggedInUser().local.add(*ft.cloudFont(cloudName));
    // An entry of the group without a font activated in this run is not listed.
    FontAV older = *ft.cloudFont(cardPages().cloudCards()->nameAt(1));
    QVector<FontAV> keep = ft.loggedInUser().local.fonts();
    ft.loggedInUser().local.clear();
    ft.loggedInUser().local.add(older);
    for (const FontAV &f : keep)
        ft.loggedInUser().local.add(f);
    cardPages().fillLocalPage();
    QCOMPARE(cardPages().localCards()->rowCount(), 2);
    QCOMPARE(cardPages().localCards()->nameAt(0), cloudName);
    QVERIFY(!cardPages().localCards()->entry(0)->textMode);
    QVERIFY(cardPages().localCards()->entry(0)->available);
    QCOMPARE(cardPages().localCards()->nameAt(1), QString("Installed Bold"));
}

void TestMainWindow::activationMarksOnCards()
{
    MainWindow &w = *m_window;
    CardMarks &view = cardPages();
    CardModel *cloud = cardPages().cloudCards();
    const QString name = cloud->nameAt(2);
    const QModelIndex row = cloud->index(2);

    view.setBusy(name, true);
    QVERIFY(cloud->data(row, CardModel::BusyRole).toBool());
    view.showProgress(name, 35);
    QCOMPARE(cloud->data(row, CardModel::ProgressRole).toInt(), 35);
    view.clearProgress(name);
    QCOMPARE(cloud->data(row, CardModel::ProgressRole).toInt(), 0);
    // Progress shows on the page in sight only.
    w.onlocalBt();
    QCOMPARE(view.currentPageIndex(), int(MainWindow::PageLocal));
    view.showProgress(name, 60);
    QCOMPARE(cloud->data(row, CardModel::ProgressRole).toInt(), 0);
    w.oncloudBt();
    view.setBusy(name, false);
    QVERIFY(!cloud->data(row, CardModel::BusyRole).toBool());

    view.markActivated(name, true);
    QVERIFY(cloud->data(row, CardModel::AvailableRole).toBool());
    // Re-reading the marks from the font manager: nobody signed in, nothing usable.
    view.refreshActivated();
    QVERIFY(!cloud->data(row, CardModel::AvailableRole).toBool());
}

void TestMainWindow::pickWhileSignedOutAsksForLogin()
{
    MainWindow &w = *m_window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    CardView *page = w.findChild<CardView *>("cloudPage");
    const QString name = cardPages().cloudCards()->nameAt(0);
    bool dialogSeen = false;
    // The login dialog is modal: close it from inside its event loop.
    QTimer::singleShot(300, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            dialogSeen = dialog->windowTitle() == "登录与注册";
            dialog->reject();
        }
    });
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {},
                      page->visualRect(cardPages().cloudCards()->index(0)).center());
    QVERIFY(dialogSeen);
    QCOMPARE(page->lastPickedName(), name);
    QVERIFY(!cardPages().cloudCards()->isBusy(name));

    // Signed in, the picked card itself is marked once the font is active.
    fontManager().bLogin = true;
    CardMarks &view = cardPages();
    view.setCardActivated(cardPages().cloudCards(), true);
    QVERIFY(cardPages().cloudCards()->entry(0)->available);
}

void TestMainWindow::placedAtRightEdgeAndDraggedByItsBars()
{
    MainWindow &w = *m_window;
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    // 20 pixels from the right edge of a 1366 x 768 screen, vertically centred.
    QCOMPARE(w.pos(), QPoint(1366 - w.width() - 20, (768 - w.height()) / 2));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, w.mapToGlobal(local),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&w, &event);
    };
    // Dragging by the bottom bar moves the window by the mouse's way.
    const QPoint start = w.pos();
    const QPoint bar(40, w.height() - 15);
    send(QEvent::MouseButtonPress, bar, Qt::LeftButton);
    send(QEvent::MouseMove, bar + QPoint(-30, 12), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, bar + QPoint(-30, 12), Qt::NoButton);
    QCOMPARE(w.pos(), start + QPoint(-30, 12));

    // A press among the cards does not move it.
    const QPoint inside = w.findChild<QStackedWidget *>("fontArea")->mapTo(&w, QPoint(100, 100));
    send(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    send(QEvent::MouseMove, inside + QPoint(50, 50), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, inside + QPoint(50, 50), Qt::NoButton);
    QCOMPARE(w.pos(), start + QPoint(-30, 12));
}

void TestMainWindow::favouritesArriveAfterLogin()
{
    MainWindow &w = *m_window;
    FtManager &ft = fontManager();
    const QString phone = "13700000003";
    LoginLogic logic(m_services->account());
    QSignalSpy handled(&logic, &LoginLogic::replyHandled);
    QVERIFY(logic.requestCode(phone));
    QVERIFY(handled.wait(kEventWaitMs));
    QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
    QVERIFY(logic.registerAccount(phone, m_server.waitForCode(phone), "secret123", true));
    QVERIFY(signedIn.wait(kEventWaitMs));

    // The account keeps one favourite on the service.
    const QString name = cardPages().cloudCards()->nameAt(3);
    QByteArray bytes;
    QCOMPARE(postAndWait(RequestBuilder::collectFont(ft.requestContext.token,
                                                     ft.cloudFont(name)->fontid, true),
                         bytes, kEventWaitMs, ft),
             int(PostSuccess));

    w.oncollectBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNoFavourites));
    w.onSignedIn();
    QTRY_COMPARE_WITH_TIMEOUT(cardPages().favouriteCards()->rowCount(), 1, kEventWaitMs);
    QCOMPARE(cardPages().favouriteCards()->nameAt(0), name);
    QVERIFY(cardPages().cloudCards()->entry(3)->loved);
    QVERIFY(!cardPages().cloudCards()->entry(2)->loved);
    // The favourites page replaces the notice once there is something to show.
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageFavourites));

    // Logging out takes the marks and favourites away, keeps the name for next time.
    cardPages().markActivated(name, true);
    w.logout();
    QVERIFY(!ft.bLogin);
    QVERIFY(!ft.bAutoLogin);
    QVERIFY(ft.requestContext.token.isEmpty());
    QVERIFY(!ft.isLoggedInCurrent());
    QCOMPARE(ft.loggedInUser().user, phone);
    QCOMPARE(cardPages().favouriteCards()->rowCount(), 0);
    QVERIFY(!cardPages().cloudCards()->entry(3)->loved);
    QVERIFY(!cardPages().cloudCards()->entry(3)->available);
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageCloud));
    w.oncollectBt();
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNotLoggedIn));
}

void TestMainWindow::noticesWithoutTrayAndSecondCatalogue()
{
    MainWindow &w = *m_window;
    // The test platform has no tray: the catalogue's balloon went to the window.
    QVERIFY(!w.findChild<QSystemTrayIcon *>());
    auto *toast = qobject_cast<MyMsgBox *>(w.findChild<MyMsgBox *>());
    QVERIFY(toast);
    QCOMPARE(toast->text(), QString("加载完毕."));

    // A second reply with the same first font shows its own list.
    const QString first = cardPages().cloudCards()->nameAt(0);
    m_services->catalogue().applyCatalogueReply(
        QString(R"({"errcode":0,"tag":"100","count":2,"lists":[{"fontid":"1","fontname":"%1"},)"
                R"({"fontid":"99999","fontname":"Zeta Sans"}]})")
            .arg(first)
            .toUtf8());
    QCOMPARE(cardPages().cloudCards()->rowCount(), 2);
    QCOMPARE(cardPages().cloudCards()->nameAt(1), QString("Zeta Sans"));
}

void TestMainWindow::serviceFailuresRecover()
{
    // The first catalogue request gets an error and the first picture fetch a web page.
    QTemporaryDir dir;
    DevServerProcess faulty;
    QVERIFY2(faulty.start(dir.filePath("state"), {"--fault", "tag=100:errcode=5,times=1",
                                                   "--fault", "path=/preview:nonjson,times=1"}),
             qPrintable(faulty.errorString()));
    QVERIFY(addTrustedCertificateAuthorities(faulty.caFile()) > 0);
    setServiceUrl(faulty.url());
    openWindow();
    MainWindow &w = *m_window;
    fontManager().clearImageCache(); // earlier tests cached the same fonts' pictures
    m_services->previews().setRetryPause(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_services->catalogue().isUnreachable(), 10000);
    QVERIFY(w.findChild<WarnService *>()->isVisibleTo(w.findChild<CardView *>("cloudPage")));
    QVERIFY(m_services->catalogue().retryPendingMs() > 0);
    QVERIFY(readLog(fontManager()).contains("cloudList failed: "));

    // "重试" asks at once; the notice goes when the catalogue comes.
    emit qobject_cast<WarnService *>(w.findChild<WarnService *>())->retryClicked();
    QTRY_VERIFY_WITH_TIMEOUT(cardPages().cloudCards()->rowCount() > 0, 10000);
    QVERIFY(!w.findChild<WarnService *>()->isVisibleTo(w.findChild<CardView *>("cloudPage")));

    // The picture that failed is fetched on the next refill.
    // Looked at when it fails: with no retry pause, a repaint may fetch it again at once.
    QString name;
    bool keptAfterFailure = true;
    QObject scope; // the window outlives this test; the connection must not
    connect(&m_services->previews(), &PreviewLoader::pictureFailed, &scope, [&](const QString &failed) {
        if (name.isEmpty()) {
            name = failed;
            keptAfterFailure = QFile::exists(m_services->previews().picturePath(failed));
        }
    });
    QSignalSpy ready(&m_services->previews(), &PreviewLoader::pictureReady);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY_WITH_TIMEOUT(!name.isEmpty(), 10000);
    QVERIFY(!keptAfterFailure);
    cardPages().fillCloudPage();
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(QVariantList{name}), 10000);

    // A cached file that does not decode is fetched again.
    QFile broken(m_services->previews().picturePath(name));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("\x89PNG\r\n\x1a\n truncated");
    broken.close();
    ready.clear();
    m_services->previews().request(name);
    QTRY_VERIFY_WITH_TIMEOUT(ready.contains(QVariantList{name}), 10000);
    QVERIFY(!QImage(m_services->previews().picturePath(name)).isNull());
}

void TestMainWindow::guideOnFirstRunDragsTheWindow()
{
    m_window.reset();
    TestEnv fresh; // a first run
    const auto guideShowing = [](MainWindow &w) {
        auto *guide = w.findChild<GuideForm *>();
        return guide && guide->isVisibleTo(&w);
    };
    m_services = std::make_unique<AppServices>();
    auto window = std::make_unique<MainWindow>(*m_services);
    QTRY_VERIFY_WITH_TIMEOUT(guideShowing(*window), kEventWaitMs);
    GuideForm *guide = window->findChild<GuideForm *>();
    QVERIFY(guide);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Presses on the guide, even over the cards, move the window.
    const QPoint start = window->pos();
    const QPoint at = guide->rect().center() + QPoint(0, 100);
    const auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, guide->mapToGlobal(local), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(guide, &event);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseMove, at + QPoint(-25, 10), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + QPoint(-25, 10), Qt::NoButton);
    QCOMPARE(window->pos(), start + QPoint(-25, 10));
    guide->close();
    QVERIFY(!guideShowing(*window));

    // The next run shows no guide.
    window.reset();
    m_services = std::make_unique<AppServices>();
    window = std::make_unique<MainWindow>(*m_services);
    QVERIFY(!window->findChild<GuideForm *>());
    window.reset();
}

void TestMainWindow::serviceGoneWhilePicking()
{
    // The catalogue comes, then the service goes before any picture or font is fetched.
    QTemporaryDir dir;
    DevServerProcess brief;
    QVERIFY2(brief.start(dir.filePath("state")), qPrintable(brief.errorString()));
    QVERIFY(addTrustedCertificateAuthorities(brief.caFile()) > 0);
    setServiceUrl(brief.url());
    openWindow();
    MainWindow &w = *m_window;
    fontManager().clearImageCache();
    QTRY_VERIFY_WITH_TIMEOUT(cardPages().cloudCards()->rowCount() > 3, 10000);
    QVERIFY(brief.stop());

    // No blank cards: the cloud page says the service cannot be reached.
    auto *notice = w.findChild<WarnService *>();
    auto *page = w.findChild<CardView *>("cloudPage");
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisibleTo(page), 10000);

    // Picking a font that is not here yet says it could not be fetched, and the card's
    // busy mark goes.
    notice->hide();
    fontManager().bLogin = true;
    const QString name = cardPages().cloudCards()->nameAt(0);
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {},
                      page->previewRect(0).center());
    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<MyMsgBox *>()->text().contains("下载失败"), 10000);
    QVERIFY(w.findChild<MyMsgBox *>()->text().startsWith(name));
    QVERIFY(!cardPages().cloudCards()->isBusy(name));
}

void TestMainWindow::previewAndCardHeightAreRemembered()
{
    const auto cardHeight = [this] {
        return m_window->findChild<CardView *>("cloudPage")->itemDelegate()->sizeHint({}, {}).height();
    };
    const auto previewField = [this] { return m_window->findChild<MLineEdit *>("ftTextEdt"); };
    auto *slider = m_window->findChild<QSlider *>("sizeSlider");
    QVERIFY(slider);
    const int defaultStep = slider->value();
    const int defaultHeight = cardHeight();
    slider->setValue(slider->maximum());
    const int height = cardHeight();
    QVERIFY(height > defaultHeight);
    previewField()->setText("永和九年");
    emit previewField()->editDone();

    m_window.reset(); // saves the settings on its way out
    m_services = std::make_unique<AppServices>();
    m_window = std::make_unique<MainWindow>(*m_services);
    // Restored by the start-up, which goes on after the version check.
    QTRY_COMPARE_WITH_TIMEOUT(cardHeight(), height, kEventWaitMs);
    QCOMPARE(previewField()->text(), QString("永和九年"));
    QCOMPARE(m_services->fontManager().previewText, QString("永和九年"));

    // The next tests start from the defaults again.
    m_window->findChild<QSlider *>("sizeSlider")->setValue(defaultStep);
    previewField()->setText("");
    emit previewField()->editDone();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
