// The sign-in rules on the account session alone: no window, a scripted service.
#include "account/accountsession.h"
#include "account/resetpage.h"
#include "fonts/ftmanager.h"
#include "service/profile.h"
#include "testenv.h"
#include "testhttpsserver.h"
#include "testnet.h"
#include "core/tlstrust.h"
#include "service/transport.h"

#include <QMessageBox>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kAgreed =
    R"({"tag":"114","errcode":0,"token":"tk","type":"2","is_agree":1,"nick_name":"n"})";
const QByteArray kNotAgreed = R"({"tag":"114","errcode":0,"token":"tk","type":"2","is_agree":0})";
const QByteArray kRefused = R"({"tag":"114","errcode":1001,"message":"用户名或密码错误"})";

} // namespace

class TestAccountSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void automaticLogin_data();
    void automaticLogin();
    void loginNeededAsksOnce();
    void logoutForgetsTheSession();
    void lateHeadImageNeverReplacesANewerChoice();
    void resetPageWithoutBrowser();

private:
    void saveAccount();

    TestCertificates m_certs;
    std::unique_ptr<TestHttpsServer> m_server;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FtManager> m_ft;
};

void TestAccountSession::initTestCase()
{
    QString error;
    QVERIFY2(m_certs.generate(&error), qPrintable(error));
    QCOMPARE(addTrustedCertificateAuthorities(m_certs.caFile()), 1);
    m_server = std::make_unique<TestHttpsServer>(m_certs.serverCertFile(), m_certs.serverKeyFile());
    QVERIFY(m_server->start());
    setServiceUrl(m_server->url());
}

void TestAccountSession::init()
{
    m_server->setBehaviour(TestHttpsServer::Respond);
    m_ft.reset();
    m_env = std::make_unique<TestEnv>();
    m_ft = std::make_unique<FtManager>();
    m_ft->initialize();
}

void TestAccountSession::saveAccount()
{
    m_ft->bSavePass = m_ft->bAutoLogin = true;
    m_ft->loggedInUser().user = "13800000000";
    m_ft->loggedInUser().pass = "secret";
}

void TestAccountSession::automaticLogin_data()
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

void TestAccountSession::automaticLogin()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(bool, signedIn);
    QFETCH(bool, retried);
    AccountSession session(*m_ft);
    QVERIFY(!session.startAutoLogin()); // nothing saved, nothing sent
    saveAccount();
    m_server->setBehaviour(TestHttpsServer::Behaviour(behaviour));
    m_server->setReply(reply);
    session.setAutoLoginLimit(1500);
    QSignalSpy finished(&session, &AccountSession::autoLoginFinished);
    QSignalSpy changed(&session, &AccountSession::stateChanged);
    QVERIFY(session.startAutoLogin());
    QVERIFY(!session.startAutoLogin()); // one at a time
    QVERIFY(finished.wait(kEventWaitMs));
    QCOMPARE(finished.first().first().toBool(), signedIn);
    QCOMPARE(session.isSignedIn(), signedIn);
    QCOMPARE(m_ft->bLogin, signedIn);
    QCOMPARE(m_ft->isLoggedInCurrent(), signedIn);
    QCOMPARE(session.token(), signedIn ? QString("tk") : QString());
    QCOMPARE(changed.count(), signedIn ? 1 : 0);
    // Whatever happened, the saved account stays for the login dialog.
    QCOMPARE(m_ft->loggedInUser().user, QString("13800000000"));
    QCOMPARE(m_ft->loggedInUser().pass, QString("secret"));
    QVERIFY(m_ft->bAutoLogin && m_ft->bSavePass);

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

void TestAccountSession::loginNeededAsksOnce()
{
    AccountSession session(*m_ft);
    QSignalSpy asked(&session, &AccountSession::loginNeeded);
    // Whoever listens runs the login dialog; here it signs in.
    connect(&session, &AccountSession::loginNeeded, &session, [&] {
        m_ft->loggedInUser().token = "t2";
        m_ft->loggedInUser().type = "2";
        m_ft->loggedInUser().is_agree = 1;
        QVERIFY(session.loginNeedsNoAgreement());
        session.completeSignIn();
    });
    QVERIFY(session.requireSignIn());
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.first().at(0).toString(), QString("提示"));
    QCOMPARE(asked.first().at(1).toString(),
             QString("字体激活、收藏、应用操作，需要登录后才可进行。"));
    QVERIFY(session.requireSignIn()); // signed in: not asked again
    QCOMPARE(asked.count(), 1);
    QCOMPARE(m_ft->requestContext.token, QString("t2"));
}

void TestAccountSession::logoutForgetsTheSession()
{
    saveAccount();
    m_server->setReply(kAgreed);
    AccountSession session(*m_ft);
    QSignalSpy finished(&session, &AccountSession::autoLoginFinished);
    QVERIFY(session.startAutoLogin());
    QVERIFY(finished.wait(kEventWaitMs));
    QVERIFY(session.isSignedIn());
    m_ft->loggedInUser().favourites.add(FontAV());
    QSignalSpy changed(&session, &AccountSession::stateChanged);
    session.signOut();
    QCOMPARE(changed.count(), 1);
    QVERIFY(!session.isSignedIn() && !m_ft->isLoggedInCurrent() && session.token().isEmpty());
    QVERIFY(!m_ft->bAutoLogin);
    QVERIFY(m_ft->loggedInUser().favourites.isEmpty());
    QCOMPARE(m_ft->loggedInUser().user, QString("13800000000"));
    QVERIFY(!session.retryAutoLogin());
}

void TestAccountSession::lateHeadImageNeverReplacesANewerChoice()
{
    QImage served(8, 8, QImage::Format_RGB32);
    served.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    served.save(&png, "PNG");
    m_server->setReply(png.data());
    QNetworkAccessManager network;
    HeadImageLoader loader(network, m_ft->headImageFile());
    for (bool choseMeanwhile : {true, false}) {
        QFile::remove(m_ft->headImageFile());
        QSignalSpy finished(&loader, &HeadImageLoader::finished);
        QVERIFY(loader.fetch(m_server->url().toString() + "head.png"));
        // Chosen and saved while the download is on its way.
        QImage mine(4, 4, QImage::Format_RGB32);
        mine.fill(Qt::blue);
        if (choseMeanwhile)
            QVERIFY(mine.save(m_ft->headImageFile()));
        QVERIFY(finished.wait(kEventWaitMs));
        QCOMPARE(finished.last().first().toBool(), !choseMeanwhile);
        QCOMPARE(QImage(m_ft->headImageFile()).width(), choseMeanwhile ? 4 : 8);
    }
}

void TestAccountSession::resetPageWithoutBrowser()
{
    QUrl asked;
    QTimer::singleShot(200, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            QVERIFY(box->textInteractionFlags() & Qt::TextSelectableByMouse);
            QVERIFY(box->text().contains("index.php/Login/forgetPwd.html"));
            box->accept();
        }
    });
    QVERIFY(!openPasswordResetPage(nullptr, [&](const QUrl &page) {
        asked = page;
        return false;
    }));
    QVERIFY(asked.isValid());
    QVERIFY(resetPageMessage(asked).endsWith(asked.toString()));
}

QTEST_MAIN(TestAccountSession)
#include "tst_accountsession.moc"
