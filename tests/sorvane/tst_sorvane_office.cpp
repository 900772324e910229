// libSorvane's LibreOffice path: window classes, requests and read-back without the suite;
// with Writer and Impress installed, the real suite, headless, on a private profile.
#include "activation/officeconsent.h"
#include "sorvane/officehelper.h"
#include "sorvane/officepipe.h"
#include "testenv.h"

#include <QProcess>
#include <QtTest>

#include <memory>

using namespace sorvane;

namespace {
const std::string kFamily = "DejaVu Serif";

bool pythonHasUno() { return QProcess::execute("/usr/bin/python3", {"-c", "import uno"}) == 0; }
} // namespace

class TestSorvaneOffice : public QObject
{
    Q_OBJECT

    QString m_pipe = QString("quillora_test_%1").arg(QCoreApplication::applicationPid());
    QString fixture(const QStringList &args)
    {
        QProcess p;
        p.start("/usr/bin/python3", QStringList{OFFICE_FIXTURE, m_pipe} + args);
        return p.waitForFinished(20000) ? QString::fromUtf8(p.readAllStandardOutput()) : "";
    }

private slots:
    void windowsAndStyles();
    void outcomes_data();
    void outcomes();
    void helperWithoutSuite();
    void liveSuite();
};

void TestSorvaneOffice::windowsAndStyles()
{
    OfficeApp app = OfficeApp::Impress;
    QVERIFY(officeAppForWindow("libreoffice", "libreoffice-writer", &app) && app == OfficeApp::Writer);
    QVERIFY(officeAppForWindow("LibreOffice-Impress", "", &app) && app == OfficeApp::Impress);
    QVERIFY(!officeAppForWindow("libreoffice", "libreoffice-startcenter", &app));
    QVERIFY(!officeAppForWindow("libreoffice", "libreoffice-calc", &app));

    const std::pair<const char *, std::pair<bool, bool>> styles[] = {
        {"Regular", {false, false}},   {"SemiBold", {true, false}}, {"Medium", {false, false}},
        {"Black Italic", {true, true}}, {"Light Oblique", {false, true}}, {"粗斜体", {true, true}},
    };
    for (const auto &[name, flags] : styles) {
        const OfficeStyle style = officeStyle(name);
        QVERIFY2(style.bold == flags.first && style.italic == flags.second, name);
    }

    // Names go to the script as separate arguments, untouched, after the script itself.
    const std::vector<std::string> args =
        officeApplyArgs(defaultOfficeLink(), OfficeApp::Impress, "-c \"思源\"", "Bold Italic");
    const std::vector<std::string> tail(args.end() - 7, args.end());
    QVERIFY(tail == std::vector<std::string>({kOfficePipe, "impress", "apply", "-c \"思源\"",
                                              "Bold Italic", "1", "1"}));
    QCOMPARE(args.at(args.size() - 8), std::string(kOfficeScript));
}

void TestSorvaneOffice::outcomes_data()
{
    QTest::addColumn<QByteArray>("output"); // how the helper ended does not matter
    QTest::addColumn<int>("writer");        // Impress answers the same failure four codes later
    const QByteArray ok = "connected\ndocument\nfamily \"DejaVu Serif\"\nstyle \"Bold\"\n";
    const QByteArray plain = "bold true\nitalic false\n";
    QTest::newRow("confirmed") << ok + plain << 0;
    QTest::newRow("no uno bindings") << QByteArray("missing\n") << 2;
    QTest::newRow("not listening") << QByteArray("unreachable\n") << 3;
    QTest::newRow("no answer in time") << QByteArray() << 3;
    QTest::newRow("no document") << QByteArray("connected\nnodocument\n") << 1;
    QTest::newRow("stopped while applying") << QByteArray("connected\ndocument\n") << 4;
    QTest::newRow("suite raised") << QByteArray("connected\ndocument\nerror \"x\"\n") << 4;
    QTest::newRow("other weight") << ok + "bold false\nitalic false\n" << 4;
    QTest::newRow("no italic state") << ok + "bold true\n" << 4;
    QTest::newRow("other family") << QByteArray(ok).replace("Serif", "Sans") + plain << 4;
    QTest::newRow("mixed selection") << QByteArray(ok).replace("DejaVu Serif", "") + plain << 4;
}

void TestSorvaneOffice::outcomes()
{
    QFETCH(QByteArray, output);
    QFETCH(int, writer);
    ToolRun run;
    run.started = true;
    run.output = output.toStdString();
    QCOMPARE(officeOutcome(OfficeApp::Writer, run, kFamily, "Bold"), writer);
    QCOMPARE(officeOutcome(OfficeApp::Impress, run, kFamily, "Bold"), writer ? writer + 4 : 0);
    QCOMPARE(officeOutcome(OfficeApp::Impress, ToolRun(), kFamily, "Bold"), 6); // no python
}

void TestSorvaneOffice::helperWithoutSuite()
{
    // The built-in script really runs: without bindings it says so, with them it finds
    // nobody on a pipe no suite opened.
    OfficeLink link = defaultOfficeLink();
    link.pipe = m_pipe.toStdString() + "_closed";
    QCOMPARE(applyToOffice(link, OfficeApp::Writer, kFamily, "Bold"), pythonHasUno() ? 3 : 2);
    QVERIFY(!officeHasOpenDocument(link, OfficeApp::Impress));
}

void TestSorvaneOffice::liveSuite()
{
    if (QStandardPaths::findExecutable("soffice").isEmpty() || !pythonHasUno())
        QSKIP("LibreOffice or python3-uno is not installed: live Writer and Impress skipped");
    TestEnv env;
    // The launcher that switches connections on reaches this suite through its profile.
    const QString profile = QUrl::fromLocalFile(env.path("profile")).toString();
    qputenv("UserInstallation", profile.toUtf8());
    QProcess suite;
    suite.start("soffice", {"--headless", "--invisible", "--norestore",
                            "-env:UserInstallation=" + profile,
                            "--accept=pipe,name=" + m_pipe + ";urp;"});
    QVERIFY(suite.waitForStarted());
    // Ends the suite even when a check fails half-way (the launcher's child would outlive it).
    const auto quit = [&](void *) {
        fixture({"quit"});
        if (!suite.waitForFinished(10000))
            suite.kill();
        suite.waitForFinished();
        qunsetenv("UserInstallation");
    };
    std::unique_ptr<void, decltype(quit)> ending(this, quit);
    QTRY_COMPARE_WITH_TIMEOUT(fixture({"open"}), QString("done\n"), 60000);

    // Connections for the program are off until the user allows them.
    QCOMPARE(applyToOffice(OfficeApp::Writer, kFamily, "Bold"), 3);
    QVERIFY(OfficeConsent().switchOn());
    QTRY_VERIFY(officeHasOpenDocument(OfficeApp::Impress));

    QCOMPARE(applyToOffice(OfficeApp::Writer, kFamily, "Bold Italic"), 0);
    QCOMPARE(applyToOffice(OfficeApp::Impress, kFamily, "Bold"), 0);
    for (const QString kind : {"writer", "impress"}) {
        const QString saved = fixture({"saved", kind, env.path(kind + ".od")});
        QVERIFY2(saved.split('\n').contains(QString::fromStdString(kFamily)), qPrintable(saved));
    }
    QCOMPARE(fixture({"collapse"}), QString("done\n"));
    QCOMPARE(applyToOffice(OfficeApp::Writer, "DejaVu Sans", "Regular"), 0);
    QCOMPARE(fixture({"close", "impress"}), QString("done\n"));
    QCOMPARE(applyToOffice(OfficeApp::Impress, kFamily, "Bold"), 5);
}

QTEST_GUILESS_MAIN(TestSorvaneOffice)
#include "tst_sorvane_office.moc"
