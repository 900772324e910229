// Finding fonts: search matching, the tag filter, the preview text, and the window's
// journeys through them against the development service's 8000-font catalogue.
#include "cards/cardmodel.h"
#include "cards/cardview.h"
#include "cards/previewloader.h"
#include "core/screenmetrics.h"
#include "core/tlstrust.h"
#include "devserverprocess.h"
#include "finding/cloudlist.h"
#include "finding/filterdlg.h"
#include "finding/mlineedit.h"
#include "finding/mtreewidget.h"
#include "finding/previewsetting.h"
#include "finding/searchbox.h"
#include "finding/tagfilter.h"
#include "service/transport.h"
#include "window/mainwindow.h"
#include "windowfixture.h"

#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

FontAV font(const QString &name, const QString &en, int language, int provider, const QString &tags)
{
    FontAV f;
    f.fontname = name;
    f.font_en_name = en;
    f.language = language;
    f.provider = provider;
    f.tagid = tags;
    return f;
}

QMap<QString, FontAV> records(const QList<FontAV> &fonts)
{
    QMap<QString, FontAV> out;
    for (const FontAV &f : fonts)
        out.insert(f.fontname, f);
    return out;
}

// What the window should list, worked out the slow way over every record.
QStringList expected(const FtManager &ft, const std::function<bool(const FontAV &)> &keep)
{
    QStringList out;
    for (const FontAV &f : ft.cloudFonts)
        if (keep(f))
            out.append(f.fontname);
    return out;
}

QStringList listed(const CardModel *cards)
{
    QStringList out;
    for (int i = 0; i < cards->rowCount(); ++i)
        out.append(cards->nameAt(i));
    return out;
}

QList<TagGroup> groups()
{
    return {{"language", "1", {{1, "中文"}, {3, "日文"}}},
            {"provider", "2", {{17, "Naver"}}},
            {"风格", "3", {{101, "R&D"}, {102, "R&D"}}},
            {"风格", "3", {{101, "R&D"}}}}; // a second reply's copy
}

} // namespace

class TestFinding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void matchesSearch_data();
    void matchesSearch();
    void searchFindsEnglishNamesInNameOrder();
    void tagIds_data();
    void tagIds();
    void filterByTagsGroups();
    void previewText_data();
    void previewText();
    void pagesRedrawOnKindAndText();
    void treeSelection();
    void searchBoxAndPreviewEdit();
    void searchAndTagsClearEachOther();
    void noResultPageAndBack();
    void treeRebuildDropsFilter();
    void previewKinds_data();
    void previewKinds();

private:
    bool openWindow();

    WindowFixture m_fixture;
    CardPages &cardPages() { return m_services->cards(); }
    std::unique_ptr<AppServices> m_services;
    std::unique_ptr<MainWindow> m_window;
};

void TestFinding::initTestCase()
{
    qRegisterMetaType<TagMap *>("QMap<QString,QPoint>*");
}

void TestFinding::cleanupTestCase()
{
    m_window.reset();
    m_services.reset();
    if (m_fixture.devService().isRunning())
        QVERIFY(m_fixture.devService().stop());
}

// One window over the synthetic catalogue, shared by the journeys.
bool TestFinding::openWindow()
{
    if (m_window)
        return true;
    if (!m_fixture.startDevService({"--synthetic", "8000"})) {
        qWarning() << m_fixture.errorString();
        return false;
    }
    m_services = std::make_unique<AppServices>();
    m_window = std::make_unique<MainWindow>(*m_services);
    return QTest::qWaitFor([this] { return cardPages().cloudCards()->rowCount() == 8000; }, 20000) &&
           QTest::qWaitFor(
               [this] { return m_window->findChild<FilterDlg *>()->tree()->topLevelItemCount() > 0; }, 10000);
}

void TestFinding::matchesSearch_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("in order, any case") << "Fang Zheng Song"
                                        << "fz" << true;
    QTest::newRow("reversed order") << "Fang Zheng Song"
                                    << "zf" << false;
    QTest::newRow("Chinese in order") << "文鼎PL简报宋"
                                      << "文宋" << true;
    QTest::newRow("Chinese reversed") << "文鼎PL简报宋"
                                      << "宋文" << false;
    QTest::newRow("character outside the basic plane") << "𠀀体"
                                                       << "𠀀" << true;
    // Unit by unit, the high half of the first and the low half of the second would match.
    QTest::newRow("halves of two characters") << "𠀁𐀀"
                                              << "𠀀" << false;
    QTest::newRow("empty text") << "Any"
                                << "" << true;
    QTest::newRow("empty name") << ""
                                << "" << false;
}

void TestFinding::matchesSearch()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(::matchesSearch(name, text), match);
}

void TestFinding::searchFindsEnglishNamesInNameOrder()
{
    const auto all = records({font("汉仪", "Zhi Fang", 1, 0, ""), font("方正", "FZ Kai", 1, 0, ""),
                              font("Broad", "", 2, 0, "")});
    QVector<QString> list{"stale"};
    QMap<QString, int> index;
    QCOMPARE(searchFonts(all, "", list, index), 0);
    QCOMPARE(list, QVector<QString>{"stale"});
    // Only the English names hold an f followed by a z.
    QCOMPARE(searchFonts(all, "fz", list, index), 1);
    QCOMPARE(list, (QVector<QString>{"方正"}));
    QCOMPARE(searchFonts(all, "a", list, index), 3);
    QCOMPARE(list, (QVector<QString>{"Broad", "方正", "汉仪"})); // UTF-16 order
    QCOMPARE(index.value("汉仪"), 2);
}

void TestFinding::tagIds_data()
{
    QTest::addColumn<QString>("ids");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("has");
    QTest::newRow("first") << "3,,12" << 3 << true;
    QTest::newRow("after an empty part") << "3,,12" << 12 << true;
    QTest::newRow("empty part is no zero") << "3,,12" << 0 << false;
    QTest::newRow("no prefix match") << "12" << 1 << false;
    QTest::newRow("spaces") << " 5 , 7 " << 7 << true;
    QTest::newRow("not a number") << "x3,4" << 3 << false;
    QTest::newRow("too large") << "99999999999,4" << 4 << true;
}

void TestFinding::tagIds()
{
    QFETCH(QString, ids);
    QFETCH(int, id);
    QFETCH(bool, has);
    QCOMPARE(tagListHas(ids, id), has);
}

void TestFinding::filterByTagsGroups()
{
    QList<FontAV> fonts{font("a", "", 1, 11, "3"), font("b", "", 2, 12, "101"),
                        font("c", "", 3, 1, "1,102")};
    for (int i = 0; i < 1500; ++i)
        fonts.append(font(QString("z%1").arg(i, 4, 10, QChar('0')), "", 4, 13, ""));
    const auto all = records(fonts);
    QVector<QString> out{"stale"};
    QCOMPARE(filterByTags(all, out, {}), -1);
    QCOMPARE(out.size(), 1);
    // Language and provider compare their own fields, not the tag list ("c" has tag 1).
    QCOMPARE(filterByTags(all, out, {{1, 1}}), 1);
    QCOMPARE(out, QVector<QString>{"a"});
    QCOMPARE(filterByTags(all, out, {{2, 12}}), 1);
    QCOMPARE(out, QVector<QString>{"b"});
    // Other groups read the tag list; any tick of any group admits a font.
    QCOMPARE(filterByTags(all, out, {{3, 102}, {2, 11}, {1, 2}}), 3);
    QCOMPARE(out, (QVector<QString>{"a", "b", "c"}));
    QCOMPARE(filterByTags(all, out, {{2, 13}}), 1500); // no cap
    QCOMPARE(out.last(), QString("z1499"));
    QCOMPARE(filterByTags(all, out, {{1, 99}}), 0);
    QVERIFY(out.isEmpty());
}

void TestFinding::previewText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("three spaces") << "   " << int(PreviewName) << "";
    QTest::newRow("ideographic space") << "\u3000" << int(PreviewName) << "";
    QTest::newRow("eight characters") << "abcdefgh" << int(PreviewText) << "abcdef";
    QTest::newRow("inner space kept") << " a b" << int(PreviewText) << " a b";
    QTest::newRow("pairs are not split") << "𠀀𠀁𠀂𠀃𠀄𠀅𠀆" << int(PreviewText) << "𠀀𠀁𠀂𠀃𠀄𠀅";
}

void TestFinding::previewText()
{
    QFETCH(QString, typed);
    const PreviewSetting setting = PreviewSetting::fromTyped(typed);
    QTEST(setting.kind, "kind");
    QTEST(setting.text, "text");
}

void TestFinding::pagesRedrawOnKindAndText()
{
    PreviewPages pages;
    QCOMPARE(pages.takeStale(PreviewSetting(), 1), QVector<int>{});
    const PreviewSetting one = PreviewSetting::fromTyped("1");
    QCOMPARE(pages.takeStale(one, 1), (QVector<int>{1, 0, 2}));
    QCOMPARE(pages.takeStale(one, 0), QVector<int>{});
    // Back to the default redraws, though "1" stood for it before.
    QCOMPARE(pages.takeStale(PreviewSetting::fromMenu(PreviewName), 5), (QVector<int>{0, 1, 2}));
}

void TestFinding::treeSelection()
{
    FilterDlg dialog;
    MTreeWidget *tree = dialog.tree();
    QSignalSpy changed(&dialog, &FilterDlg::selectChanged);
    dialog.buildTree(groups());
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(tree->groupItem("风格")->childCount(), 2);
    MTagCheckBox *first = tree->tagBox("风格", 101);
    QCOMPARE(QKeySequence::mnemonic(first->text()), QKeySequence()); // "&" as written
    // Two tags of one name are ticked apart.
    first->click();
    tree->tagBox("风格", 102)->click();
    tree->tagBox("language", 3)->click();
    QCOMPARE(*tree->selection(),
             (QMap<QString, QPoint>{
                 {"风格&101", {0, 101}}, {"风格&102", {0, 102}}, {"language&3", {1, 3}}}));
    // A group row click opens the group and leaves the ticks.
    QTreeWidgetItem *language = tree->groupItem("language");
    const int emitted = changed.count();
    tree->onClickItem(language, 0);
    QVERIFY(language->isExpanded());
    tree->onClickItem(language, 0);
    QVERIFY(!language->isExpanded());
    QCOMPARE(changed.count(), emitted);
    QCOMPARE(tree->selection()->size(), 3);
    tree->resetTags();
    QCOMPARE(changed.last().at(0).value<TagMap *>(), tree->selection());
    QVERIFY(tree->selection()->isEmpty());
    QVERIFY(!first->isChecked());
}

void TestFinding::searchBoxAndPreviewEdit()
{
    SearchBox box;
    QSignalSpy asked(&box, &SearchBox::askSearch);
    box.searchButton()->click(); // empty: nothing to search
    QCOMPARE(asked.count(), 0);
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(asked.count(), 1);
    box.setText("a");
    QVERIFY(!box.clearButton()->isHidden());
    box.clear();
    QVERIFY(box.clearButton()->isHidden());

    MLineEdit edit;
    QSignalSpy done(&edit, &MLineEdit::editDone);
    edit.showLabel("英文");
    QTest::keyClick(&edit, Qt::Key_Return);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&edit, &out);
    QCOMPARE(done.count(), 0); // the menu's label is no typed text
    QTest::keyClicks(&edit, "x");
    QApplication::sendEvent(&edit, &out);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(done.count(), 1);
}

void TestFinding::searchAndTagsClearEachOther()
{
    QVERIFY(openWindow());
    MainWindow &w = *m_window;
    const FtManager &ft = m_services->fontManager();
    MTreeWidget *tree = w.findChild<FilterDlg *>()->tree();
    const auto search = [&](const QString &text) {
        w.findChild<SearchBox *>("searchBox")->setText(text);
        QTest::keyClick(w.findChild<SearchBox *>("searchBox"), Qt::Key_Return);
    };
    search("heros7");
    QCOMPARE(listed(cardPages().cloudCards()), expected(ft, [](const FontAV &f) {
                 return ::matchesSearch(f.fontname, "heros7") ||
                        ::matchesSearch(f.font_en_name, "heros7");
             }));
    QVERIFY(cardPages().cloudCards()->rowCount() > 0);

    // A language and a provider tick list their union, and clear the search.
    tree->tagBox("language", 3)->click();
    tree->tagBox("provider", 17)->click();
    QVERIFY(w.findChild<SearchBox *>("searchBox")->text().isEmpty());
    const QStringList both =
        expected(ft, [](const FontAV &f) { return f.language == 3 || f.provider == 17; });
    QVERIFY(both.size() > 1000);
    QCOMPARE(listed(cardPages().cloudCards()), both);

    search("ipa");
    QVERIFY(!tree->hasSelection());
    QVERIFY(!tree->tagBox("language", 3)->isChecked());
    // Return in an empty box: the whole catalogue.
    search("");
    QCOMPARE(cardPages().cloudList().current(), CloudList::Full);
    QCOMPARE(cardPages().cloudCards()->rowCount(), 8000);
    // Unticking the last tag brings the whole catalogue back too.
    tree->tagBox("provider", 17)->click();
    QCOMPARE(listed(cardPages().cloudCards()),
             expected(ft, [](const FontAV &f) { return f.provider == 17; }));
    tree->tagBox("provider", 17)->click();
    QCOMPARE(cardPages().cloudCards()->rowCount(), 8000);
}

void TestFinding::noResultPageAndBack()
{
    QVERIFY(openWindow());
    MainWindow &w = *m_window;
    for (const bool byTags : {false, true}) {
        TagMap nothing{{"x&1", {1, 999}}};
        if (byTags) {
            w.onCurrTagsChanged(&nothing);
        } else {
            w.findChild<SearchBox *>("searchBox")->setText("qqqqzzzz");
            w.onSearchTextEdited();
        }
        QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNoSearchResult));
        QCOMPARE(cardPages().cloudCards()->rowCount(), 0);
        // The cloud button leaves a search for the whole catalogue; a tag filter stays.
        w.oncloudBt();
        QVERIFY(w.findChild<SearchBox *>("searchBox")->text().isEmpty());
        QCOMPARE(cardPages().currentPageIndex(),
                 int(byTags ? MainWindow::PageNoSearchResult : MainWindow::PageCloud));
        w.onClearSearch();
        QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageCloud));
        QCOMPARE(cardPages().cloudCards()->rowCount(), 8000);
    }

    // Typing over a search that found nothing takes the stale notice away at once; the
    // new search waits for Return.
    auto *box = w.findChild<SearchBox *>("searchBox");
    box->setFocus();
    QTest::keyClicks(box, "qqqqzzzz");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNoSearchResult));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageCloud));
    QCOMPARE(cardPages().cloudCards()->rowCount(), 8000);
    QCOMPARE(box->text(), QString("qqqqzzz"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(cardPages().currentPageIndex(), int(MainWindow::PageNoSearchResult));
    // The other page buttons clear the search text too.
    for (auto button : {&MainWindow::onlocalBt, &MainWindow::oncollectBt}) {
        box->setText("qqqq");
        (w.*button)();
        QVERIFY(box->text().isEmpty());
    }
    w.oncloudBt();
}

void TestFinding::treeRebuildDropsFilter()
{
    QVERIFY(openWindow());
    MainWindow &w = *m_window;
    w.findChild<FilterDlg *>()->tree()->tagBox("language", 1)->click();
    QVERIFY(cardPages().cloudCards()->rowCount() < 8000);
    m_services->fontManager().tagGroups.append(m_services->fontManager().tagGroups); // a second reply's copy
    w.findChild<FilterDlg *>()->buildTree(m_services->fontManager().tagGroups);
    QVERIFY(!w.findChild<FilterDlg *>()->tree()->hasSelection());
    QCOMPARE(cardPages().cloudList().current(), CloudList::Full);
    QCOMPARE(cardPages().cloudCards()->rowCount(), 8000);
    QCOMPARE(w.findChild<FilterDlg *>()->tree()->topLevelItemCount(), 4);
}

void TestFinding::previewKinds_data()
{
    QTest::addColumn<int>("menuEntry"); // -1: typed text
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("localText");
    QTest::newRow("English") << 1 << "_eng.png"
                             << "abcde";
    QTest::newRow("digits") << 2 << "_num.png"
                            << "12345";
    QTest::newRow("typed") << -1 << "_Hi 你.png"
                           << "Hi 你";
    QTest::newRow("default") << 0 << "_name.png"
                             << "";
}

void TestFinding::previewKinds()
{
    QFETCH(int, menuEntry);
    QFETCH(QString, localText);
    QVERIFY(openWindow());
    MainWindow &w = *m_window;
    if (menuEntry >= 0) {
        w.findChild<QMenu *>("showMenu")->actions().at(menuEntry)->trigger();
    } else {
        w.findChild<MLineEdit *>("ftTextEdt")->setText("");
        QTest::keyClicks(w.findChild<MLineEdit *>("ftTextEdt"), "Hi ");
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, "你");
        QApplication::sendEvent(w.findChild<MLineEdit *>("ftTextEdt"), &typed);
        QTest::keyClick(w.findChild<MLineEdit *>("ftTextEdt"), Qt::Key_Return);
    }
    CardModel *cards = cardPages().cloudCards();
    const QString name = cards->nameAt(0);
    const QString path = m_services->previews().picturePath(name);
    QFETCH(QString, suffix);
    QVERIFY2(path.endsWith(name + suffix), qPrintable(path));
    w.show();
    QTRY_COMPARE_WITH_TIMEOUT(cards->data(cards->index(0), CardModel::ImagePathRole).toString(),
                              path, 15000);
    QVERIFY(!QImage(path).isNull());
    // Installed fonts draw the text itself (the name while there is none).
    QCOMPARE(w.findChild<CardView *>("localPage")->previewText(), localText);
}

QTEST_MAIN(TestFinding)
#include "tst_finding.moc"
