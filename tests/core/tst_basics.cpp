// Version numbers, the UI scale factor and the log line formats: pure rules.
#include "core/logging.h"
#include "core/screenmetrics.h"
#include "core/version.h"

#include <QtTest>

class TestBasics : public QObject
{
    Q_OBJECT

private slots:
    void versionNumber_data();
    void versionNumber();
    void compareVersions_data();
    void compareVersions();
    void scaleFactor_data();
    void scaleFactor();
    void messageLineFormat();
    void eventLineFormat();
    void runLength_data();
    void runLength();
};

void TestBasics::versionNumber_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("number");
    QTest::newRow("program") << "0.9.5_beta" << 9005;
    QTest::newRow("plain") << "1.2.3" << 1002003;
    QTest::newRow("prefixed major") << "v12.0.1" << 12000001;
    QTest::newRow("letters before major digits") << "ab3.1.0" << 3001000;
    QTest::newRow("two parts") << "1.0" << 0;
    QTest::newRow("four parts") << "1.2.3.4" << 0;
    QTest::newRow("first part ends in a letter") << "a.1.2" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("empty minor") << "1..3" << 0;
    QTest::newRow("empty patch") << "1.2." << 0;
    QTest::newRow("minor not a number") << "1.x.3" << 1000003;
    QTest::newRow("patch starts with a letter") << "1.2.b3" << 1002000;
    QTest::newRow("huge major is invalid, not wrapped") << "99999999999999999999.0.0" << 0;
    QTest::newRow("major beyond int range") << "3000.0.0" << 0;
}

void TestBasics::versionNumber()
{
    QFETCH(QString, version);
    QFETCH(int, number);
    QCOMPARE(::versionNumber(version), number);
}

void TestBasics::compareVersions_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("other");
    QTest::addColumn<int>("result");
    QTest::newRow("stored older") << "0.9.5_beta" << "0.9.4" << 2;
    QTest::newRow("same") << "0.9.5_beta" << "0.9.5" << 1;
    QTest::newRow("stored newer") << "0.9.5_beta" << "1.0.0" << 0;
    QTest::newRow("stored invalid") << "0.9.5_beta" << "" << -1;
    QTest::newRow("current invalid") << "x" << "1.0.0" << -1;
    QTest::newRow("zero version is invalid") << "0.9.5" << "0.0.0" << -1;
}

void TestBasics::compareVersions()
{
    QFETCH(QString, current);
    QFETCH(QString, other);
    QFETCH(int, result);
    QCOMPARE(::compareVersions(current, other), result);
}

void TestBasics::scaleFactor_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("factor");
    QTest::newRow("1080") << 1080 << 1.0;
    QTest::newRow("768 is laid out at full size") << 768 << 1.0;
    QTest::newRow("701 still full size") << 701 << 1.0;
    QTest::newRow("700 shrinks, not below the floor") << 700 << kMinUiScale;
    QTest::newRow("600") << 600 << kMinUiScale;
    QTest::newRow("1440") << 1440 << 1440 / 1080.0;
    QTest::newRow("2160") << 2160 << 2.0;
}

void TestBasics::scaleFactor()
{
    QFETCH(int, height);
    QFETCH(double, factor);
    QCOMPARE(uiScaleFactor(height), factor);

    setScreenMetrics(QRect(0, 0, 1366, height), 2);
    QCOMPARE(uiScaleX, factor);
    QCOMPARE(uiScaleY, factor);
    QCOMPARE(pixelRatio, 2);
}

void TestBasics::messageLineFormat()
{
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    QMessageLogContext none;
    QCOMPARE(formatMessageLine(none, "abc", when),
             QString("Message:abc File:  Line:0  Function:  DateTime:2026-01-02 03:04:05"));
    QMessageLogContext full("main.cpp", 42, "int main()", "default");
    QCOMPARE(formatMessageLine(full, "中文 %1", when),
             QString("Message:中文 %1 File:main.cpp  Line:42  Function:int main()  "
                     "DateTime:2026-01-02 03:04:05"));
}

void TestBasics::eventLineFormat()
{
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5, 67));
    QCOMPARE(formatEventLine("构造函数完毕", when), QString("构造函数完毕  2026.01.02 03:04:05.067"));
}

void TestBasics::runLength_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("mixed") << qint64(3 * 3600 + 25 * 60 + 9) << "03:25:09";
    QTest::newRow("25 hours wrap") << qint64(25 * 3600) << "01:00:00";
}

void TestBasics::runLength()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(formatRunLength(seconds), text);
}

QTEST_GUILESS_MAIN(TestBasics)
#include "tst_basics.moc"
