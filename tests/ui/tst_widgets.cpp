// The small widgets: toast sizes, times and restarts, the press-time label, the notices'
// links and layout, the first-run guide, and where the login dialog lands.
#include "account/accountsession.h"
#include "account/agreedlg.h"
#include "account/logdlg.h"
#include "account/userdlg.h"
#include "account/usereditdlg.h"
#include "account/warnlog.h"
#include "account/warnnolove.h"
#include "core/screenmetrics.h"
#include "finding/filterdlg.h"
#include "finding/warnsearch.h"
#include "fonts/ftmanager.h"
#include "testenv.h"
#include "update/feedbackdlg.h"
#include "update/updateoffer.h"
#include "update/versioncheckdlg.h"
#include "update/versiondlg.h"
#include "widgets/btlabel.h"
#include "widgets/framelessdlg.h"
#include "widgets/frameshadow.h"
#include "widgets/mymsgbox.h"
#include "widgets/warnservice.h"
#include "window/guideform.h"
#include "window/officeconsentdlg.h"

#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {

// Counts the presses that reach it from its children.
class PressSink : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

struct ScaleGuard
{
    explicit ScaleGuard(double s) { uiScaleX = uiScaleY = s; }
    ~ScaleGuard() { uiScaleX = uiScaleY = 1.0; }
};

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void toastSize_data();
    void toastSize();
    void toastDuration_data();
    void toastDuration();
    void toastShownDuringShrinkStays();
    void btLabelClicksOnPress();
    void noticeLinks_data();
    void noticeLinks();
    void guidePagesAndClose();
    void frameShadowMadeOncePerSize();
    void fitInside_data();
    void fitInside();
    void loginDialogStaysOnScreen();
    void closePathsOfEveryDialog_data();
    void closePathsOfEveryDialog();
    void filterReopenedWhileSlidingAway();
};

void TestWidgets::toastSize_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size"); // an empty size: wrapped, see below
    QTest::newRow("empty") << 1.0 << "" << QSize(120, 60);
    QTest::newRow("empty at 2") << 2.0 << "" << QSize(240, 120);
    QTest::newRow("five characters") << 1.0 << "您尚未登录" << QSize(100, 60);
    QTest::newRow("small screen keeps full size") << 0.5 << "您尚未登录" << QSize(100, 60);
    QTest::newRow("at 1.5") << 1.5 << "您尚未登录" << QSize(150, 90);
    QTest::newRow("long text wraps") << 1.0 << QString(40, QChar(0x5b57)) << QSize();
}

void TestWidgets::toastSize()
{
    QFETCH(double, scale);
    QFETCH(QString, text);
    QFETCH(QSize, size);
    ScaleGuard guard(scale);
    QWidget parent;
    parent.resize(300, 600);
    MyMsgBox box(&parent);
    box.showMessage(text, 3000);
    QTest::qWait(MyMsgBox::kGrowMs + 100);
    if (size.isValid()) {
        QCOMPARE(box.size(), size);
    } else {
        QCOMPARE(box.width(), 280); // the parent less 10 on each side
        QVERIFY2(box.height() >= 3 * box.fontMetrics().height(), "three lines or more");
    }
    QCOMPARE(box.geometry().center(), parent.rect().center());
}

void TestWidgets::toastDuration_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("kept");
    QTest::newRow("0") << 0 << 5000;
    QTest::newRow("99") << 99 << 5000;
    QTest::newRow("100") << 100 << 100;
    QTest::newRow("2000") << 2000 << 2000;
}

void TestWidgets::toastDuration()
{
    QFETCH(int, asked);
    QFETCH(int, kept);
    QWidget parent;
    MyMsgBox box(&parent);
    box.showMessage("x", asked);
    QCOMPARE(box.durationMs(), kept);
    QVERIFY(box.isVisibleTo(&parent));
}

void TestWidgets::toastShownDuringShrinkStays()
{
    QWidget parent;
    parent.resize(300, 600);
    parent.show();
    MyMsgBox box(&parent);
    box.showMessage("旧消息", 100);
    QTRY_VERIFY_WITH_TIMEOUT(box.isShrinking(), 2000);
    box.showMessage("您尚未登录", 5000);
    QTest::qWait(MyMsgBox::kShrinkMs + MyMsgBox::kGrowMs + 100);
    QVERIFY(box.isVisible());
    QCOMPARE(box.text(), QString("您尚未登录"));
    QCOMPARE(box.size(), QSize(100, 60));
    // Unless a new message comes, the box does go away.
    box.showMessage("x", 100);
    QTRY_VERIFY_WITH_TIMEOUT(!box.isVisible(), 2000);
}

void TestWidgets::btLabelClicksOnPress()
{
    PressSink parent;
    auto *label = new BtLabel("重置", &parent);
    label->resize(50, 20);
    QSignalSpy clicked(label, &BtLabel::clicked);
    QTest::mousePress(label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(parent.presses, 1); // handed on after the signal
    QTest::mouseRelease(label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
}

void TestWidgets::noticeLinks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("not signed in") << 0 << "登录" << QByteArray(SIGNAL(loginClicked()));
    QTest::newRow("no favourites") << 1 << "云字库" << QByteArray(SIGNAL(cloudClicked()));
    QTest::newRow("no result") << 2 << "" << QByteArray();
    QTest::newRow("service down") << 3 << "重试" << QByteArray(SIGNAL(retryClicked()));
}

void TestWidgets::noticeLinks()
{
    QFETCH(int, kind);
    QFETCH(QString, link);
    QFETCH(QByteArray, signal);
    std::unique_ptr<QWidget> page;
    switch (kind) {
    case 0: page = std::make_unique<WarnLog>(); break;
    case 1: page = std::make_unique<WarnNolove>(); break;
    case 2: page = std::make_unique<WarnSearch>(); break;
    default: page = std::make_unique<WarnService>(); break;
    }
    const QList<BtLabel *> links = page->findChildren<BtLabel *>();
    QCOMPARE(links.size(), link.isEmpty() ? 0 : 1);
    for (const QSize &size : {QSize(300, 500), QSize(500, 900)}) {
        page->resize(size);
        page->show();
        auto *picture = page->findChild<QLabel *>("picture");
        QCOMPARE(picture->geometry().center().x(), size.width() / 2 - 1);
        // Every part of the text sits below the picture, each line centred as a whole.
        QRect text;
        for (QLabel *part : page->findChildren<QLabel *>())
            if (part != picture) {
                QVERIFY(part->y() >= picture->geometry().bottom());
                text |= part->geometry();
            }
        QVERIFY(qAbs(text.center().x() - size.width() / 2) <= 1);
    }
    if (link.isEmpty())
        return;
    QCOMPARE(links.first()->text(), link);
    QSignalSpy spy(page.get(), signal.constData());
    QTest::mousePress(links.first(), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

void TestWidgets::guidePagesAndClose()
{
    PressSink window;
    window.resize(300, 647);
    auto *guide = new GuideForm(&window);
    guide->setGeometry(0, 0, 300, 647);
    window.show();
    QSignalSpy closed(guide, &GuideForm::closeForm);

    // A press that is not on the "iknow" picture goes on to the window, which drags.
    QTest::mousePress(guide->findChild<QLabel *>("lbl_cloud_say"), Qt::LeftButton);
    QCOMPARE(window.presses, 1);
    QCOMPARE(guide->currentPage(), 0);

    // Pictures follow the height.
    auto *label = guide->findChild<QLabel *>("label_9");
    const QRect drawn = label->geometry();
    guide->resize(600, 2 * GuideForm::kDesignHeight);
    QCOMPARE(label->geometry(), QRect(drawn.topLeft() * 2, drawn.size() * 2));
    QCOMPARE(label->styleSheet(), QString("border-image:url(:/guide/guide/fontset.png);"));

    const char *const iknow[] = {"lbl_isee", "lbl_isee_2", "lbl_isee_3"};
    for (int page = 0; page < 3; ++page) {
        QCOMPARE(guide->currentPage(), page);
        QCOMPARE(closed.count(), 0);
        QTest::mousePress(guide->findChild<QLabel *>(iknow[page]), Qt::LeftButton);
    }
    QCOMPARE(closed.count(), 1);
    QVERIFY(!guide->isVisible());

}

void TestWidgets::frameShadowMadeOncePerSize()
{
    QWidget window;
    window.resize(120, 80);
    auto *frame = new QWidget(&window);
    frame->setGeometry(10, 10, 100, 60);
    auto *shadow = new FrameShadow(frame, 10, Qt::gray, 4);
    const QImage picture = shadow->picture();
    QCOMPARE(picture.size(), QSize(120, 80));
    const auto alpha = [&](int x, int y) { return qAlpha(picture.pixel(x, y)); };
    // Darkest at the frame's edge, fading outwards; the frame's shape on top.
    QVERIFY(alpha(60, 8) > alpha(60, 3));
    QVERIFY(alpha(60, 3) > alpha(60, 0));
    QCOMPARE(picture.pixel(60, 40), qRgb(255, 255, 255));
    QCOMPARE(shadow->picture().cacheKey(), picture.cacheKey());
    frame->resize(50, 30);
    QCOMPARE(shadow->picture().size(), QSize(70, 50));

    // The window paints it beneath the frame.
    frame->resize(100, 60);
    const QImage drawn = window.grab().toImage();
    QVERIFY(qGray(drawn.pixel(60, 9)) < qGray(drawn.pixel(60, 0)));
}

void TestWidgets::fitInside_data()
{
    QTest::addColumn<QRect>("wanted");
    QTest::addColumn<QRect>("placed");
    const QRect area(0, 0, 1920, 1040);
    QTest::newRow("inside stays") << QRect(100, 100, 300, 400) << QRect(100, 100, 300, 400);
    QTest::newRow("past right") << QRect(1800, 100, 300, 400) << QRect(1620, 100, 300, 400);
    QTest::newRow("past bottom") << QRect(100, 900, 300, 400) << QRect(100, 640, 300, 400);
    QTest::newRow("past top left") << QRect(-50, -20, 300, 400) << QRect(0, 0, 300, 400);
    QTest::newRow("too wide") << QRect(10, 0, 2000, 400) << QRect(0, 0, 2000, 400);
}

void TestWidgets::fitInside()
{
    QFETCH(QRect, wanted);
    QFETCH(QRect, placed);
    QCOMPARE(FramelessDlg::fitInside(wanted, QRect(0, 0, 1920, 1040)), placed);
}

void TestWidgets::loginDialogStaysOnScreen()
{
    TestEnv env;
    FtManager ft;
    ft.initialize();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // The main window stands at the right edge; its user button is near its left.
    const QRect window(area.right() - 328, area.top() + 20, 308, 560);
    AccountSession session(ft);
    LogDlg dialog(session);
    const QPoint anchor = window.topLeft() + QPoint(39, 13);
    dialog.setAnchor(anchor);
    dialog.centreOver(window);
    dialog.show();
    QVERIFY(dialog.isAnimating());
    QVERIFY(dialog.width() < 100); // growing out of the anchor
    QTRY_VERIFY(!dialog.isAnimating());
    QVERIFY2(area.contains(dialog.geometry()), "inside the available area");
    QVERIFY(dialog.width() > 300);

    dialog.onCloseForm();
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestWidgets::closePathsOfEveryDialog_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("path");
    for (const char *dialog : {"LogDlg", "UserDlg", "UserEditDlg", "AgreeDlg", "VersionDlg",
                               "VersionCheckDlg", "FeedbackDlg", "OfficeConsentDlg"})
        for (const char *path : {"button", "Escape", "window manager"})
            QTest::addRow("%s, %s", dialog, path) << dialog << path;
}

void TestWidgets::closePathsOfEveryDialog()
{
    QFETCH(QString, dialog);
    QFETCH(QString, path);
    TestEnv env;
    FtManager ft;
    ft.initialize();
    UpdateOffer offer(ft, env.path("quillora"));
    UserRecord user;
    std::unique_ptr<FramelessDlg> made;
    AccountSession session(ft);
    if (dialog == "LogDlg")
        made = std::make_unique<LogDlg>(session);
    else if (dialog == "UserDlg")
        made = std::make_unique<UserDlg>(user, env.path("head.png"), UserDlg::Counts());
    else if (dialog == "UserEditDlg")
        made = std::make_unique<UserEditDlg>(env.path("head.png"));
    else if (dialog == "AgreeDlg")
        made = std::make_unique<AgreeDlg>();
    else if (dialog == "VersionDlg")
        made = std::make_unique<VersionDlg>(offer);
    else if (dialog == "VersionCheckDlg")
        made = std::make_unique<VersionCheckDlg>(offer);
    else if (dialog == "FeedbackDlg")
        made = std::make_unique<FeedbackDlg>();
    else
        made = std::make_unique<OfficeConsentDlg>();
    FramelessDlg &dlg = *made;
    dlg.setAnchor(QPoint(40, 40));
    QSignalSpy finished(&dlg, &QDialog::finished);

    // Every way out goes the dialog's own way (shrinking or fading), and once only, and
    // the dialog comes back whole when shown again.
    for (int round = 1; round <= 2; ++round) {
        dlg.show();
        QTRY_VERIFY(!dlg.isAnimating() && dlg.windowOpacity() == 1.0);
        const QSize full = dlg.size();
        if (path == "button")
            dlg.closeButton()->click();
        else if (path == "Escape")
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        QVERIFY(dlg.isVisible()); // going, not gone
        dlg.reject();             // a second request while going changes nothing
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(finished.count(), round);
        QCOMPARE(finished.last().at(0).toInt(), int(QDialog::Rejected));
        QCOMPARE(dlg.size(), full);
        QCOMPARE(dlg.windowOpacity(), 1.0);
    }
}

void TestWidgets::filterReopenedWhileSlidingAway()
{
    FilterDlg panel;
    const QRect area(600, 100, 300, 500);
    panel.popUp(area);
    const QRect open = panel.geometry();
    panel.onHideForm();
    QTest::qWait(FilterDlg::kSlideMs / 3);
    QVERIFY(panel.geometry().left() > open.left()); // on its way out
    panel.popUp(area);
    QTest::qWait(FilterDlg::kSlideMs);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.geometry(), open);
    // Closed again, it goes.
    panel.onHideForm();
    QTRY_VERIFY(!panel.isVisible());
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
