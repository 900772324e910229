// The pieces of libSorvane that need no display: font descriptions, the settings value
// syntax, the application tables, the requests to and answers from the applications, and
// the tool runner.
#include "sorvane/dispatch.h"
#include "sorvane/fontdesc.h"
#include "sorvane/gimp.h"
#include "sorvane/inkscape.h"
#include "sorvane/sessionapps.h"
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
    void sessionsMatch_data();
    void sessionsMatch();
    void inkscapeFontProperties();
    void inkscapeReadBack_data();
    void inkscapeReadBack();
    void gimpCommandAndAnswers();
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

namespace {

// The application a name leads to: its settings schema, or its family.
QString kindName(bool found, const Application &app)
{
    if (!found)
        return {};
    if (app.kind == Application::Settings)
        return QString::fromLatin1(app.settings->schema);
    return app.kind == Application::Drawing ? "drawing"
           : app.kind == Application::Photo ? "photo"
                                            : "office";
}

} // namespace

void TestSorvaneRules::targetsByWindowClass_data()
{
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("process"); // the program's name as the kernel keeps it
    static const char *const rows[][5] = {
        {"gedit", "gedit", "Gedit", "org.gnome.gedit.preferences.editor", "gedit"},
        {"text editor by class only", "", "org.gnome.TextEditor", "org.gnome.TextEditor",
         "gnome-text-edit"},
        {"mousepad", "mousepad", "Mousepad", "org.xfce.mousepad.preferences.view", "mousepad"},
        {"terminal", "gnome-terminal-server", "Gnome-terminal", "org.gnome.Terminal.Legacy.Profile",
         "gnome-terminal-"},
        {"terminal preferences window", "gnome-terminal-preferences", "Gnome-terminal-preferences",
         "", "gnome-terminal-preferences"},
        {"inkscape", "org.inkscape.Inkscape", "Inkscape", "drawing", "inkscape"},
        {"gimp", "gimp-2.10", "Gimp-2.10", "photo", "gimp-2.10"},
        {"other", "firefox-esr", "Firefox-esr", "", "gimp-console-2.1"},
        {"none", "", "", "", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3])
                              << QString(row[4]);
}

void TestSorvaneRules::targetsByWindowClass()
{
    QFETCH(QString, instance);
    QFETCH(QString, windowClass);
    QFETCH(QString, schema);
    QFETCH(QString, process);
    Application app;
    QCOMPARE(kindName(applicationForWindow(instance.toStdString(), windowClass.toStdString(), &app),
                      app),
             schema);
    QCOMPARE(kindName(applicationForProcess(process.toStdString(), &app), app), schema);
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

void TestSorvaneRules::sessionsMatch_data()
{
    QTest::addColumn<QString>("callerDisplay");
    QTest::addColumn<QString>("callerWayland");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<bool>("same");
    static const struct
    {
        const char *name, *callerDisplay, *callerWayland, *display, *wayland;
        bool same;
    } rows[] = {
        {"same display", ":11", "", ":11", "", true},
        {"screen number", ":11.0", "", ":11", "", true},
        {"other display", ":11", "", ":1", "", false},
        {"prefix is not the display", ":1", "", ":11", "", false},
        {"process without a display", ":11", "", "", "", false},
        {"wayland decides", ":0", "wayland-0", ":1", "wayland-0", true},
        {"other wayland display", ":0", "wayland-0", ":0", "wayland-1", false},
        {"caller without a session", "", "", "", "", false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString(row.callerDisplay) << QString(row.callerWayland)
                                << QString(row.display) << QString(row.wayland) << row.same;
}

void TestSorvaneRules::sessionsMatch()
{
    QFETCH(QString, callerDisplay);
    QFETCH(QString, callerWayland);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(bool, same);
    QCOMPARE(sameSession(callerDisplay.toStdString(), callerWayland.toStdString(),
                         display.toStdString(), wayland.toStdString()),
             same);
}

void TestSorvaneRules::inkscapeFontProperties()
{
    // Every part is written, so a bold text becomes regular; no value may hold the comma
    // at which the action splits name from value.
    const auto joined = [](std::string_view style) {
        QStringList declarations;
        for (const auto &[property, value] : sorvane::inkscapeFontProperties("Noto Serif", style))
            declarations << QString::fromStdString(property + ':' + value);
        return declarations.join(';');
    };
    QCOMPARE(joined("Regular"),
             QString("font-family:'Noto Serif';font-weight:normal;font-style:normal;"
                     "font-stretch:normal;font-variant:normal;"
                     "-inkscape-font-specification:'Noto Serif'"));
    QCOMPARE(
        joined("SemiBold Condensed Italic"),
        QString("font-family:'Noto Serif';font-weight:600;font-style:italic;font-stretch:condensed;"
                "font-variant:normal;-inkscape-font-specification:'Noto Serif Semi-Bold Condensed "
                "Italic'"));
    QVERIFY(isCssSafeFamily("Noto Serif"));
    QVERIFY(!isCssSafeFamily("Evil';fill:red"));
}

void TestSorvaneRules::inkscapeReadBack_data()
{
    QTest::addColumn<QString>("svg");
    QTest::addColumn<int>("result");
    const QString ok = "font-family:'Noto Serif';font-weight:bold;font-style:normal";
    const int confirmed = int(ReadBack::Confirmed), nothing = int(ReadBack::NothingMarked),
              different = int(ReadBack::Different);
    const auto text = [](const QString &style, const QString &inner = "A") {
        return "<text style=\"" + style + "\">" + inner + "</text>";
    };
    const QString marked = ok + ";-sorvane-mark:m1";
    QTest::newRow("marked text") << text(marked) << confirmed;
    QTest::newRow("with namespace prefix, entities and a comment")
        << "<!-- <text style=\"-sorvane-mark:m1\"> --><svg:text style=\"font-family:&quot;Noto "
           "Serif&quot;;font-weight:bold;font-style:normal;-sorvane-mark:m1\">A</svg:text>"
        << confirmed;
    QTest::newRow("nothing selected") << text(ok) << nothing;
    QTest::newRow("another call's mark") << text(ok + ";-sorvane-mark:m12") << nothing;
    QTest::newRow("only a shape selected")
        << "<rect style=\"" + marked + "\"/>" + text("") << nothing;
    QTest::newRow("weight not taken")
        << text("font-family:'Noto Serif';font-weight:normal;font-style:normal;-sorvane-mark:m1")
        << different;
    QTest::newRow("a line keeps its own family")
        << text(marked, "<tspan style=\"font-family:Sans\">A</tspan>") << different;
    QTest::newRow("a line naming the same family, a later text its own")
        << text(marked, "<tspan style=\"font-family:'Noto Serif'\">A</tspan><tspan/>") +
               text("font-family:Sans")
        << confirmed;
    QTest::newRow("one of two selected texts not set")
        << text(marked) + text("font-family:Sans;-sorvane-mark:m1") << different;
    QTest::newRow("cut off") << "<text style=\"" + marked + "\"" << nothing;
}

void TestSorvaneRules::inkscapeReadBack()
{
    QFETCH(QString, svg);
    QFETCH(int, result);
    const CssProperties expected = {
        {"font-family", "'Noto Serif'"}, {"font-weight", "bold"}, {"font-style", "normal"}};
    QCOMPARE(int(checkInkscapeExport(svg.toStdString(), "m1", expected)), result);
}

void TestSorvaneRules::gimpCommandAndAnswers()
{
    const std::vector<std::string> argv =
        gimpBatchCall(gimpFontScript("Noto Serif Bold", "/tmp/sorvane-x/answer"));
    QCOMPARE(argv[8], std::string("org.gimp.GIMP.UI.BatchRun"));
    QCOMPARE(argv[9], std::string("plug-in-script-fu-eval"));
    const std::string &script = argv[10];
    QVERIFY(script.find("(gimp-text-layer-set-font layer \"Noto Serif Bold\")") !=
            std::string::npos);
    QVERIFY(script.find("(call-with-output-file \"/tmp/sorvane-x/answer\"") != std::string::npos);
    // GIMP runs nothing of an expression whose brackets do not match.
    QCOMPARE(std::count(script.begin(), script.end(), '('),
             std::count(script.begin(), script.end(), ')'));

    // Only the very name read back from the layer is a success.
    const std::string font = "Noto Serif Bold";
    QCOMPARE(gimpAnswerCode("sorvane:font:Noto Serif Bold", font), 0);
    QCOMPARE(gimpAnswerCode("sorvane:font:Noto Serif Bold Italic", font), 16);
    QCOMPARE(gimpAnswerCode("sorvane:font:Sans-serif", font), 16);
    QCOMPARE(gimpAnswerCode("sorvane:not-text", font), 16);
    QCOMPARE(gimpAnswerCode("sorvane:no-image", font), 13);
    QCOMPARE(gimpAnswerCode("", font), 16); // no answer came
}

QTEST_GUILESS_MAIN(TestSorvaneRules)
#include "tst_sorvane_rules.moc"
