// The activation engine against the real session registration, the apply step
// against stand-in Sorvane libraries, and quillora-cli activate.
#include "activation/activationcontroller.h"
#include "activationkit.h"
#include "fonts/fontnamereader.h"
#include "platform/fontregistry.h"
#include "fonts/ftmanager.h"
#include "testenv.h"

#include <QFontDatabase>
#include <QtTest>

namespace {

bool canMatch()
{
    return haveRealFont() && !QStandardPaths::findExecutable("fc-match").isEmpty();
}

} // namespace

class TestActivation : public QObject
{
    Q_OBJECT

private slots:
    void activatedFontReachesOtherProcesses();
    void refusedBeforeRegistration_data();
    void refusedBeforeRegistration();
    void applyResults_data();
    void applyResults();
    void applyCountsCatalogueFontsOnly();
    void realLibraryThroughTheBinding();
    void activateCommand();
};

void TestActivation::activatedFontReachesOtherProcesses()
{
    if (!canMatch())
        QSKIP("needs fonts-dejavu-core and fontconfig");
    TestEnv env;
    FtManager ft;
    ft.initialize();
    FontAV cloud;
    cloud.fontid = 7;
    cloud.fontname = "云字体";
    ft.cloudFonts.insert(cloud.fontname, cloud);
    const QString path = ft.usedDir() + "quillora-ta.ttf";
    QVERIFY(writeRenamedFont(path, "Quillora Ta"));
    QVERIFY(!fcMatch("Quillora Ta").startsWith("Quillora Ta|"));

    CountingFontSystem system;
    ActivationEngine engine(ft, &system);
    QCOMPARE(engine.activateFont(path, "云字体", true), 1);
    QCOMPARE(system.announced.load(), 1);
    QCOMPARE(eventTexts(ft), QStringList({"开始激活云字体", "字体加载成功;", "字体已广播;",
                                          "字体激活成功:云字体;"}));
    const auto expected = readLocalFont(path);
    QVERIFY(expected);
    const LocalFont *record = ft.activatedFont("云字体");
    QVERIFY(record);
    QCOMPARE(record->familyName, QString("Quillora Ta"));
    QCOMPARE(record->psName, expected->psName);
    QVERIFY(record->showName.isEmpty());
    QCOMPARE(ft.downlist.value("云字体"), path);
    QVERIFY(ft.loggedInUser().local.contains("云字体"));
    QCOMPARE(ft.loggedInUser().local.fonts().first().fontid, 7); // the catalogue's record

    const QString match = fcMatch("Quillora Ta");
    QCOMPARE(match, "Quillora Ta|" + sessionFontDir() + "/quillora-ta.ttf");
    QVERIFY(QFontDatabase().families().contains("Quillora Ta"));

    // The same name again: the first record stays, downlist follows the new file.
    const QString other = ft.downloadsDir() + "quillora-ta.ttf";
    QVERIFY(QFile::copy(path, other));
    QCOMPARE(engine.activateFont(other, "云字体", false), 1);
    QCOMPARE(system.announced.load(), 1);
    QCOMPARE(ft.activatedFont("云字体"), record);
    QCOMPARE(ft.activatedFonts().size(), 1);
    QCOMPARE(ft.downlist.value("云字体"), other);

    // Logging out empties the runtime folder.
    QVERIFY(QDir(sessionFontDir()).removeRecursively());
    QVERIFY(!fcMatch("Quillora Ta").startsWith("Quillora Ta|"));
}

void TestActivation::refusedBeforeRegistration_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::newRow("no style name") << "nostyle.ttf"
                                   << "A";
    QTest::newRow("not a font") << "junk.ttf"
                                << "A";
    QTest::newRow("missing file") << "missing.ttf"
                                  << "A";
    QTest::newRow("empty name") << "good.ttf"
                                << "";
}

void TestActivation::refusedBeforeRegistration()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    if (!haveRealFont())
        QSKIP("needs fonts-dejavu-core");
    TestEnv env;
    FtManager ft;
    ft.initialize();
    QVERIFY(writeFontWithoutStyle(ft.usedDir() + "nostyle.ttf"));
    QVERIFY(writeRenamedFont(ft.usedDir() + "good.ttf", "Quillora Tb"));
    QFile junk(ft.usedDir() + "junk.ttf");
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("<html>not a font</html>") > 0);
    junk.close();

    CountingFontSystem system;
    ActivationEngine engine(ft, &system);
    QCOMPARE(engine.activateFont(ft.usedDir() + file, name, true), -1);
    QCOMPARE(system.registered.load(), 0);
    QCOMPARE(system.announced.load(), 0);
    QVERIFY(eventTexts(ft).isEmpty());
    QVERIFY(ft.activatedFonts().isEmpty());
    QVERIFY(ft.downlist.isEmpty());
    QVERIFY(ft.loggedInUser().local.isEmpty());
}

void TestActivation::applyResults_data()
{
    QTest::addColumn<QString>("libraryDir");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("tray");
    const QString fail = "不能与该应用程序进行字体交互。";
    QTest::newRow("success") << SORVANE_STUB_DIR << 0 << "宋体样例已设置到当前应用";
    QTest::newRow("library missing") << "" << -1 << fail + "设置失败！";
    QTest::newRow("function missing") << SORVANE_NOSYMBOL_DIR << -1 << fail + "设置失败！";
    QTest::newRow("25") << SORVANE_STUB_DIR << 25 << fail;
    QTest::newRow("26") << SORVANE_STUB_DIR << 26 << fail + "设置失败！";
    QTest::newRow("16") << SORVANE_STUB_DIR << 16
                        << fail + ",PS交互失败！请选择需要设置字体的图层。";
    QTest::newRow("22") << SORVANE_STUB_DIR << 22 << fail + ",字体名为空";
}

void TestActivation::applyResults()
{
    QFETCH(QString, libraryDir);
    QFETCH(int, code);
    QFETCH(QString, tray);
    TestEnv env;
    FtManager ft;
    ft.initialize();
    RecordingView view;
    RecordingReporter reporter;
    ActivationController controller(ft, &view, &view, &reporter);
    const QString calls = env.path("calls.txt");
    useStubLibrary(controller.engine(), code, calls);
    if (libraryDir.isEmpty())
        QVERIFY(QDir().mkpath(libraryDir = env.path("nolibrary")));
    controller.engine().setLibraryDir(libraryDir);

    const LocalFont record{"", "测试宋体", "Test Song", "常规", "TestSong"};
    controller.busyMark("宋体样例");
    controller.applyFont(record, "宋体样例");

    QCOMPARE(view.trays(), QStringList{"tray|字体设置|" + tray});
    QVERIFY(!controller.isBusy("宋体样例"));
    const QStringList texts = eventTexts(ft);
    QCOMPARE(texts.value(0),
             QString("select-font: host=测试宋体; sub=常规; ps=TestSong; eng=Test Song;"));
    QCOMPARE(texts.value(1), QString("font_back=%1;").arg(code));
    if (code == 0) {
        QVERIFY(reporter.bugs.isEmpty());
    } else {
        const QString line = tray + "\r\n宋体样例{host:测试宋体;sub:常规;ps:TestSong}";
        QCOMPARE(reporter.bugs, QStringList{line});
        QVERIFY(rawEventLog(ft).contains(line + "  "));
    }
    // The library received the three UTF-8 names, 0 and a null pointer.
    QFile log(calls);
    const bool called = libraryDir == SORVANE_STUB_DIR;
    QCOMPARE(log.open(QIODevice::ReadOnly), called);
    if (called)
        QCOMPARE(QString::fromUtf8(log.readAll()), QString("测试宋体|常规|TestSong|0|null\n"));
}

void TestActivation::applyCountsCatalogueFontsOnly()
{
    TestEnv env;
    FtManager ft;
    ft.initialize();
    FontAV cloud;
    cloud.fontid = 42;
    cloud.fontname = "云黑";
    ft.cloudFonts.insert(cloud.fontname, cloud);
    ft.activation.insert(42, 5);
    RecordingView view;
    ActivationController controller(ft, &view, &view, nullptr);
    const LocalFont record{"", "F", "F", "Regular", "F-Regular"};
    // Counted before the attempt, whatever its outcome.
    for (int code : {0, 25, 26}) {
        useStubLibrary(controller.engine(), code, env.path("calls.txt"));
        controller.applyFont(record, "云黑");
    }
    controller.applyFont(record, "System Sans");
    QCOMPARE(ft.activation, (QMap<int, int>{{42, 8}}));
    QCOMPARE(view.trays().size(), 4);
}

void TestActivation::realLibraryThroughTheBinding()
{
#ifndef SORVANE_REAL_DIR
    QSKIP("libSorvane.so is not part of this build");
#else
    TestEnv env;
    FtManager ft;
    ft.initialize();
    ActivationEngine engine(ft);
    engine.setLibraryDir(SORVANE_REAL_DIR);
    QCOMPARE(engine.applyToApp(LocalFont{"", "", "", "Regular", "X-Regular"}), 22);
    QCOMPARE(engine.applyToApp(LocalFont{"", "X", "", "", "X-Regular"}), 23);
    QCOMPARE(engine.applyToApp(LocalFont{"", "X", "", "Regular", ""}), 24);
#endif
}

void TestActivation::activateCommand()
{
    if (!canMatch())
        QSKIP("needs fonts-dejavu-core and fontconfig");
    TestEnv env;
    QVERIFY(QDir().mkpath(env.path("files")));
    const QString font = env.path("files/quillora-tc.ttf");
    QVERIFY(writeRenamedFont(font, "Quillora Tc"));
    QVERIFY(writeFontWithoutStyle(env.path("files/nostyle.ttf")));
    auto run = [](const QStringList &args, QString *out) {
        QProcess cli;
        cli.start(QUILLORA_CLI, args);
        cli.waitForFinished(60000);
        *out = QString::fromUtf8(cli.readAllStandardOutput());
        return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    };
    QString out;
    QCOMPARE(run({"activate", font}, &out), 0);
    QCOMPARE(out, QString("1\n"));
    QCOMPARE(fcMatch("Quillora Tc"), "Quillora Tc|" + sessionFontDir() + "/quillora-tc.ttf");

    QCOMPARE(run({"activate", env.path("files/nostyle.ttf"), "--name", "N"}, &out), 1);
    QCOMPARE(out, QString("-1\n"));
    QCOMPARE(run({"activate"}, &out), 2);

    // Same engine, same event log as the program.
    FtManager ft;
    ft.createDirectories();
    const QStringList texts = eventTexts(ft);
    QVERIFY(texts.contains("开始激活Quillora Tc"));
    QVERIFY(texts.contains("字体激活成功:Quillora Tc;"));
    QVERIFY(!texts.contains("开始激活N"));
}

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
