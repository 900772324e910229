// Widget-free rules of the window and the cards: scaling, placement, edge resizing,
// card layout and scrolling.
#include "cards/cardlayout.h"
#include "service/retrybackoff.h"
#include "core/screenmetrics.h"
#include "cards/scrollrules.h"
#include "window/windowgeometry.h"

#include <QtTest>

using namespace WindowGeometry;

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void scaledForScreen_data();
    void scaledForScreen();
    void placement_data();
    void placement();
    void edgeRegions_data();
    void edgeRegions();
    void edgeDragsStopAtMinimum_data();
    void edgeDragsStopAtMinimum();
    void wheelSteps_data();
    void wheelSteps();
    void relativePositionKept();
    void retryPauseGrowsToAMinute();
};

void TestWindowRules::scaledForScreen_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("closeButton");
    QTest::addColumn<QRect>("heart");   // of a card as wide as the window's font area
    QTest::addColumn<QRect>("preview"); // of the smallest card
    QTest::addColumn<int>("previewLabel");
    QTest::newRow("768") << 768 << QSize(308, 655) << QRect(276, 9, 14, 14)
                         << QRect(267, 5, 20, 20) << QRect(6, 44, 238, 29) << 206;
    QTest::newRow("1080") << 1080 << QSize(308, 655) << QRect(276, 9, 14, 14)
                          << QRect(267, 5, 20, 20) << QRect(6, 44, 238, 29) << 206;
    QTest::newRow("2160") << 2160 << QSize(616, 1310) << QRect(552, 18, 28, 28)
                          << QRect(534, 10, 40, 40) << QRect(12, 88, 476, 58) << 413;
    // Small screens stop at the smallest legible scale.
    QTest::newRow("600") << 600 << QSize(261, 556) << QRect(234, 7, 11, 11) << QRect(226, 3, 17, 17)
                         << QRect(5, 35, 202, 27) << 192;
}

void TestWindowRules::scaledForScreen()
{
    QFETCH(int, lines);
    const double s = uiScaleFactor(lines);
    QTEST(scaledWindowSize(s, s), "window");
    QTEST(scaledChildRect(QRect(276, 9, 14, 14), s, s), "closeButton");
    const int width = int(292 * s);
    const CardLayout card = CardLayout::compute(width, int(95 * s), s, s);
    QTEST(card.heart, "heart");
    QTEST(card.preview, "preview");
    QTEST(previewLabelWidth(card.preview.height()), "previewLabel");
    // Everything of the card stays inside it.
    const QRect whole(0, 0, width, int(95 * s));
    for (const QRect &part : {card.name, card.preview, card.heart, card.progress, card.dot,
                              card.loading})
        QVERIFY2(whole.contains(part), qPrintable(QString("%1").arg(part.y())));
}

void TestWindowRules::placement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("placed");
    // 20 scaled pixels from the right edge, centred vertically.
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768)
                              << QSize(308, 655) << QRect(1038, 56, 308, 655);
    QTest::newRow("1024x600") << QRect(0, 0, 1024, 600) << QRect(0, 0, 1024, 600)
                              << scaledWindowSize(uiScaleFactor(600), uiScaleFactor(600))
                              << QRect(746, 22, 261, 556);
    // Panels take more than the centring leaves: the window moves into what is left.
    QTest::newRow("panel") << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 700)
                           << QSize(308, 655) << QRect(1038, 45, 308, 655);
    // Smaller than the window: it shrinks into the usable area.
    QTest::newRow("701 lines, panels") << QRect(0, 0, 1280, 701) << QRect(0, 30, 1280, 640)
                                       << QSize(308, 655) << QRect(952, 30, 308, 640);
    QTest::newRow("second screen") << QRect(1920, 0, 1024, 600) << QRect(1920, 0, 1024, 600)
                                   << QSize(171, 363) << QRect(2756, 118, 171, 363);
}

void TestWindowRules::placement()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, available);
    QFETCH(QSize, size);
    const QRect placed = placeWindow(screen, available, size, uiScaleFactor(screen.height()));
    QTEST(placed, "placed");
    QVERIFY(available.contains(placed));
}

void TestWindowRules::edgeRegions_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("region");
    QTest::addColumn<int>("cursor");
    // Window from (100, 100) to (407, 754).
    QTest::newRow("top") << QPoint(200, 100) << int(EdgeTop) << int(Qt::SizeVerCursor);
    QTest::newRow("bottom band inner") << QPoint(200, 750) << int(EdgeBottom)
                                       << int(Qt::SizeVerCursor);
    QTest::newRow("left") << QPoint(104, 300) << int(EdgeLeft) << int(Qt::SizeHorCursor);
    QTest::newRow("right") << QPoint(407, 300) << int(EdgeRight) << int(Qt::SizeHorCursor);
    QTest::newRow("top-left") << QPoint(101, 102) << int(EdgeTopLeft) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom-left") << QPoint(100, 754) << int(EdgeBottomLeft)
                                 << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-right") << QPoint(406, 753) << int(EdgeBottomRight)
                                  << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right") << QPoint(403, 104) << int(EdgeTopRight)
                               << int(Qt::SizeBDiagCursor);
    QTest::newRow("just inside the band") << QPoint(105, 105) << int(EdgeInside)
                                          << int(Qt::ArrowCursor);
    QTest::newRow("outside") << QPoint(50, 300) << int(EdgeInside) << int(Qt::ArrowCursor);
}

void TestWindowRules::edgeRegions()
{
    QFETCH(QPoint, at);
    const EdgeRegion region = edgeRegion(QRect(100, 100, 308, 655), at);
    QTEST(int(region), "region");
    QTEST(int(edgeCursor(region)), "cursor");
}

void TestWindowRules::edgeDragsStopAtMinimum_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("result");
    // Window (100, 100) 400 x 700, minimum 308 x 655.
    QTest::newRow("left, wider") << int(EdgeLeft) << QPoint(50, 0) << QRect(50, 100, 450, 700);
    QTest::newRow("left, past the minimum")
        << int(EdgeLeft) << QPoint(300, 0) << QRect(192, 100, 308, 700);
    QTest::newRow("bottom-left corner, past the minimum")
        << int(EdgeBottomLeft) << QPoint(300, 900) << QRect(192, 100, 308, 800);
    QTest::newRow("top-left corner, past both")
        << int(EdgeTopLeft) << QPoint(450, 790) << QRect(192, 145, 308, 655);
    QTest::newRow("right, past the minimum")
        << int(EdgeRight) << QPoint(120, 300) << QRect(100, 100, 308, 700);
    QTest::newRow("top-right, larger") << int(EdgeTopRight) << QPoint(601, 50)
                                       << QRect(100, 50, 501, 750);
    QTest::newRow("bottom, smaller") << int(EdgeBottom) << QPoint(0, 781)
                                     << QRect(100, 100, 400, 681);
}

void TestWindowRules::edgeDragsStopAtMinimum()
{
    QFETCH(int, region);
    QFETCH(QPoint, to);
    QTEST(edgeResize(QRect(100, 100, 400, 700), EdgeRegion(region), to, QSize(308, 655)),
          "result");
}

void TestWindowRules::wheelSteps_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QPoint>("pixels");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<int>("expected");
    QTest::newRow("notch down") << 100 << QPoint() << QPoint(0, -120) << 120;
    QTest::newRow("two notches up") << 100 << QPoint() << QPoint(0, 240) << 60;
    QTest::newRow("half notch") << 100 << QPoint() << QPoint(0, -60) << 100;
    QTest::newRow("touchpad quarter") << 100 << QPoint(0, -40) << QPoint(0, -120) << 110;
    QTest::newRow("not above the top") << 10 << QPoint() << QPoint(0, 120) << 0;
    QTest::newRow("stops before the maximum") << 990 << QPoint() << QPoint(0, -240) << 999;
    QTest::newRow("nothing") << 500 << QPoint() << QPoint() << 500;
}

void TestWindowRules::wheelSteps()
{
    QFETCH(int, current);
    QFETCH(QPoint, pixels);
    QFETCH(QPoint, angle);
    QTEST(ScrollRules::wheelTarget(current, 1000, pixels, angle), "expected");
}

void TestWindowRules::relativePositionKept()
{
    // Halfway stays halfway; from no range the first row is kept.
    QCOMPARE(ScrollRules::keepRelative(500, 1000, 3000, 5, 120), 1500);
    QCOMPARE(ScrollRules::keepRelative(0, 0, 3000, 5, 120), 600);
    QCOMPARE(ScrollRules::keepRelative(900, 1000, 0, 9, 120), 0);
    // Large catalogues do not overflow.
    QCOMPARE(ScrollRules::keepRelative(800000, 800000, 1300000, 0, 162), 1300000);
}

void TestWindowRules::retryPauseGrowsToAMinute()
{
    RetryBackoff backoff(2000, 60000);
    QList<int> pauses;
    for (int i = 0; i < 8; ++i)
        pauses << backoff.nextDelayMs();
    QCOMPARE(pauses, QList<int>({2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
    backoff.reset();
    QCOMPARE(backoff.nextDelayMs(), 2000);
}

QTEST_MAIN(TestWindowRules)
#include "tst_windowrules.moc"
