// The pieces of libSorvane that need no display: font descriptions, the settings value
// syntax, the application table and the tool runner.
#include "sorvane/fontdesc.h"
#include "sorvane/settingstool.h"
#include "sorvane/targets.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace sorvane;

class TestSorvaneRules : public QObject
{
    Q_OBJECT

private slots:
    void styleWordsFromStyleNames_data();
    void styleWordsFromStyleNames();
    void sizeOfDescription_data();
    void sizeOfDescription();
    void descriptionKeepsFamilyWhole();
    void expressibleFamilies_data();
    void expressibleFamilies();
    void stringLiterals_data();
    void stringLiterals();
    void quotedStringsReadBack_data();
    void quotedStringsReadBack();
    void targetsByWindowClass_data();
    void targetsByWindowClass();
    void toolRunner();
};

void TestSorvaneRules::styleWordsFromStyleNames_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("words");
    QTest::newRow("regular") << "Regular"
                             << "";
    QTest::newRow("bold") << "Bold"
                          << "Bold";
    QTest::newRow("bold italic") << "Bold Italic"
                                 << "Bold Italic";
    QTest::newRow("camel case") << "SemiBoldItalic"
                                << "Semi-Bold Italic";
    QTest::newRow("prefix apart") << "Semi Bold"
                                  << "Semi-Bold";
    QTest::newRow("hyphenated") << "Extra-Light"
                                << "Ultra-Light";
    QTest::newRow("lower case") << "black oblique"
                                << "Heavy Oblique";
    QTest::newRow("stretch and weight") << "Condensed Medium"
                                        << "Condensed Medium";
    QTest::newRow("demi alone") << "Demi"
                                << "Semi-Bold";
    QTest::newRow("small caps") << "Small Caps"
                                << "Small-Caps";
    QTest::newRow("unknown word dropped") << "W3"
                                          << "";
    QTest::newRow("unknown beside known") << "Display Bold"
                                          << "Bold";
    QTest::newRow("word inside a word is not taken") << "Thinkpad"
                                                     << "";
    QTest::newRow("conflicting weights keep the first") << "Light Bold"
                                                        << "Light";
    QTest::newRow("chinese bold") << QString::fromUtf8("粗体") << "Bold";
    QTest::newRow("chinese regular") << QString::fromUtf8("常规") << "";
    QTest::newRow("chinese bold italic") << QString::fromUtf8("粗斜体") << "Bold Italic";
    QTest::newRow("blank") << "   "
                           << "";
}

void TestSorvaneRules::styleWordsFromStyleNames()
{
    QFETCH(QString, style);
    QFETCH(QString, words);
    QCOMPARE(QString::fromStdString(styleWords(style.toStdString())), words);
}

void TestSorvaneRules::sizeOfDescription_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("size");
    QTest::newRow("points") << "Monospace 12"
                            << "12";
    QTest::newRow("fraction") << "Sans Bold 10.5"
                              << "10.5";
    QTest::newRow("pixels") << "Sans 14px"
                            << "14px";
    QTest::newRow("variations after size") << "Cantarell Italic 15 @wght=200"
                                           << "15";
    QTest::newRow("trailing newline") << "Monospace 9\n"
                                      << "9";
    QTest::newRow("no size") << "Monospace"
                             << "";
    QTest::newRow("family number is not alone a size") << "Tessaly 2020, Bold"
                                                       << "";
    QTest::newRow("zero") << "Sans 0"
                          << "";
    QTest::newRow("huge") << "Sans 5000"
                          << "";
    QTest::newRow("bad number") << "Sans 1.2.3"
                                << "";
    QTest::newRow("dot at end") << "Sans 12."
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSorvaneRules::sizeOfDescription()
{
    QFETCH(QString, description);
    QFETCH(QString, size);
    QCOMPARE(QString::fromStdString(sizeOf(description.toStdString())), size);
}

void TestSorvaneRules::descriptionKeepsFamilyWhole()
{
    // The comma keeps a family that ends in a number or a style word from being split.
    QCOMPARE(fontDescription("Tessaly 2020", "Bold", "12"), std::string("Tessaly 2020, Bold 12"));
    QCOMPARE(fontDescription("  Noto Sans Black ", "Regular", "10.5"),
             std::string("Noto Sans Black, 10.5"));
    QCOMPARE(fontDescription("文泉驿微米黑", "SemiBold Italic", "11"),
             std::string("文泉驿微米黑, Semi-Bold Italic 11"));
}

void TestSorvaneRules::expressibleFamilies_data()
{
    QTest::addColumn<QByteArray>("family");
    QTest::addColumn<bool>("ok");
    QTest::newRow("latin") << QByteArray("DejaVu Sans") << true;
    QTest::newRow("chinese") << QByteArray("文泉驿微米黑") << true;
    QTest::newRow("comma") << QByteArray("A, B") << false;
    QTest::newRow("newline") << QByteArray("A\nB") << false;
    QTest::newRow("blank") << QByteArray("  ") << false;
    QTest::newRow("bad utf-8") << QByteArray("A\xff") << false;
    QTest::newRow("cut utf-8") << QByteArray("A\xe6\x96") << false;
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
}

void TestSorvaneRules::expressibleFamilies()
{
    QFETCH(QByteArray, family);
    QFETCH(bool, ok);
    QCOMPARE(isExpressibleFamily(std::string_view(family.constData(), size_t(family.size()))), ok);
}

void TestSorvaneRules::stringLiterals_data()
{
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("single quotes")
        << QByteArray("'Monospace 12'\n") << true << QByteArray("Monospace 12");
    QTest::newRow("double quotes with escapes")
        << QByteArray("\"It's \\\"x\\\"\"") << true << QByteArray("It's \"x\"");
    QTest::newRow("unicode escape")
        << QByteArray("'a\\u00e9\\U0001f600'") << true << QByteArray("a\xc3\xa9\xf0\x9f\x98\x80");
    QTest::newRow("tab escape") << QByteArray("'a\\tb'") << true << QByteArray("a\tb");
    QTest::newRow("empty string") << QByteArray("''") << true << QByteArray();
    QTest::newRow("unterminated") << QByteArray("'abc") << false << QByteArray();
    QTest::newRow("quote inside") << QByteArray("'a'b'") << false << QByteArray();
    QTest::newRow("dangling backslash") << QByteArray("'a\\'") << false << QByteArray();
    QTest::newRow("short unicode escape") << QByteArray("'\\u12'") << false << QByteArray();
    QTest::newRow("surrogate escape") << QByteArray("'\\ud800'") << false << QByteArray();
    QTest::newRow("not a string") << QByteArray("true") << false << QByteArray();
    QTest::newRow("one quote") << QByteArray("'") << false << QByteArray();
}

void TestSorvaneRules::stringLiterals()
{
    QFETCH(QByteArray, printed);
    QFETCH(bool, ok);
    QFETCH(QByteArray, value);
    std::string out = "untouched";
    QCOMPARE(parseStringLiteral(printed.toStdString(), out), ok);
    if (ok)
        QCOMPARE(QByteArray::fromStdString(out), value);
    else
        QCOMPARE(out, std::string("untouched"));
}

void TestSorvaneRules::quotedStringsReadBack_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "DejaVu Sans, Bold 12";
    QTest::newRow("quotes and backslashes") << "It's a \\ \"test\"";
    QTest::newRow("chinese") << QString::fromUtf8("文泉驿微米黑, 11");
}

void TestSorvaneRules::quotedStringsReadBack()
{
    QFETCH(QString, value);
    std::string back;
    QVERIFY(parseStringLiteral(quotedString(value.toStdString()), back));
    QCOMPARE(QString::fromStdString(back), value);
}

void TestSorvaneRules::targetsByWindowClass_data()
{
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("schema");
    QTest::newRow("gedit") << "gedit"
                           << "Gedit"
                           << "org.gnome.gedit.preferences.editor";
    QTest::newRow("text editor by class only") << ""
                                               << "org.gnome.TextEditor"
                                               << "org.gnome.TextEditor";
    QTest::newRow("mousepad") << "mousepad"
                              << "Mousepad"
                              << "org.xfce.mousepad.preferences.view";
    QTest::newRow("terminal") << "gnome-terminal-server"
                              << "Gnome-terminal"
                              << "org.gnome.Terminal.Legacy.Profile";
    QTest::newRow("terminal preferences window") << "gnome-terminal-preferences"
                                                 << "Gnome-terminal-preferences"
                                                 << "";
    QTest::newRow("other") << "firefox-esr"
                           << "Firefox-esr"
                           << "";
    QTest::newRow("none") << ""
                          << ""
                          << "";
}

void TestSorvaneRules::targetsByWindowClass()
{
    QFETCH(QString, instance);
    QFETCH(QString, windowClass);
    QFETCH(QString, schema);
    const Target *target = findTarget(instance.toStdString(), windowClass.toStdString());
    QCOMPARE(target ? QString::fromLatin1(target->schema) : QString(), schema);
}

void TestSorvaneRules::toolRunner()
{
    const ToolRun echo = runTool({"sh", "-c", "printf 'out'; echo err >&2; exit 3"}, 5000);
    QVERIFY(echo.started && echo.exited);
    QCOMPARE(echo.exitCode, 3);
    QCOMPARE(echo.output, std::string("out"));

    QVERIFY(!runTool({"quillora-no-such-program"}, 5000).started);

    // A hanging tool is killed at its time limit, even when it keeps its output open.
    QElapsedTimer timer;
    timer.start();
    const ToolRun hang = runTool({"sh", "-c", "sleep 20"}, 200);
    QVERIFY(hang.started);
    QVERIFY(!hang.exited);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    // Output past the limit is cut, not grown without bound.
    const ToolRun big = runTool({"sh", "-c", "head -c 200000 /dev/zero"}, 5000);
    QVERIFY(big.exited);
    QCOMPARE(big.output.size(), kMaxToolOutput);
}

QTEST_GUILESS_MAIN(TestSorvaneRules)
#include "tst_sorvane_rules.moc"
