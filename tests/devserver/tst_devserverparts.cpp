// The development service's parts that need no running server: reading signed bodies,
// the fault and command-line syntax, manifest rules, and the certificate authority.
#include "devserver/catalogue.h"
#include "devserver/certificates.h"
#include "devserver/faults.h"
#include "devserver/formbody.h"
#include "devserver/options.h"
#include "service/signing.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSslCertificate>
#include <QSslError>
#include <QTemporaryDir>
#include <QtTest>

using Entries = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(SignedForm::Status)

namespace {

// A body as the protocol describes it: signature after the tag, nothing escaped.
QByteArray rawBody(const QStringList &params)
{
    QStringList body = params;
    body.insert(1, "secret=" + signatureOf(params));
    return body.join('&').toUtf8();
}

Entries entriesOf(const QStringList &params)
{
    Entries out;
    for (const QString &p : params) {
        const int eq = p.indexOf('=');
        out.append({p.left(eq), p.mid(eq + 1)});
    }
    return out;
}

QString writeManifest(const QTemporaryDir &dir, const QJsonObject &root)
{
    const QString path = dir.filePath("manifest.json");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(QJsonDocument(root).toJson());
    return path;
}

QJsonObject tag(int id, const QString &name)
{
    return QJsonObject{{"id", id}, {"name", name}};
}

QJsonObject validManifest()
{
    const QJsonArray groups = {
        QJsonObject{{"name", "language"}, {"type", "1"}, {"tags", QJsonArray{tag(1, "中文")}}},
        QJsonObject{{"name", "provider"}, {"type", "2"}, {"tags", QJsonArray{tag(11, "DejaVu")}}},
        QJsonObject{{"name", "风格"}, {"type", "3"}, {"tags", QJsonArray{tag(101, "黑体")}}},
    };
    const QJsonArray fonts = {
        QJsonObject{{"id", 1},
                    {"name", "甲"},
                    {"file", "a.ttf"},
                    {"language", 1},
                    {"provider", 11},
                    {"tags", QJsonArray{101}}},
        QJsonObject{{"id", 2},
                    {"name", "乙"},
                    {"file", "b.otf"},
                    {"language", 1},
                    {"provider", 11},
                    {"tags", QJsonArray{}}},
    };
    return QJsonObject{{"groups", groups}, {"fonts", fonts}};
}

} // namespace

class TestDevServerParts : public QObject
{
    Q_OBJECT

private slots:
    void readsSignedBodies_data();
    void readsSignedBodies();
    void tagOfLongProfileUpload();

    void faultSpecs_data();
    void faultSpecs();
    void faultsMatchAndRunOut();

    void commandLine_data();
    void commandLine();

    void builtinManifestFitsTheClientsFilter();
    void manifestRules_data();
    void manifestRules();
    void syntheticCatalogue();

    void certificateAuthority();
};

void TestDevServerParts::readsSignedBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<SignedForm::Status>("status");
    QTest::addColumn<Entries>("entries");

    const QStringList login = {"tag=114", "name=张三", "password=secret1", "version=0.9.5_beta",
                               "platform=pc"};
    QTest::newRow("plain") << rawBody(login) << SignedForm::Status::Ok << entriesOf(login);

    const QStringList odd = {"tag=114", "name=a&b", "password=x=y&version=1", "version=0.9.5_beta",
                             "platform=pc"};
    QTest::newRow("'&' and '=' inside raw values")
        << rawBody(odd) << SignedForm::Status::Ok << entriesOf(odd);

    // "pb=1" would sort right after "password=x" either way, so both splits sign alike;
    // "pb" is no key of a login, so it stays inside the value.
    const QStringList alike = {"tag=114", "name=n", "password=x&pb=1", "version=0.9.5_beta",
                               "platform=pc"};
    QTest::newRow("split that signs alike")
        << rawBody(alike) << SignedForm::Status::Ok << entriesOf(alike);

    QTest::newRow("escaped values")
        << signParams(odd).toUtf8() << SignedForm::Status::Ok << entriesOf(odd);

    // Joining "pass_ord=..." into "name" would sign alike and leave no unknown key, but an
    // escaping client never leaves a raw "&" inside a value.
    const QStringList unknownKey = {"tag=114", "name=a$b", "pass_ord=x=y"};
    QTest::newRow("escaped, with a key the operation does not use")
        << signParams(unknownKey).toUtf8() << SignedForm::Status::Ok << entriesOf(unknownKey);

    const QStringList percent = {"tag=120", "token=", "error_info=100%26 done+", "mac=a-b"};
    QTest::newRow("raw value that looks escaped")
        << rawBody(percent) << SignedForm::Status::Ok << entriesOf(percent);
    QTest::newRow("escaped value with '%' and '+'")
        << signParams(percent).toUtf8() << SignedForm::Status::Ok << entriesOf(percent);

    const QStringList profile = {"head=iVBORw0KGgo+/AAA=", "tag=119", "token=t", "nick_name=a&b=c"};
    QTest::newRow("profile upload")
        << signProfileParams(profile).toUtf8() << SignedForm::Status::Ok << entriesOf(profile);

    QByteArray tampered = rawBody(login);
    tampered.replace("secret1", "secret2");
    QTest::newRow("tampered") << tampered << SignedForm::Status::BadSignature << Entries();
    QTest::newRow("wrong secret") << QByteArray("tag=102&secret=0123456789abcdef0123456789abcdef")
                                  << SignedForm::Status::BadSignature << Entries();
    QTest::newRow("no secret") << QByteArray("tag=102&mac=a&app_version=0.9.5_beta")
                               << SignedForm::Status::NoSecret << Entries();
    QTest::newRow("two secrets") << (rawBody({"tag=102"}) +
                                     "&secret=" + signatureOf({"tag=102"}).toUtf8())
                                 << SignedForm::Status::BadSignature << Entries();
    QTest::newRow("no tag") << rawBody({"name=a", "password=b"}) << SignedForm::Status::NoTag
                            << Entries();
    QTest::newRow("empty") << QByteArray() << SignedForm::Status::Empty << Entries();
    QTest::newRow("not a form") << QByteArray("\xff\xfe garbage") << SignedForm::Status::NoTag
                                << Entries();
}

void TestDevServerParts::readsSignedBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(SignedForm::Status, status);
    QFETCH(Entries, entries);
    const SignedForm form = SignedForm::parse(body);
    QCOMPARE(int(form.status()), int(status));
    QCOMPARE(form.entries(), entries);
    if (status == SignedForm::Status::Ok)
        QCOMPARE(form.tag(), entries.first().first == "tag" ? entries.first().second.toInt()
                                                            : entries.at(1).second.toInt());
}

void TestDevServerParts::tagOfLongProfileUpload()
{
    const QString head = QString(200000, 'A');
    const QByteArray body = signProfileParams({"head=" + head, "tag=119", "token=t"}).toUtf8();
    QCOMPARE(SignedForm::peekTag(body), 119);
    const SignedForm form = SignedForm::parse(body);
    QVERIFY(form.isValid());
    QCOMPARE(form.value("head"), head);
}

void TestDevServerParts::faultSpecs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("errcode");
    QTest::addColumn<int>("times");

    using A = FaultRule::Action;
    QTest::newRow("delay") << "tag=100:delay=12000" << true << 100 << "" << 12000 << int(A::None)
                           << 0 << -1;
    QTest::newRow("drop once") << "tag=114:drop,times=1" << true << 114 << "" << 0 << int(A::Drop)
                               << 0 << 1;
    QTest::newRow("path") << "path=/download/:delay=5,empty" << true << 0 << "/download/" << 5
                          << int(A::Empty) << 0 << -1;
    QTest::newRow("path with colon")
        << "path=/a:b/:nonjson" << true << 0 << "/a:b/" << 0 << int(A::NonJson) << 0 << -1;
    QTest::newRow("errcode") << "tag=105:errcode=-3" << true << 105 << "" << 0 << int(A::ErrCode)
                             << -3 << -1;
    QTest::newRow("errcode 0") << "tag=105:errcode=0" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("two answers") << "tag=105:drop,empty" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("nothing to do") << "tag=105:times=2" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("no action") << "tag=105" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("bad target") << "url=/:drop" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("relative path") << "path=download:drop" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("bad delay") << "tag=1:delay=soon" << false << 0 << "" << 0 << 0 << 0 << 0;
    QTest::newRow("unknown action") << "tag=1:explode" << false << 0 << "" << 0 << 0 << 0 << 0;
}

void TestDevServerParts::faultSpecs()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    FaultRule rule;
    QString error;
    QCOMPARE(parseFaultRule(text, &rule, &error), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QTEST(rule.tag, "tag");
    QTEST(rule.pathPrefix, "path");
    QTEST(rule.delayMs, "delay");
    QTEST(int(rule.action), "action");
    QTEST(rule.errcode, "errcode");
    QTEST(rule.times, "times");
}

void TestDevServerParts::faultsMatchAndRunOut()
{
    FaultRule once, always;
    QString error;
    QVERIFY(parseFaultRule("tag=114:drop,times=1", &once, &error));
    QVERIFY(parseFaultRule("path=/download/:empty", &always, &error));
    FaultInjector faults({once, always});
    FaultRule got;
    QVERIFY(!faults.take("/", 115, &got));
    QVERIFY(faults.take("/", 114, &got));
    QCOMPARE(int(got.action), int(FaultRule::Action::Drop));
    QVERIFY(!faults.take("/", 114, &got)); // used up
    QVERIFY(faults.take("/download/3.zip", 0, &got));
    QVERIFY(faults.take("/download/3.zip", 0, &got));
    QVERIFY(!faults.take("/preview/3.png", 0, &got));
}

void TestDevServerParts::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");

    QTest::newRow("minimal") << QStringList{"--data", "d"} << true;
    QTest::newRow("everything") << QStringList{"--data",           "d",
                                               "--port",           "0",
                                               "--synthetic",      "8000",
                                               "--latest-version", "0.9.6",
                                               "--log-requests",   "l",
                                               "--fault",          "tag=1:drop",
                                               "--fault",          "path=/:delay=1"}
                                << true;
    QTest::newRow("no data") << QStringList{"--port", "0"} << false;
    QTest::newRow("both catalogues")
        << QStringList{"--data", "d", "--catalogue", "m.json", "--synthetic", "5"} << false;
    QTest::newRow("port too high") << QStringList{"--data", "d", "--port", "65535"} << false;
    QTest::newRow("port not a number") << QStringList{"--data", "d", "--port", "x"} << false;
    QTest::newRow("synthetic 0") << QStringList{"--data", "d", "--synthetic", "0"} << false;
    QTest::newRow("missing value") << QStringList{"--data"} << false;
    QTest::newRow("bad fault") << QStringList{"--data", "d", "--fault", "tag=1"} << false;
    QTest::newRow("unknown") << QStringList{"--data", "d", "--verbose"} << false;
}

void TestDevServerParts::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    DevServerOptions options;
    QString error;
    QCOMPARE(parseArguments(args, &options, &error), valid);
    if (valid) {
        QCOMPARE(options.dataDir, QString("d"));
        if (args.contains("--fault"))
            QCOMPARE(options.faults.size(), 2);
    } else {
        QVERIFY(!error.isEmpty());
    }
}

void TestDevServerParts::builtinManifestFitsTheClientsFilter()
{
    Catalogue catalogue;
    QString error;
    QStringList warnings;
    QVERIFY2(catalogue.load(Catalogue::builtinManifest(), &error, &warnings), qPrintable(error));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    QVERIFY(catalogue.fonts().size() >= 40);

    QMap<QString, QSet<int>> groupIds;
    for (const CatalogueGroup &g : catalogue.groups()) {
        for (const CatalogueTag &t : g.tags)
            groupIds[g.name].insert(t.id);
    }
    QVERIFY(groupIds.contains("language") && groupIds.contains("provider") && groupIds.size() >= 3);
    QSet<int> languages;
    for (const CatalogueFont &f : catalogue.fonts()) {
        QVERIFY2(groupIds["language"].contains(f.language), qPrintable(f.name));
        QVERIFY2(groupIds["provider"].contains(f.provider), qPrintable(f.name));
        for (int t : f.tags)
            QVERIFY2(!groupIds["language"].contains(t) && !groupIds["provider"].contains(t),
                     qPrintable(f.name));
        // The client reads only these two kinds of font file.
        QVERIFY2(f.ttfName.endsWith(".ttf") || f.ttfName.endsWith(".otf"), qPrintable(f.ttfName));
        languages.insert(f.language);
    }
    QVERIFY(languages.contains(1) && languages.contains(2)); // Chinese and Latin families
}

void TestDevServerParts::manifestRules_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("fonts");

    QTest::newRow("valid") << "" << true << 2;
    QTest::newRow("missing file left out") << "missing" << true << 1;
    QTest::newRow("duplicate id") << "dupid" << false << 0;
    QTest::newRow("language not a language tag") << "language" << false << 0;
    QTest::newRow("style tag unknown") << "style" << false << 0;
    QTest::newRow("file name with folder") << "ttfname" << false << 0;
    QTest::newRow("tag id reused across groups") << "tagreuse" << false << 0;
    QTest::newRow("no provider group") << "noprovider" << false << 0;
}

void TestDevServerParts::manifestRules()
{
    QFETCH(QString, change);
    QTemporaryDir dir;
    for (const char *name : {"a.ttf", "b.otf"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("font");
    }
    QJsonObject root = validManifest();
    QJsonArray fonts = root["fonts"].toArray();
    QJsonArray groups = root["groups"].toArray();
    QJsonObject second = fonts[1].toObject();
    if (change == "missing")
        second["file"] = "gone.ttf";
    else if (change == "dupid")
        second["id"] = 1;
    else if (change == "language")
        second["language"] = 11;
    else if (change == "style")
        second["tags"] = QJsonArray{102};
    else if (change == "ttfname")
        second["ttf_name"] = "../b.otf";
    else if (change == "tagreuse") {
        QJsonObject style = groups[2].toObject();
        style["tags"] = QJsonArray{tag(101, "黑体"), tag(11, "重复")};
        groups[2] = style;
    } else if (change == "noprovider")
        groups.removeAt(1);
    fonts[1] = second;
    root["fonts"] = fonts;
    root["groups"] = groups;

    Catalogue catalogue;
    QString error;
    QStringList warnings;
    QFETCH(bool, loads);
    QCOMPARE(catalogue.load(writeManifest(dir, root), &error, &warnings), loads);
    if (loads) {
        QTEST(int(catalogue.fonts().size()), "fonts");
        QCOMPARE(warnings.size(), 2 - catalogue.fonts().size());
        QCOMPARE(catalogue.font(1)->file, dir.filePath("a.ttf")); // relative to the manifest
    } else {
        QVERIFY(!error.isEmpty());
    }
}

void TestDevServerParts::syntheticCatalogue()
{
    Catalogue catalogue;
    QString error;
    QStringList warnings;
    QVERIFY(catalogue.load(Catalogue::builtinManifest(), &error, &warnings));
    const int real = catalogue.fonts().size();
    catalogue.makeSynthetic(8000);
    QCOMPARE(catalogue.fonts().size(), 8000);
    QSet<int> ids;
    QSet<QString> names, files;
    for (const CatalogueFont &f : catalogue.fonts()) {
        ids.insert(f.id);
        names.insert(f.name);
        files.insert(f.ttfName);
    }
    QCOMPARE(ids.size(), 8000);
    QCOMPARE(names.size(), 8000);
    QCOMPARE(files.size(), 8000);
    QVERIFY(catalogue.font(8000));
    QVERIFY(!catalogue.font(8001));
    // Font 1 + real reuses the first font's file.
    QCOMPARE(catalogue.font(1 + real)->file, catalogue.font(1)->file);
}

void TestDevServerParts::certificateAuthority()
{
    QTemporaryDir dir;
    TlsFiles first, second;
    QString error;
    QVERIFY2(ensureTlsFiles(dir.path(), &first, &error), qPrintable(error));
    QCOMPARE(QFile::permissions(first.caKey) & (QFile::ReadGroup | QFile::ReadOther),
             QFileDevice::Permissions());
    QCOMPARE(QFile::permissions(first.serverKey) & (QFile::ReadGroup | QFile::ReadOther),
             QFileDevice::Permissions());

    const QList<QSslCertificate> ca = QSslCertificate::fromPath(first.caCert);
    QCOMPARE(ca.size(), 1);
    auto verify = [&](const QString &host) {
        QList<QSslCertificate> chain = QSslCertificate::fromPath(first.serverCert);
        chain += ca;
        // verify() checks against the system's store, so the authority goes in the chain
        // and only the "self-signed root" complaint about it is expected.
        QList<QSslError> errors = QSslCertificate::verify(chain, host);
        errors.erase(std::remove_if(errors.begin(), errors.end(),
                                    [](const QSslError &e) {
                                        return e.error() == QSslError::SelfSignedCertificateInChain;
                                    }),
                     errors.end());
        return errors;
    };
    QVERIFY(verify("127.0.0.1").isEmpty());
    QVERIFY(verify("localhost").isEmpty());
    QVERIFY(!verify("example.org").isEmpty());

    // The authority outlives a lost server certificate, so trusting clients keep working.
    QFile::remove(first.serverCert);
    QVERIFY(ensureTlsFiles(dir.path(), &second, &error));
    QCOMPARE(QSslCertificate::fromPath(second.caCert), ca);
    QVERIFY(verify("127.0.0.1").isEmpty());
}

QTEST_GUILESS_MAIN(TestDevServerParts)
#include "tst_devserverparts.moc"
