// What a card shows and how marks, busy state and progress find their cards.
#include "cards/cardactions.h"
#include "cards/cardmodel.h"
#include "cards/cardview.h"

#include "fonts/ftmanager.h"
#include "testenv.h"

#include <QImage>
#include <QScrollBar>
#include <QtTest>

#include <ctime>

namespace {

QVector<CardEntry> cards(const QStringList &names, bool textMode = false)
{
    QVector<CardEntry> out;
    for (const QString &n : names) {
        CardEntry e;
        e.name = n;
        e.textMode = textMode;
        out.append(e);
    }
    return out;
}

QVariant role(const CardModel &m, int row, int r)
{
    return m.data(m.index(row), r);
}

} // namespace

class TestCardModel : public QObject
{
    Q_OBJECT

private slots:
    void placeholdersLeftOut();
    void marksOfPictureCards_data();
    void marksOfPictureCards();
    void textModeHidesMarks();
    void firstCardOfANameGetsTheMark();
    void progressRange_data();
    void progressRange();
    void busyCoversEveryCardAndEndsProgress();
    void pictureAskedOnceUntilItArrives();
    void viewEmitsPickedName();
    void heartAndDot_data();
    void heartAndDot();
    void wheelScrollsOwnBar();
    void manyFontsStayCheap();
    void menuOfACard_data();
    void menuOfACard();
    void menuRequests();
};

void TestCardModel::placeholdersLeftOut()
{
    CardModel m;
    m.setEntries(cards({"", "A", "", "B"}));
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.nameAt(0), QString("A"));
    QCOMPARE(m.nameAt(1), QString("B"));
    QCOMPARE(m.firstRow("B"), 1);
    QCOMPARE(m.firstRow("C"), -1);
    QCOMPARE(m.nameAt(5), QString());
    QVERIFY(!role(m, 7, CardModel::NameRole).isValid());
}

void TestCardModel::marksOfPictureCards_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("loved");
    QTest::newRow("activated favourite") << "宋体A" << true << true;
    QTest::newRow("activated only") << "Avail" << true << false;
    QTest::newRow("favourite only") << "Loved" << false << true;
    QTest::newRow("neither") << "Plain" << false << false;
}

void TestCardModel::marksOfPictureCards()
{
    QFETCH(QString, name);
    QFETCH(bool, available);
    QFETCH(bool, loved);
    const QSet<QString> avail{"宋体A", "Avail"}, love{"宋体A", "Loved"};
    CardModel m;
    m.setEntries(CardModel::pictureCards(
        {"x", name}, [&](const QString &n) { return avail.contains(n); },
        [&](const QString &n) { return love.contains(n); }));
    QCOMPARE(role(m, 1, CardModel::AvailableRole).toBool(), available);
    QCOMPARE(role(m, 1, CardModel::LovedRole).toBool(), loved);
    QCOMPARE(role(m, 1, CardModel::TextModeRole).toBool(), false);

    // Re-reading flips them all when the tests change (a logout).
    m.refreshAvailable([](const QString &) { return false; });
    m.refreshLoved({});
    QCOMPARE(role(m, 1, CardModel::AvailableRole).toBool(), false);
    QCOMPARE(role(m, 1, CardModel::LovedRole).toBool(), false);
}

void TestCardModel::textModeHidesMarks()
{
    CardModel m([](const QString &n) { return "/nonexistent/" + n; });
    QVector<CardEntry> in = cards({"Installed"}, true);
    in[0].available = true;
    in[0].loved = true;
    m.setEntries(in);
    QSignalSpy asked(&m, &CardModel::previewNeeded);
    QCOMPARE(role(m, 0, CardModel::AvailableRole).toBool(), false);
    QCOMPARE(role(m, 0, CardModel::LovedRole).toBool(), false);
    QVERIFY(!m.setAvailable("Installed", true));
    QVERIFY(!m.setLoved("Installed", true));
    QCOMPARE(role(m, 0, CardModel::ImagePathRole).toString(), QString());
    QCOMPARE(asked.count(), 0); // installed fonts are drawn, never fetched
}

void TestCardModel::firstCardOfANameGetsTheMark()
{
    // The local page: an installed file first (text mode), then the activated copy.
    CardModel m;
    QVector<CardEntry> in = cards({"Dup"}, true) + cards({"Dup", "Dup"});
    m.setEntries(in);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QVERIFY(m.setAvailable("Dup", true));
    QCOMPARE(role(m, 0, CardModel::AvailableRole).toBool(), false);
    QCOMPARE(role(m, 1, CardModel::AvailableRole).toBool(), true);
    QCOMPARE(role(m, 2, CardModel::AvailableRole).toBool(), false);
    QCOMPARE(changed.count(), 1);
    QVERIFY(m.setAvailable("Dup", true));
    QCOMPARE(changed.count(), 1); // no change, no repaint
    QVERIFY(!m.setAvailable("Missing", true));
    QVERIFY(!m.setAvailableAt(9, true));
    QVERIFY(m.setAvailableAt(2, true));
    QCOMPARE(role(m, 2, CardModel::AvailableRole).toBool(), true);
}

void TestCardModel::progressRange_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("shown");
    QTest::newRow("0") << 0 << true << 0;
    QTest::newRow("55") << 55 << true << 55;
    QTest::newRow("100") << 100 << true << 100;
    QTest::newRow("101") << 101 << false << 30;
    QTest::newRow("-1") << -1 << false << 30;
}

void TestCardModel::progressRange()
{
    QFETCH(int, percent);
    QFETCH(bool, taken);
    QFETCH(int, shown);
    CardModel m;
    m.setEntries(cards({"F"}));
    QVERIFY(m.setProgress("F", 30));
    QCOMPARE(m.setProgress("F", percent), taken);
    QCOMPARE(role(m, 0, CardModel::ProgressRole).toInt(), shown);
}

void TestCardModel::busyCoversEveryCardAndEndsProgress()
{
    CardModel m;
    m.setEntries(cards({"F", "G", "F"}));
    m.setBusy("F", true);
    m.setProgress("F", 40);
    QVERIFY(role(m, 0, CardModel::BusyRole).toBool());
    QVERIFY(role(m, 2, CardModel::BusyRole).toBool());
    QVERIFY(!role(m, 1, CardModel::BusyRole).toBool());
    QCOMPARE(role(m, 2, CardModel::ProgressRole).toInt(), 40);

    // A refill (catalogue arrives again) keeps the font busy.
    m.setEntries(cards({"G", "F"}));
    QVERIFY(role(m, 1, CardModel::BusyRole).toBool());
    QCOMPARE(role(m, 1, CardModel::ProgressRole).toInt(), 40);

    m.setBusy("F", false);
    QVERIFY(!m.isBusy("F"));
    QCOMPARE(role(m, 1, CardModel::ProgressRole).toInt(), 0);
}

void TestCardModel::pictureAskedOnceUntilItArrives()
{
    QTemporaryDir dir;
    const auto path = [&](const QString &n) { return dir.filePath(n + "_name.png"); };
    CardModel m(path);
    m.setEntries(cards({"P", "Q"}));
    QSignalSpy asked(&m, &CardModel::previewNeeded);
    QCOMPARE(role(m, 0, CardModel::ImagePathRole).toString(), QString());
    QCOMPARE(role(m, 0, CardModel::ImagePathRole).toString(), QString());
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(0).toString(), QString("P"));

    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(path("P")));
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.pictureChanged("P");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(role(m, 0, CardModel::ImagePathRole).toString(), path("P"));
    QCOMPARE(asked.count(), 1);
}

void TestCardModel::viewEmitsPickedName()
{
    CardModel m;
    m.setEntries(cards({"First", "Second", "Third"}));
    CardView view;
    view.setCardModel(&m);
    view.resize(292, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy picked(&view, &CardView::selectFont);
    const QRect second = view.visualRect(m.index(1));
    QCOMPARE(second.height(), 95);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.at(0).at(0).toString(), QString("Second"));
    QCOMPARE(view.lastPickedRow(), 1);

    view.setRowHeight(130);
    QCOMPARE(view.visualRect(m.index(1)).height(), 130);
    QCOMPARE(view.visualRect(m.index(1)).top(), 130);
}

void TestCardModel::heartAndDot_data()
{
    QTest::addColumn<bool>("textMode");
    QTest::addColumn<bool>("loved");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("heartOnHover");
    QTest::addColumn<bool>("heartAfterLeave");
    QTest::addColumn<bool>("dot");
    QTest::newRow("plain") << false << false << false << true << false << false;
    QTest::newRow("loved") << false << true << false << true << true << false;
    QTest::newRow("available") << false << false << true << true << false << true;
    QTest::newRow("text mode") << true << true << true << false << false << false;
}

void TestCardModel::heartAndDot()
{
    QFETCH(bool, textMode);
    QFETCH(bool, loved);
    QFETCH(bool, available);
    QVector<CardEntry> entries = cards({"First", "Second"}, textMode);
    entries[0].loved = loved;
    entries[0].available = available;
    CardModel m;
    m.setEntries(entries);
    CardView view;
    view.setCardModel(&m);
    view.resize(292, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy collected(&view, &CardView::collected);
    QSignalSpy picked(&view, &CardView::selectFont);

    const QPoint over = view.visualRect(m.index(0)).center();
    QMouseEvent move(QEvent::MouseMove, over, view.viewport()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QCOMPARE(view.hoveredRow(), 0);
    QTEST(view.heartVisible(0), "heartOnHover");
    QVERIFY(!view.heartVisible(1));
    QTEST(view.dotVisible(0), "dot");
    const QRect heart = view.heartRect(0);
    if (!heart.isEmpty()) {
        // The heart is its own button: it does not pick the font.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, heart.center());
        QCOMPARE(collected.count(), 1);
        QCOMPARE(collected.at(0).at(0).toString(), QString("First"));
        QCOMPARE(picked.count(), 0);
    }
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.viewport(), &leave);
    QCOMPARE(view.hoveredRow(), -1);
    QTEST(view.heartVisible(0), "heartAfterLeave");
}

void TestCardModel::wheelScrollsOwnBar()
{
    QVector<QString> names;
    for (int i = 0; i < 100; ++i)
        names.append(QString("Font %1").arg(i));
    CardModel m;
    m.setEntries(CardModel::pictureCards(names, {}, {}));
    CardView view;
    view.setCardModel(&m);
    view.resize(292, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QScrollBar *bar = view.ownScrollBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->width(), 8);
    QCOMPARE(bar->maximum(), 100 * 95 - 500);
    const QPoint at = view.viewport()->rect().center();
    QWheelEvent notch(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &notch);
    QCOMPARE(bar->value(), 20);
    QWheelEvent pad(at, view.viewport()->mapToGlobal(at), QPoint(0, -40), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::ScrollUpdate, false);
    QApplication::sendEvent(view.viewport(), &pad);
    QCOMPARE(bar->value(), 30);
    // The keyboard pages with the bar; a taller row keeps the place in the list.
    QTest::keyClick(bar, Qt::Key_End);
    QCOMPARE(view.verticalScrollBar()->value(), bar->maximum());
    view.setRowHeight(190);
    QCOMPARE(bar->maximum(), 100 * 190 - 500);
    QCOMPARE(bar->value(), bar->maximum());
    QTest::keyClick(bar, Qt::Key_Home);
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    // A list that fits needs no bar.
    m.setEntries(cards({"A"}));
    QTRY_VERIFY(!bar->isVisible());
}

void TestCardModel::manyFontsStayCheap()
{
    // 8000 fonts: filling and finding stay far below what a user would notice.
    QVector<QString> names;
    for (int i = 0; i < 8000; ++i)
        names.append(QString("Font %1").arg(i));
    CardModel m;
    // This thread's processor time: what the work costs, not how long a busy machine
    // kept the test waiting for a core.
    const auto cpuMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    };
    const qint64 start = cpuMs();
    m.setEntries(CardModel::pictureCards(names, {}, {}));
    for (int i = 0; i < 8000; i += 7)
        QVERIFY(m.setAvailable(names[i], true));
    const qint64 spent = cpuMs() - start;
    QVERIFY2(spent < 2000, qPrintable(QString::number(spent)));
    QCOMPARE(m.firstRow("Font 7999"), 7999);
}

// What the context menu offers and which file it stands on, for each kind of card.
void TestCardModel::menuOfACard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("textMode");
    QTest::addColumn<QString>("file"); // "" none, "cloud" the cloud file, else a path
    QTest::addColumn<bool>("deactivate");
    QTest::addColumn<bool>("catalogueOnly");
    const QString dejaVu = "/usr/share/fonts/truetype/dejavu/";
    // Family and style alone would match the regular face's other styles as well.
    QTest::newRow("installed bold face") << "DejaVu Sans Bold" << true
                                         << dejaVu + "DejaVuSans-Bold.ttf" << false << false;
    QTest::newRow("activated") << "云A" << false << "cloud" << true << false;
    QTest::newRow("downloaded, not activated") << "云B" << false << "cloud" << false << false;
    QTest::newRow("not downloaded") << "云C" << false << "" << false << true;
    QTest::newRow("unknown") << "无" << false << "" << false << false;
}

void TestCardModel::menuOfACard()
{
    QFETCH(QString, name);
    QFETCH(bool, textMode);
    QFETCH(QString, file);
    if (!QFile::exists("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"))
        QSKIP("needs fonts-dejavu-core");
    TestEnv env;
    FtManager ft;
    const QString cloudFile = env.path("cloud.ttf");
    if (name != "云C")
        QFile(QFINDTESTDATA("tst_cardmodel.cpp")).copy(cloudFile);
    ft.setInstalledFonts(
        {LocalFont{"DejaVu Sans Bold", "DejaVu Sans", "DejaVu Sans", "Bold", "DejaVuSans-Bold"}});
    for (const char *cloud : {"云A", "云B", "云C"}) {
        FontAV font;
        font.fontname = cloud;
        ft.cloudFonts.insert(cloud, font);
    }
    ft.addActivated("云A", LocalFont{}, cloudFile);
    CardEntry card = cards({name}, textMode).first();
    card.family = "DejaVu Sans";
    card.style = "Bold";

    const CardActions a = CardActions::of(ft, card, cloudFile);
    QCOMPARE(a.file, file == "cloud" ? cloudFile : file);
    QTEST(a.deactivate, "deactivate");
    QTEST(a.catalogueOnly, "catalogueOnly");
    QCOMPARE(a.openFolder(), !a.file.isEmpty());
    QCOMPARE(a.details(), !a.file.isEmpty() || a.catalogueOnly);
}

// A right click asks for the menu of the card under the mouse; the menu key for the card
// picked last, else the first in sight.
void TestCardModel::menuRequests()
{
    CardModel m;
    m.setEntries(cards({"A", "B", "C"}));
    CardView view;
    view.setCardModel(&m);
    view.setRowHeight(95);
    view.resize(292, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy asked(&view, &CardView::menuRequested);

    const QPoint second = view.visualRect(m.index(1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, second, view.viewport()->mapToGlobal(second));
    QApplication::sendEvent(view.viewport(), &click);
    view.requestKeyboardMenu();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(m.index(2)).center());
    view.requestKeyboardMenu();
    QCOMPARE(asked.count(), 3);
    QCOMPARE(asked.at(0).at(0).toInt(), 1);
    QCOMPARE(asked.at(0).at(1).toPoint(), view.viewport()->mapToGlobal(second));
    QCOMPARE(asked.at(1).at(0).toInt(), 0);
    QCOMPARE(asked.at(2).at(0).toInt(), 2);
}

QTEST_MAIN(TestCardModel)
#include "tst_cardmodel.moc"
