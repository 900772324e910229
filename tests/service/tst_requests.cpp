// Request bodies of every operation: parameter order, optional parameters and common
// sets, with and without a known MAC. Expected entries are written from the protocol's
// request table; signatures are checked by the separate checker script.
#include "service/requestbuilder.h"
#include "service/signing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(QList<InterfaceInfo>)

namespace {

const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");

void useMac(bool known)
{
    if (known)
        setMacAddressSource([] {
            return QList<InterfaceInfo>{{true, true, false, QStringLiteral("00:1A:2B:3C:4D:5E")}};
        });
    else
        setMacAddressSource([] { return QList<InterfaceInfo>(); });
}

// A sample request of each kind, with values that exercise its optional parameters.
QString sampleBody(const QString &kind)
{
    using namespace RequestBuilder;
    if (kind == "100 all fonts")
        return allFonts("tok");
    if (kind == "100 every option")
        return cloudList("", "你好", "hot", "3,5", 2, 30, "宋");
    if (kind == "102")
        return fontTags();
    if (kind == "103 counters")
        return usageReport("tok", {40, 12}, {{7, 2}, {3, 1}, {0, 5}, {9, 0}});
    if (kind == "103 nothing")
        return usageReport("", {}, {});
    if (kind == "105")
        return collectFont("tok", 12, true);
    if (kind == "106")
        return collectFont("tok", 12, false);
    if (kind == "107 plain")
        return loveList("", "", "tok");
    if (kind == "107 preview text")
        return loveList("预览 text", "", "");
    if (kind == "114")
        return login("张三", "p&w=+%");
    if (kind == "115")
        return sendPhoneCode("13800000000");
    if (kind == "117")
        return registerAccount("13800000000", "4321", "secret");
    if (kind == "118")
        return acceptAgreement("tok");
    if (kind == "119 no head")
        return modifyUser("", "tok", "小明", 1, "hi\nthere", "2000-01-01", "广东", "深圳");
    if (kind == "119 head")
        return modifyUser("iVBO+/c=", "tok", "n", 0, "", "", "", "");
    if (kind == "120")
        return bugPost("tok", "下载失败 a&b");
    if (kind == "120 client")
        return bugPost("", "x", "Writer", "1.2");
    if (kind == "121")
        return lastVersion();
    if (kind == "124")
        return installReport();
    if (kind == "125 guest")
        return launchReport("");
    if (kind == "125 signed in")
        return launchReport("tok");
    if (kind == "126")
        return durationReport("", 90061);
    if (kind == "127")
        return imageList("预览", {3, 12});
    if (kind == "128")
        return updateLog("1.0.0");
    return QString();
}

struct Sample
{
    const char *kind;
    QStringList entries; // wire form without secret; "mac" stands for the MAC entry
    bool secretLast;
};

QList<Sample> samples()
{
    const QStringList a{"mac", "app_version=0.9.5_beta", "app_platform=pc"};
    const QString system = "system=" + QSysInfo::productType();
    const QString systemVersion = "system_version=" + QSysInfo::productVersion();
    return {
        {"100 all fonts",
         {"tag=100", "page=1", "number=8000", "version=0.9.5_beta", "mac", "app_platform=pc",
          "token=tok"},
         false},
        {"100 every option",
         {"tag=100", "content=你好", "sort=hot", "tag_id=3,5", "page=2", "number=30", "name=宋",
          "version=0.9.5_beta", "mac", "app_platform=pc", "token="},
         false},
        {"102", QStringList{"tag=102"} + a, false},
        {"103 counters",
         QStringList{"tag=103", "token=tok", "download_ids=12,40",
                     R"(activation=[{"fid":3,"num":1},{"fid":7,"num":2}])"} +
             a,
         false},
        {"103 nothing", QStringList{"tag=103", "token="} + a, false},
        {"105", QStringList{"tag=105", "token=tok", "font_ids=12"} + a, false},
        {"106", QStringList{"tag=106", "token=tok", "font_ids=12"} + a, false},
        {"107 plain", QStringList{"tag=107", "token=tok"} + a, false},
        {"107 preview text", QStringList{"tag=107", "content=预览 text", "token="} + a, false},
        {"114",
         {"tag=114", "name=张三", "password=p%26w%3D%2B%25", "version=0.9.5_beta", "platform=pc",
          "mac"},
         false},
        {"115", QStringList{"tag=115", "phone=13800000000"} + a, false},
        {"117", QStringList{"tag=117", "phone=13800000000", "code=4321", "password=secret"} + a,
         false},
        {"118", QStringList{"tag=118", "token=tok"} + a, false},
        {"119 no head",
         QStringList{"tag=119", "token=tok", "nick_name=小明", "sex=1", "introduce=hi\nthere",
                     "birthday=2000-01-01", "province=广东", "city=深圳"} +
             a,
         true},
        {"119 head",
         QStringList{"head=iVBO%2B%2Fc%3D", "tag=119", "token=tok", "nick_name=n", "sex=0",
                     "introduce=", "birthday=", "province=", "city="} +
             a,
         true},
        {"120",
         {"tag=120", "token=tok", "error_info=下载失败 a%26b", "mac", system, systemVersion,
          "app_version=0.9.5_beta", "platform=pc"},
         false},
        {"120 client",
         {"tag=120", "token=", "error_info=x", "mac", system, systemVersion,
          "app_version=0.9.5_beta", "platform=pc", "client_name=Writer", "client_version=1.2"},
         false},
        {"121", {"tag=121", "platform=pc", "version=0.9.5_beta"}, false},
        {"124", {"tag=124", "mac", "version=0.9.5_beta", "platform=pc"}, false},
        {"125 guest", {"tag=125", "mac", "version=0.9.5_beta", "platform=pc"}, false},
        {"125 signed in",
         {"tag=125", "token=tok", "mac", "version=0.9.5_beta", "platform=pc"},
         false},
        {"126",
         {"tag=126", "token=", "duration=90061", "mac", "version=0.9.5_beta", "platform=pc"},
         false},
        {"127", QStringList{"tag=127", "str=预览", "fids=3,12"} + a, false},
        {"128", QStringList{"tag=128", "version=1.0.0"} + a, false},
    };
}

QString checkerScript()
{
    return QStringLiteral(QUILLORA_CHECKER_SCRIPT);
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setMacAddressSource(nullptr); }

    void builders_data();
    void builders();
    void signatureWithoutMac();
    void macChoice_data();
    void macChoice();
    void macCacheRefillsWhileEmpty();
    void checkerAcceptsEveryBuilder();
    void checkerRejectsTamperedBodies();
};

void TestRequests::builders_data()
{
    QTest::addColumn<bool>("withMac");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("secretLast");
    for (bool withMac : {true, false}) {
        for (const Sample &s : samples()) {
            QStringList expected;
            for (const QString &e : s.entries) {
                if (e != "mac")
                    expected << e;
                else if (withMac)
                    expected << "mac=" + kMac;
            }
            QTest::addRow("%s %s", s.kind, withMac ? "mac" : "no mac")
                << withMac << QString(s.kind) << expected << s.secretLast;
        }
    }
}

void TestRequests::builders()
{
    QFETCH(bool, withMac);
    QFETCH(QString, kind);
    QFETCH(QStringList, expected);
    QFETCH(bool, secretLast);

    useMac(withMac);
    QStringList entries = sampleBody(kind).split('&');
    const int secretAt = secretLast ? entries.size() - 1 : 1;
    QVERIFY2(entries.value(secretAt).startsWith("secret="), qPrintable(entries.join('&')));
    QCOMPARE(entries.value(secretAt).size(), 7 + 32);
    entries.removeAt(secretAt);
    QCOMPARE(entries, expected);
}

void TestRequests::signatureWithoutMac()
{
    // Digests from Python's hashlib over the rules: the sorted signing string loses its
    // mac entry along with the body.
    useMac(false);
    QCOMPARE(RequestBuilder::fontTags(),
             QString("tag=102&secret=35e61a7a79e915eadddaf51761ce23cf&app_version=0.9.5_beta&"
                     "app_platform=pc"));
    useMac(true);
    QCOMPARE(RequestBuilder::login("张三", "p&w=+%").section('&', 1, 1),
             QString("secret=7bdd2e3a48e0ec9caa770bef688d965c"));
}

void TestRequests::macChoice_data()
{
    QTest::addColumn<QList<InterfaceInfo>>("interfaces");
    QTest::addColumn<QString>("mac");
    const InterfaceInfo loopback{true, true, true, "00:00:00:00:00:00"};
    const InterfaceInfo down{false, false, false, "AA:AA:AA:AA:AA:AA"};
    const InterfaceInfo upNotRunning{true, false, false, "BB:BB:BB:BB:BB:BB"};
    const InterfaceInfo eth{true, true, false, "0C:1D:2E:3F:40:51"};
    const InterfaceInfo tunnel{true, true, false, ""};
    QTest::newRow("none") << QList<InterfaceInfo>() << "";
    QTest::newRow("only unusable") << QList<InterfaceInfo>{loopback, down, upNotRunning} << "";
    QTest::newRow("first usable wins")
        << QList<InterfaceInfo>{loopback, down, eth,
                                InterfaceInfo{true, true, false, "11:22:33:44:55:66"}}
        << "0C-1D-2E-3F-40-51";
    QTest::newRow("first usable has no address") << QList<InterfaceInfo>{tunnel, eth} << "";
}

void TestRequests::macChoice()
{
    QFETCH(QList<InterfaceInfo>, interfaces);
    QFETCH(QString, mac);
    QCOMPARE(chooseMacAddress(interfaces), mac);
}

void TestRequests::macCacheRefillsWhileEmpty()
{
    int asked = 0;
    QString address;
    setMacAddressSource([&] {
        ++asked;
        return QList<InterfaceInfo>{{true, true, false, address}};
    });
    QCOMPARE(macAddress(), QString());
    QVERIFY(!RequestBuilder::installReport().contains("mac="));
    address = "01:02:03:04:05:06";
    QCOMPARE(macAddress(), QString("01-02-03-04-05-06"));
    const int afterFill = asked;
    address = "0A:0B:0C:0D:0E:0F";
    QVERIFY(RequestBuilder::installReport().contains("mac=01-02-03-04-05-06"));
    QCOMPARE(asked, afterFill); // a filled cache is not asked again
}

namespace {

// Runs the checker over `bodies`; returns its exit code and puts its output in `output`.
int runChecker(const QStringList &bodies, QString &output)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("bodies.json"));
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write(QJsonDocument(QJsonArray::fromStringList(bodies)).toJson());
    file.close();
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("python3"), {checkerScript(), file.fileName()});
    if (!python.waitForFinished(30000))
        return -1;
    output = QString::fromUtf8(python.readAll());
    return python.exitCode();
}

QStringList everySample()
{
    QStringList bodies;
    for (bool withMac : {true, false}) {
        useMac(withMac);
        for (const Sample &s : samples())
            bodies << sampleBody(s.kind);
    }
    return bodies;
}

} // namespace

void TestRequests::checkerAcceptsEveryBuilder()
{
    if (QStandardPaths::findExecutable("python3").isEmpty())
        QSKIP("python3 is not installed");
    const QStringList bodies = everySample();
    QString output;
    const int exitCode = runChecker(bodies, output);
    QVERIFY2(exitCode == 0, qPrintable(output));
    QCOMPARE(output.count(QRegularExpression("^ok \\d+$", QRegularExpression::MultilineOption)),
             bodies.size());
}

void TestRequests::checkerRejectsTamperedBodies()
{
    if (QStandardPaths::findExecutable("python3").isEmpty())
        QSKIP("python3 is not installed");
    useMac(true);
    const QString tags = RequestBuilder::fontTags();
    const QString profile = RequestBuilder::modifyUser("iVBO+/c=", "tok", "n", 0, "", "", "", "");
    const QStringList tampered{
        QString(tags).replace("app_platform=pc", "app_platform=mac"), // value changed
        QString(tags).replace("mac=00-1A", "mac=00-1B"),              // signature no longer fits
        tags.section('&', 0, 0) + '&' + tags.section('&', 2) + '&' +
            tags.section('&', 1, 1), // secret moved
        signParams({"tag=102", "app_version=0.9.5_beta", "mac=" + kMac,
                    "app_platform=pc"}), // order of set A
        signParams({"tag=107", "content=", "token=t", "app_version=0.9.5_beta",
                    "app_platform=pc"}),                                  // empty optional sent
        QString(profile).replace("head=iVBO%2B%2Fc%3D", "head=iVBO+/c="), // head unencoded
        RequestBuilder::login("a", "b").replace("password=b", "password=a+b"),
    };
    QString output;
    QCOMPARE(runChecker(tampered, output), 1);
    QCOMPARE(output.count(QRegularExpression("^FAIL \\d+: ", QRegularExpression::MultilineOption)),
             tampered.size());
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
