// The login dialog's rules, and login, registration and agreement against the
// development service.
#include "devserverprocess.h"
#include "fonts/ftmanager.h"
#include "account/accountsession.h"
#include "buildconfig.h"
#include "account/logdlg.h"
#include "account/loginlogic.h"
#include "testenv.h"
#include "testnet.h"
#include "core/tlstrust.h"
#include "service/transport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

#include <memory>

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void checks_data();
    void checks();
    void registrationReportsFirstProblemOnly_data();
    void registrationReportsFirstProblemOnly();
    void loginClicksArePaced();
    void agreementAnswers();
    void registrationRecordsTheAgreement();
    void forgotPasswordPageOnTheWebSite();
    void wrongPasswordStaysSignedOut();
    void unreachableServiceSaysNetworkError();
    void dialogPrefillAndTicks();
    void dialogClosesOnLogin();

private:
    bool waitReply(LoginLogic &logic);
    QString signUp(const QString &phone, const QString &password);

    std::unique_ptr<TestEnv> m_env;
    QTemporaryDir m_data;
    DevServerProcess m_server;
    QUrl m_url;
};

void TestLogin::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    QVERIFY2(m_server.start(m_data.filePath("state"), {"--fault", "tag=118:errcode=7,times=2", "--fault", "tag=118:empty,times=1"}),
             qPrintable(m_server.errorString()));
    QCOMPARE(addTrustedCertificateAuthorities(m_server.caFile()), 1);
    m_url = m_server.url();
    setServiceUrl(m_url);
}

void TestLogin::cleanupTestCase()
{
    QVERIFY(m_server.stop());
    m_env.reset();
}

bool TestLogin::waitReply(LoginLogic &logic)
{
    QSignalSpy handled(&logic, &LoginLogic::replyHandled);
    return handled.wait(kEventWaitMs);
}

void TestLogin::checks_data()
{
    QTest::addColumn<int>("kind"); // 0 phone, 1 code, 2 password
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("problem");
    QTest::newRow("phone ok") << 0 << "13800138000"
                              << "";
    QTest::newRow("phone empty") << 0 << ""
                                 << "手机号不能为空！";
    QTest::newRow("phone ten digits") << 0 << "1380013800"
                                      << "手机号错误！";
    QTest::newRow("phone with letter") << 0 << "1380013800a"
                                       << "手机号错误！";
    QTest::newRow("phone full-width digit") << 0 << "1380013800１"
                                            << "手机号错误！";
    QTest::newRow("code ok") << 1 << "0123"
                             << "";
    QTest::newRow("code empty") << 1 << ""
                                << "验证码不能为空！";
    QTest::newRow("code three digits") << 1 << "123"
                                       << "验证码错误！";
    QTest::newRow("code with letter") << 1 << "12a4"
                                      << "验证码错误！";
    QTest::newRow("password empty") << 2 << ""
                                    << "密码不能为空！";
    QTest::newRow("password 5") << 2 << "12345"
                                << "密码长度应大于6";
    QTest::newRow("password 6") << 2 << "123456"
                                << "";
    QTest::newRow("password 20") << 2 << QString(20, 'x') << "";
    QTest::newRow("password 21") << 2 << QString(21, 'x') << "密码长度应小于20";
}

void TestLogin::checks()
{
    QFETCH(int, kind);
    QFETCH(QString, input);
    QFETCH(QString, problem);
    const QString got = kind == 0   ? LoginLogic::phoneProblem(input)
                        : kind == 1 ? LoginLogic::codeProblem(input)
                                    : LoginLogic::passwordProblem(input);
    QCOMPARE(got, problem);
}

void TestLogin::registrationReportsFirstProblemOnly_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<QString>("message");
    QTest::newRow("all wrong") << "12"
                               << ""
                               << "" << false << "手机号错误！";
    QTest::newRow("code then") << "13800138000"
                               << "abc"
                               << "" << false << "验证码错误！";
    QTest::newRow("password then") << "13800138000"
                                   << "1234"
                                   << "123" << false << "密码长度应大于6";
    QTest::newRow("agreement last") << "13800138000"
                                    << "1234"
                                    << "123456" << false << "您需同意协议，才能完成注册";
}

void TestLogin::registrationReportsFirstProblemOnly()
{
    QFETCH(QString, phone);
    QFETCH(QString, code);
    QFETCH(QString, password);
    QFETCH(bool, agreed);
    QFETCH(QString, message);
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    QSignalSpy messages(&logic, &LoginLogic::message);
    QVERIFY(!logic.registerAccount(phone, code, password, agreed));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), message);
    QVERIFY(!logic.isWaiting());
}

void TestLogin::loginClicksArePaced()
{
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    QSignalSpy messages(&logic, &LoginLogic::message);
    QElapsedTimer pause;
    pause.start();
    QVERIFY(!logic.login("", "pw", true, false));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), QString("手机号或用户名不能为空！"));
    QVERIFY(ft.bSavePass);
    // A second click inside the pause does nothing at all.
    QVERIFY(!logic.login("user", "", false, false));
    QCOMPARE(messages.count(), 1);
    QVERIFY(ft.bSavePass);
    // A stalled machine may end the pause late, never early (coarse timers: 5%).
    QTRY_VERIFY_WITH_TIMEOUT(logic.loginReady(), LoginLogic::kLoginPauseMs + kEventWaitMs);
    QVERIFY2(pause.elapsed() >= LoginLogic::kLoginPauseMs * 95 / 100,
             qPrintable(QString::number(pause.elapsed())));
    QVERIFY(!logic.login("user", "", false, false));
    QCOMPARE(messages.last().at(0).toString(), QString("密码不能为空！"));
}

QString TestLogin::signUp(const QString &phone, const QString &password)
{
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    if (!logic.requestCode(phone) || !waitReply(logic))
        return "no code sent";
    const QString code = m_server.waitForCode(phone);
    QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
    if (!logic.registerAccount(phone, code, password, true) || !signedIn.wait(kEventWaitMs))
        return "no registration";
    return ft.bLogin ? QString() : "not signed in";
}

void TestLogin::agreementAnswers()
{
    // The service refuses the first two agreement requests and leaves the third unanswered:
    // the first is the registration's, so this account has not agreed yet.
    const QString phone = "13900000004";
    QCOMPARE(signUp(phone, "secret123"), QString());
    FtManager ft;
    ft.initialize();
    // Declined, refused, unanswered: the login is undone (no token, guest record).
    for (const char *answer : {"declined", "refused", "empty", "accepted"}) {
        const bool declined = answer == QLatin1String("declined");
        const bool accepted = answer == QLatin1String("accepted");
        AccountSession session(ft);
        LoginLogic logic(session);
        QSignalSpy messages(&logic, &LoginLogic::message);
        QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
        QSignalSpy asked(&logic, &LoginLogic::agreementNeeded);
        connect(&logic, &LoginLogic::agreementNeeded, &logic,
                [&logic, declined] { logic.answerAgreement(!declined); });
        QSignalSpy handled(&logic, &LoginLogic::replyHandled);
        QVERIFY(logic.login(phone, "secret123", true, true));
        // Login, then the agreement unless declined.
        QTRY_COMPARE_WITH_TIMEOUT(handled.count(), declined ? 1 : 2, kEventWaitMs);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(signedIn.count(), accepted ? 1 : 0);
        QCOMPARE(ft.bLogin, accepted);
        QCOMPARE(ft.isLoggedInCurrent(), accepted);
        QCOMPARE(ft.requestContext.token.isEmpty(), !accepted);
        QCOMPARE(messages.count(), accepted || declined ? 0 : 1);
        QVERIFY(ft.bSavePass && ft.bAutoLogin);
    }
    QCOMPARE(ft.loggedInUser().is_agree, 1);
}

void TestLogin::registrationRecordsTheAgreement()
{
    const QString phone = "13900000001";
    {
        FtManager ft;
        ft.initialize();
        AccountSession session(ft);
        LoginLogic logic(session);
        QSignalSpy messages(&logic, &LoginLogic::message);
        QSignalSpy buttonText(&logic, &LoginLogic::codeButtonTextChanged);
        QVERIFY(logic.requestCode(phone));
        QVERIFY(waitReply(logic));
        QCOMPARE(messages.last().at(0).toString(), QString("验证码已发送，请注意查收"));
        QCOMPARE(buttonText.first().at(0).toString(), QString("60 s"));
        QCOMPARE(logic.countdown(), 60);
        // Asking again during the countdown sends nothing.
        QVERIFY(!logic.requestCode(phone));
        QVERIFY(!logic.isWaiting());
        QVERIFY(messages.last().at(0).toString().endsWith("s后才能再次请求"));

        const QString code = m_server.waitForCode(phone);
        QCOMPARE(code.size(), 4);
        QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
        QVERIFY(logic.registerAccount(phone, code, "secret123", true));
        QVERIFY(signedIn.wait(kEventWaitMs));
        QCOMPARE(messages.last().at(0).toString(), QString("注册成功，已进入登录状态。"));
        QVERIFY(ft.bLogin);
        QVERIFY(ft.isLoggedInCurrent());
        QCOMPARE(ft.loggedInUser().user, phone);
        QCOMPARE(ft.loggedInUser().pass, QString("secret123"));
        QVERIFY(!ft.requestContext.token.isEmpty());
    }
    // Agreed when registering: the first login is not asked again.
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    QSignalSpy agreement(&logic, &LoginLogic::agreementNeeded);
    QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
    QVERIFY(logic.login(phone, "secret123", false, false));
    QVERIFY(waitReply(logic));
    QCOMPARE(agreement.count(), 0);
    QCOMPARE(signedIn.count(), 1);
}

void TestLogin::forgotPasswordPageOnTheWebSite()
{
    // Without a site set at run time: the build's, whatever address the service has.
    setServiceUrl(QUrl("https://fonts.example/"));
    const QUrl built = LoginLogic::forgotPasswordUrl();
    setServiceUrl(m_url);
    QCOMPARE(built, QUrl(QUILLORA_WEB_URL "index.php/Login/forgetPwd.html"));

    LoginLogic::setWebSiteUrl(m_server.webUrl());
    const QUrl page = LoginLogic::forgotPasswordUrl();
    LoginLogic::setWebSiteUrl(QUrl());
    QCOMPARE(page, m_server.webUrl().resolved(QUrl("index.php/Login/forgetPwd.html")));
}

void TestLogin::wrongPasswordStaysSignedOut()
{
    QCOMPARE(signUp("13900000002", "right-pass"), QString());
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    QSignalSpy messages(&logic, &LoginLogic::message);
    QSignalSpy signedIn(&logic, &LoginLogic::signedIn);
    QVERIFY(logic.login("13900000002", "wrong-pass", false, false));
    QVERIFY(waitReply(logic));
    QCOMPARE(signedIn.count(), 0);
    QVERIFY(!ft.bLogin);
    QCOMPARE(messages.count(), 1);
    const QString text = messages.at(0).at(0).toString();
    QVERIFY(!text.isEmpty());
    QVERIFY(text != "网络异常");
}

void TestLogin::unreachableServiceSaysNetworkError()
{
    const ClosedPort closed;
    QVERIFY(closed.isValid());
    setServiceUrl(QUrl(QString("https://127.0.0.1:%1/").arg(closed.port())));
    FtManager ft;
    ft.initialize();
    AccountSession session(ft);
    LoginLogic logic(session);
    QSignalSpy messages(&logic, &LoginLogic::message);
    QVERIFY(logic.login("someone", "secret", false, false));
    const bool replied = waitReply(logic);
    setServiceUrl(m_url);
    QVERIFY(replied);
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), QString("网络异常"));
    QFile log(ft.messagesDir() + "FontMsg.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll()).contains("login failed,back empty."));
}

void TestLogin::dialogPrefillAndTicks()
{
    FtManager ft;
    ft.initialize();
    ft.loggedInUser().user = "13900000009";
    ft.loggedInUser().pass = "kept-pass";
    for (bool savePass : {false, true}) {
        ft.bSavePass = savePass;
        ft.bAutoLogin = false;
        AccountSession session(ft);
        LogDlg dialog(session);
        QCOMPARE(dialog.accountEdit()->text(), QString("13900000009"));
        QCOMPARE(dialog.passwordEdit()->text(), savePass ? QString("kept-pass") : QString());
        QCOMPARE(dialog.rememberBox()->isChecked(), savePass);
        QCOMPARE(dialog.currentPage(), 0);
        QCOMPARE(dialog.passwordEdit()->echoMode(), QLineEdit::Password);

        dialog.autoBox()->setChecked(true);
        QVERIFY(dialog.rememberBox()->isChecked());
        dialog.rememberBox()->setChecked(false);
        QVERIFY(!dialog.autoBox()->isChecked());
    }
}

void TestLogin::dialogClosesOnLogin()
{
    // The account of registrationRecordsTheAgreement has accepted the agreement.
    FtManager ft;
    ft.initialize();
    ft.loggedInUser().user = "13900000001";
    AccountSession session(ft);
    LogDlg dialog(session);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.passwordEdit()->setText("secret123");
    dialog.autoBox()->setChecked(true);
    dialog.onOpenReg(); // Return logs in from the registration page too
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), kEventWaitMs);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(ft.bLogin && ft.bSavePass && ft.bAutoLogin);

    // A refused login keeps the dialog open with the service's message.
    LogDlg again(session);
    again.show();
    again.passwordEdit()->setText("not-the-password");
    again.onlogin();
    QTRY_VERIFY_WITH_TIMEOUT(!again.lastMessage().isEmpty(), kEventWaitMs);
    QVERIFY(again.isVisible());
    QVERIFY(!ft.bLogin);
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
