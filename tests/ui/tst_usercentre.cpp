// The account session's sign-in rules, favourites, the profile upload and the profile
// editor's rules against a scripted service, and the whole signed-in journey against the
// development service.
#include "window/mainwindow.h"

#include "account/agreedlg.h"
#include "account/accountsession.h"
#include "account/logdlg.h"
#include "account/resetpage.h"
#include "account/loginlogic.h"
#include "account/profileform.h"
#include "account/userdlg.h"
#include "account/usereditdlg.h"
#include "cards/cardmodel.h"
#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "devserverprocess.h"
#include "service/favourites.h"
#include "service/profile.h"
#include "service/requestbuilder.h"
#include "service/signing.h"
#include "service/transport.h"
#include "testfiles.h"
#include "testhttpsserver.h"
#include "testnet.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QtTest>

namespace {

const QByteArray kOk = R"({"tag":"105","errcode":0,"message":"ok"})";
const QByteArray kSaved = R"({"tag":"119","errcode":0,"message":"ok"})";
const QByteArray kAgreed =
    R"({"tag":"114","errcode":0,"token":"tk","type":"2","is_agree":1,"nick_name":"n"})";
const QByteArray kNotAgreed = R"({"tag":"114","errcode":0,"token":"tk","type":"2","is_agree":0})";
const QByteArray kRefused = R"({"tag":"114","errcode":1001,"message":"用户名或密码错误"})";


// Drives whatever modal dialog is up every 100 ms: the login with the given password
// and automatic login ticked, the agreement accepted.
void answerDialogs(QObject *context, const QString &password)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, [password] {
        QWidget *w = QApplication::activeModalWidget();
        if (auto *agree = qobject_cast<AgreeDlg *>(w)) {
            agree->onCheckAgree();
        } else if (auto *login = qobject_cast<LogDlg *>(w)) {
            if (!login->logic()->loginReady() || login->isAnimating())
                return;
            login->passwordEdit()->setText(password);
            login->autoBox()->setChecked(true);
            login->onlogin();
        }
    });
    timer->start(100);
}

} // namespace

class TestUserCentre : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void automaticLogin_data();
    void automaticLogin();
    void lateHeadImageNeverReplacesANewerChoice();
    void resetPageWithoutBrowser();
    void favouriteReplies_data();
    void favouriteReplies();
    void listRacingAToggleKeepsIt();
    void profileUpload_data();
    void profileUpload();
    void provincesAndBirthdays();
    void signedInJourney();

private:
    void signIn(bool withFont = true);
    QStringList bodies() const;

    TestCertificates m_certs;
    std::unique_ptr<TestHttpsServer> m_server;
    WindowFixture m_fixture;
    std::unique_ptr<FtManager> m_ft;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

void TestUserCentre::initTestCase()
{
    QString error;
    QVERIFY2(m_certs.generate(&error), qPrintable(error));
    m_server = std::make_unique<TestHttpsServer>(m_certs.serverCertFile(), m_certs.serverKeyFile());
    QVERIFY(m_server->start());
    QVERIFY(m_fixture.useService(m_server->url(), m_certs.caFile()));
}

void TestUserCentre::init()
{
    setServiceUrl(m_server->url());
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_server->setReply(kOk);
    m_server->clearRequests();
    m_ft.reset();
    m_fixture.renewHome();
    m_ft = std::make_unique<FtManager>();
    m_ft->initialize();
    m_network = std::make_unique<QNetworkAccessManager>();
}

void TestUserCentre::automaticLogin_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<bool>("retried"); // tried again when the service is back
    QTest::newRow("accepted") << int(TestHttpsServer::Respond) << kAgreed << true << false;
    QTest::newRow("refused") << int(TestHttpsServer::Respond) << kRefused << false << false;
    // The agreement is asked for in the login dialog, never skipped.
    QTest::newRow("agreement missing")
        << int(TestHttpsServer::Respond) << kNotAgreed << false << false;
    QTest::newRow("no answer") << int(TestHttpsServer::Hang) << kAgreed << false << true;
    QTest::newRow("connection dropped") << int(TestHttpsServer::Drop) << kAgreed << false << true;
}

void TestUserCentre::automaticLogin()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(bool, signedIn);
    QFETCH(bool, retried);
    AccountSession session(*m_ft);
    QVERIFY(!session.startAutoLogin()); // nothing saved, nothing sent
    m_ft->bSavePass = m_ft->bAutoLogin = true;
    m_ft->loggedInUser().user = "13800000000";
    m_ft->loggedInUser().pass = "secret";
    m_server->setBehaviour(TestHttpsServer::Behaviour(behaviour));
    m_server->setReply(reply);
    session.setAutoLoginLimit(1500);
    QSignalSpy finished(&session, &AccountSession::autoLoginFinished);
    QSignalSpy changed(&session, &AccountSession::stateChanged);
    QVERIFY(session.startAutoLogin());
    QVERIFY(!session.startAutoLogin()); // one at a time
    QVERIFY(finished.wait(kEventWaitMs));
    QCOMPARE(finished.first().first().toBool(), signedIn);
    QCOMPARE(m_ft->bLogin, signedIn);
    QCOMPARE(m_ft->isLoggedInCurrent(), signedIn);
    QCOMPARE(session.token(), signedIn ? QString("tk") : QString());
    QCOMPARE(changed.count(), signedIn ? 1 : 0);
    // Whatever happened, the saved account stays for the login dialog.
    QCOMPARE(m_ft->loggedInUser().user, QString("13800000000"));
    QCOMPARE(m_ft->loggedInUser().pass, QString("secret"));
    QVERIFY(m_ft->bAutoLogin && m_ft->bSavePass);
    // The one "login needed" rule: signed in, go on; else ask, and go on only if that helped.
    QSignalSpy asked(&session, &AccountSession::loginNeeded);
    QCOMPARE(session.requireSignIn(), signedIn);
    QCOMPARE(asked.count(), signedIn ? 0 : 1);
    if (!signedIn)
        QCOMPARE(asked.first().at(1).toString(),
                 QString("字体激活、收藏、应用操作，需要登录后才可进行。"));

    // The service is back and answers.
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_server->setReply(kAgreed);
    QCOMPARE(session.retryAutoLogin(), retried);
    if (retried) {
        QVERIFY(finished.wait(kEventWaitMs));
        QVERIFY(session.isSignedIn());
        QCOMPARE(session.token(), QString("tk"));
        QCOMPARE(changed.count(), 1);
    }
}

void TestUserCentre::lateHeadImageNeverReplacesANewerChoice()
{
    QImage served(8, 8, QImage::Format_RGB32);
    served.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    served.save(&png, "PNG");
    m_server->setReply(png.data());
    QNetworkAccessManager network;
    HeadImageLoader loader(network, m_ft->headImageFile());
    QVERIFY(loader.fetch(m_server->url().toString() + "head.png"));
    // Chosen and saved while the download is on its way: the newer choice stays.
    QImage mine(4, 4, QImage::Format_RGB32);
    mine.fill(Qt::blue);
    QVERIFY(mine.save(m_ft->headImageFile()));
    QSignalSpy finished(&loader, &HeadImageLoader::finished);
    QVERIFY(finished.wait(kEventWaitMs));
    QVERIFY(!finished.first().first().toBool());
    QCOMPARE(QImage(m_ft->headImageFile()).width(), 4);
}

void TestUserCentre::resetPageWithoutBrowser()
{
    QUrl asked;
    QString shown;
    QTimer::singleShot(200, [&shown] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            if (box->textInteractionFlags() & Qt::TextSelectableByMouse)
                shown = box->text();
            box->accept();
        }
    });
    QVERIFY(!openPasswordResetPage(nullptr, [&](const QUrl &page) {
        asked = page;
        return false;
    }));
    QCOMPARE(shown, resetPageMessage(asked)); // selectable, so it can be copied
    QVERIFY(shown.endsWith(asked.toString()) && shown.contains("/Login/forgetPwd.html"));
}

void TestUserCentre::signIn(bool withFont)
{
    m_ft->bLogin = true;
    m_ft->switchToLoggedIn();
    m_ft->requestContext.token = "tok";
    FontAV font;
    font.fontname = "Kai";
    font.fontid = withFont ? 7 : 0;
    m_ft->cloudFonts.insert(font.fontname, font);
}

QStringList TestUserCentre::bodies() const
{
    QStringList out;
    for (const CapturedRequest &r : m_server->requests())
        out << QString::fromUtf8(r.body);
    return out;
}

void TestUserCentre::favouriteReplies_data()
{
    QTest::addColumn<bool>("add");
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("lovedAfter");
    QTest::addColumn<QString>("message");
    const QByteArray refused = R"({"tag":"105","errcode":3001,"message":"字体不存在"})";
    QTest::newRow("add ok") << true << int(TestHttpsServer::Respond) << kOk << true << "";
    QTest::newRow("add refused") << true << int(TestHttpsServer::Respond) << refused << false
                                 << "字体不存在";
    QTest::newRow("add dropped") << true << int(TestHttpsServer::Drop) << kOk << false
                                 << "收藏失败：网络异常";
    QTest::newRow("remove ok") << false << int(TestHttpsServer::Respond) << kOk << false << "";
    QTest::newRow("remove dropped")
        << false << int(TestHttpsServer::Drop) << kOk << true << "取消收藏失败：网络异常";
}

void TestUserCentre::favouriteReplies()
{
    QFETCH(bool, add);
    QFETCH(int, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(bool, lovedAfter);
    QFETCH(QString, message);
    signIn();
    FontGroup &group = m_ft->loggedInUser().favourites;
    FontAV other;
    other.fontname = "Song";
    group.add(other);
    if (!add)
        group.add(*m_ft->cloudFont("Kai"));
    FavouritesController favourites(*m_ft, *m_network);
    QSignalSpy marks(&favourites, &FavouritesController::lovedChanged);
    QSignalSpy said(&favourites, &FavouritesController::message);
    m_server->setBehaviour(TestHttpsServer::Behaviour(behaviour));
    m_server->setReply(reply);

    QCOMPARE(favourites.toggle("Kai", add), FavouritesController::Sent);
    // Shown at once: a new favourite first.
    QCOMPARE(group.contains("Kai"), add);
    if (add)
        QCOMPARE(group.fonts().first().fontname, QString("Kai"));
    QTRY_COMPARE(favourites.pendingCount(), 0);
    QCOMPARE(group.contains("Kai"), lovedAfter);
    QCOMPARE(marks.last().at(1).toBool(), lovedAfter);
    QCOMPARE(said.isEmpty() ? QString() : said.first().first().toString(), message);
    // A removal undone puts the font back where it stood.
    if (!add && lovedAfter)
        QCOMPARE(group.indexOf("Kai"), 1);
    // A dropped connection may be tried again by the network layer; one toggle is one body.
    QVERIFY(!bodies().isEmpty());
    QVERIFY(bodies().first().startsWith(QString("tag=%1&secret=").arg(add ? 105 : 106)));
    QVERIFY(bodies().first().contains("&token=tok&font_ids=7&"));
}

void TestUserCentre::listRacingAToggleKeepsIt()
{
    signIn();
    FavouritesController favourites(*m_ft, *m_network);
    // A font without an id is not sent, and nothing pretends it was.
    signIn(false);
    QSignalSpy said(&favourites, &FavouritesController::message);
    QCOMPARE(favourites.toggle("Kai", true), FavouritesController::NoFontId);
    QCOMPARE(said.count(), 1);
    QVERIFY(m_ft->loggedInUser().favourites.isEmpty());
    signIn(true);

    m_server->setBehaviour(TestHttpsServer::Hang);
    QCOMPARE(favourites.toggle("Kai", true), FavouritesController::Sent);
    QTRY_COMPARE(m_server->requests().size(), 1);
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_server->setReply(R"({"tag":"107","errcode":0,"message":"ok","lists":[)"
                       R"({"fontid":"9","fontname":"Song"}]})");
    QSignalSpy arrived(&favourites, &FavouritesController::loveListArrived);
    favourites.requestLoveList();
    QVERIFY(arrived.wait(10000));
    const FontGroup &group = m_ft->loggedInUser().favourites;
    QCOMPARE(group.size(), 2);
    QCOMPARE(group.fonts().first().fontname, QString("Kai"));
    QVERIFY(group.contains("Song"));
}

void TestUserCentre::profileUpload_data()
{
    QTest::addColumn<bool>("pending");
    QTest::addColumn<QByteArray>("firstReply");
    QTest::addColumn<QString>("message");
    QTest::newRow("head, refused then sent again")
        << true << QByteArray(R"({"tag":"119","errcode":2008,"message":"头像图片无效"})")
        << "头像图片无效";
    QTest::newRow("head, accepted") << true << kSaved << "";
    QTest::newRow("no head") << false << kSaved << "";
}

void TestUserCentre::profileUpload()
{
    QFETCH(bool, pending);
    QFETCH(QByteArray, firstReply);
    QFETCH(QString, message);
    signIn();
    UserRecord &user = m_ft->loggedInUser();
    user.nick_name = "小明";
    user.birthday = "1990-5-7";
    user.bHeadPending = pending;
    QImage head(40, 40, QImage::Format_ARGB32);
    head.fill(Qt::red);
    QVERIFY(head.save(m_ft->headImageFile()));

    m_server->setReply(firstReply);
    const Profile::UploadResult first = Profile::upload(*m_ft);
    QCOMPARE(first.message, message);
    QCOMPARE(first.sentHead, pending);
    m_server->setReply(kSaved);
    QVERIFY(Profile::upload(*m_ft).succeeded());
    QVERIFY(!user.bHeadPending);

    const QStringList sent = bodies();
    QCOMPARE(sent.size(), 2);
    for (int i = 0; i < 2; ++i) {
        // A refused head image goes again with the next save.
        const bool withHead = pending && (i == 0 || !message.isEmpty());
        QStringList entries = sent[i].split('&');
        const QString secret = entries.takeLast();
        QVERIFY(secret.startsWith("secret="));
        QCOMPARE(entries.first().startsWith("head="), withHead);
        if (withHead)
            entries.first() =
                "head=" + QByteArray::fromPercentEncoding(entries.first().mid(5).toLatin1());
        // Signed over the Base64 text, not its percent-encoding.
        QCOMPARE(secret.mid(7), signatureOf(entries));
        QVERIFY(sent[i].contains("tag=119&token=tok&nick_name=小明&sex=2&introduce=&"
                                 "birthday=1990-5-7&province=&city=&"));
    }
    QVERIFY(fileText(m_ft->messagesDir() + "FontMsg.log").contains("Headimg-modify:successful"));
}

void TestUserCentre::provincesAndBirthdays()
{
    const auto &table = ProfileForm::provinces();
    QCOMPARE(table.size(), 34);
    const int counts[] = {18, 21, 17, 13, 18, 19, 12, 11, 1,  10, 14, 40, 9, 18, 16, 21, 14,
                          17, 18, 11, 17, 11, 14, 7,  13, 12, 1,  9,  14, 7, 18, 7,  9,  5};
    for (int i = 0; i < 34; ++i)
        QCOMPARE(table.at(i).second.size(), counts[i]);
    QCOMPARE(table.first().second.first(), QString("朝阳区"));
    QCOMPARE(ProfileForm::cities("香港"), QStringList{QString()});

    ProfileForm::Birthday b;
    QVERIFY(ProfileForm::parseBirthday("1990-5-7", &b));
    QCOMPARE(ProfileForm::birthdayText(b), QString("1990-5-7"));
    QVERIFY(!ProfileForm::parseBirthday("1990-5", &b));
    QVERIFY(!ProfileForm::parseBirthday("1990-x-7", &b));

    // Without a nick name the user centre shows the user name, but the editor starts
    // empty: saving unchanged must not make the phone number the nick name.
    UserRecord nameless;
    nameless.user = "13800000000";
    UserDlg centre(nameless, m_ft->headImageFile(), {0, 0, 0});
    QCOMPARE(centre.nickText(), QString("13800000000"));
    QString nickOffered = "not shown";
    QTimer::singleShot(300, [&] {
        if (auto *editor = qobject_cast<UserEditDlg *>(QApplication::activeModalWidget())) {
            nickOffered = editor->findChild<QLineEdit *>()->text();
            editor->onSave();
        }
    });
    centre.onEditUsrMsg();
    QCOMPARE(nickOffered, QString());
    QVERIFY(nameless.nick_name.isEmpty());

    // The editor: 香港 has one empty city; an untouched, never set birthday stays empty,
    // no sex button keeps the stored sex, a pending head image stays pending.
    UserEditDlg edit(m_ft->headImageFile());
    UserProfile profile;
    profile.sex = -1;
    edit.fill(profile);
    edit.provinceBox()->setCurrentText("香港");
    QCOMPARE(edit.cityBox()->count(), 1);
    QCOMPARE(edit.cityBox()->currentText(), QString());
    profile.sex = 1;
    profile.bHeadPending = true;
    ProfileForm::applyEdit(edit.edited(), profile);
    QCOMPARE(profile.sex, 1);
    QVERIFY(profile.birthday.isEmpty());
    QVERIFY(profile.bHeadPending);
    QCOMPARE(profile.province, QString("香港"));
    edit.yearBox()->setValue(2001);
    ProfileForm::applyEdit(edit.edited(), profile);
    QCOMPARE(profile.birthday, QString("2001-1-1"));
}

void TestUserCentre::signedInJourney()
{
    QVERIFY2(m_fixture.startDevService(), qPrintable(m_fixture.errorString()));
    DevServerProcess &server = m_fixture.devService();
    QTemporaryDir data;
    auto services = std::make_unique<AppServices>();
    auto w = std::make_unique<MainWindow>(*services);
    FtManager &ft = services->fontManager();
    QTRY_VERIFY_WITH_TIMEOUT(services->cards().cloudCards()->rowCount() > 3, 15000);

    const QString phone = "13700000012", password = "secret123";
    {
        LoginLogic logic(services->account());
        QSignalSpy handled(&logic, &LoginLogic::replyHandled);
        QVERIFY(logic.requestCode(phone));
        QVERIFY(handled.wait(10000));
        QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
        QVERIFY(logic.registerAccount(phone, server.waitForCode(phone), password, true));
        QVERIFY(signedIn.wait(10000));
    }
    w->logout();

    // Signed out, the heart asks for a login and then goes on with the toggle.
    const QString a = services->cards().cloudCards()->nameAt(1), b = services->cards().cloudCards()->nameAt(3);
    answerDialogs(w.get(), password);
    w->onFtCollect(a);
    QVERIFY(ft.bLogin);
    w->onFtCollect(b);
    QTRY_COMPARE_WITH_TIMEOUT(services->favourites().pendingCount(), 0, 10000);
    QCOMPARE(services->cards().favouriteCards()->nameAt(0), b);
    QCOMPARE(services->cards().favouriteCards()->nameAt(1), a);
    w->onFtCollect(a);
    QTRY_COMPARE_WITH_TIMEOUT(services->favourites().pendingCount(), 0, 10000);
    QCOMPARE(services->cards().favouriteCards()->rowCount(), 1);
    QVERIFY(!services->cards().cloudCards()->entry(1)->loved);
    QVERIFY(services->cards().cloudCards()->entry(3)->loved);

    // The profile, edited in the user centre with a new head image.
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QString file = data.filePath("me.jpg");
    QVERIFY(picture.save(file));
    UserDlg centre(ft.loggedInUser(), ft.headImageFile(), {0, 1, 0});
    QCOMPARE(centre.counterText(1), QString("1"));
    connect(&centre, &UserDlg::setUserSign, w.get(), &MainWindow::onModifyUsr);
    QTimer::singleShot(300, [&] {
        auto *edit = qobject_cast<UserEditDlg *>(QApplication::activeModalWidget());
        QVERIFY(edit && edit->takeHeadImage(file));
        edit->findChild<QLineEdit *>()->setText("字体迷");
        edit->onSave();
    });
    centre.onEditUsrMsg();
    QCOMPARE(centre.nickText(), QString("字体迷"));
    QVERIFY(fileText(ft.messagesDir() + "FontMsg.log").contains("Headimg-modify:successful"));

    // A restart signs in by itself and finds all of it again.
    w.reset();
    services = std::make_unique<AppServices>();
    w = std::make_unique<MainWindow>(*services);
    FtManager &again = services->fontManager();
    QTRY_VERIFY_WITH_TIMEOUT(again.bLogin, 10000);
    QCOMPARE(again.loggedInUser().nick_name, QString("字体迷"));
    QVERIFY(again.loggedInUser().head.startsWith(server.url().toString() + "heads/"));
    QTRY_VERIFY_WITH_TIMEOUT(QImage(again.headImageFile()).width() > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(services->cards().favouriteCards()->rowCount(), 1, 10000);
    QCOMPARE(services->cards().favouriteCards()->nameAt(0), b);
    w.reset();
    QVERIFY(server.stop());
}

QTEST_MAIN(TestUserCentre)
#include "tst_usercentre.moc"
