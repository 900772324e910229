// quillora-cli fontinfo and scan as a script sees them: exit codes, one JSON
// object per line, the keys and their values.
#include "sfntbuilder.h"
#include "testenv.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestFontCli : public QObject
{
    Q_OBJECT

private:
    TestEnv m_env;
    QTemporaryDir m_dir;

    struct Run
    {
        int exitCode;
        QList<QJsonObject> lines;
        QByteArray err;
    };

    Run cli(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(QUILLORA_CLI), args);
        if (!p.waitForFinished(30000))
            qFatal("quillora-cli did not finish");
        Run r{p.exitCode(), {}, p.readAllStandardError()};
        for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError e;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
            if (e.error != QJsonParseError::NoError || !doc.isObject())
                qFatal("not a JSON object line: %s", line.constData());
            r.lines.append(doc.object());
        }
        return r;
    }

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList();
        QTest::newRow("unknown command") << QStringList({"fontnames"});
        QTest::newRow("fontinfo without files") << QStringList({"fontinfo"});
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Run r = cli(args);
        QVERIFY(r.exitCode != 0);
        QVERIFY(r.lines.isEmpty());
        QVERIFY(r.err.contains("usage: quillora-cli"));
    }

    void fontinfo()
    {
        using B = SfntBuilder;
        const QString good = m_dir.filePath("good.ttf");
        QVERIFY(B().addWindows(B::ChinesePRC, 1, QString::fromUtf8("宋体"))
                    .addWindows(B::ChinesePRC, 2, "Bold")
                    .addEnglishBasics("Song", "Bold", "Song-Bold")
                    .write(good));
        const QString noStyle = m_dir.filePath("nostyle.otf");
        QVERIFY(B().setVersion("OTTO")
                    .addWindows(B::English, 1, "X")
                    .addWindows(B::English, 6, "X")
                    .write(noStyle));
        const QString ttc = m_dir.filePath("c.ttc");
        QVERIFY(B().setVersion("ttcf").write(ttc));
        const QString missing = m_dir.filePath("missing.ttf");

        const Run r = cli({"fontinfo", good, noStyle, ttc, missing});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 4);
        const QJsonObject g = r.lines.at(0);
        QCOMPARE(g.value("path").toString(), good);
        QVERIFY(g.value("tableLength").toInt() > 0);
        QCOMPARE(g.value("cn").toInt(), 0);
        QCOMPARE(g.value("en").toInt(), 1);
        QCOMPARE(g.value("ps").toInt(), 0);
        QCOMPARE(g.value("familyName").toString(), QString::fromUtf8("宋体"));
        QCOMPARE(g.value("styleName").toString(), QStringLiteral("Bold"));
        QCOMPARE(g.value("enFamilyName").toString(), QStringLiteral("Song"));
        QCOMPARE(g.value("psName").toString(), QStringLiteral("Song-Bold"));
        QCOMPARE(g.value("local").toBool(), true);
        QCOMPARE(g.value("showName").toString(), QString::fromUtf8("宋体 Bold"));

        const QJsonObject n = r.lines.at(1);
        QCOMPARE(n.value("familyName").toString(), QStringLiteral("X"));
        QCOMPARE(n.value("local").toBool(), false);
        QVERIFY(!n.contains("showName"));
        QCOMPARE(r.lines.at(2).value("tableLength").toInt(), -2);
        QCOMPARE(r.lines.at(2).value("ps").toInt(), -2);
        QCOMPARE(r.lines.at(3).value("tableLength").toInt(), -1);
        QCOMPARE(r.lines.at(3).value("cn").toInt(), -1);
    }

    void scan()
    {
        using B = SfntBuilder;
        const QString root = m_dir.filePath("scan");
        QVERIFY(QDir().mkpath(root + "/sub"));
        QVERIFY(B().addWindows(B::ChinesePRC, 1, QString::fromUtf8("黑体"))
                    .addWindows(B::ChinesePRC, 2, "Regular")
                    .addWindows(B::English, 6, "Hei")
                    .write(root + "/a.ttf"));
        QVERIFY(B().addEnglishBasics("Zeta", "Italic", "Zeta-Italic").write(root + "/sub/z.TTF"));
        QVERIFY(B().addEnglishBasics("Zeta", "Italic", "Zeta-Dup").write(root + "/zz.otf"));

        const Run r = cli({"scan", root});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 2);
        QCOMPARE(r.lines.at(0).value("showName").toString(), QStringLiteral("Zeta Italic"));
        QCOMPARE(r.lines.at(0).value("path").toString(), root + "/sub/z.TTF");
        QCOMPARE(r.lines.at(0).value("psName").toString(), QStringLiteral("Zeta-Italic"));
        QCOMPARE(r.lines.at(0).value("enFamilyName").toString(), QStringLiteral("Zeta"));
        QCOMPARE(r.lines.at(1).value("familyName").toString(), QString::fromUtf8("黑体"));
        QCOMPARE(r.lines.at(1).value("styleName").toString(), QStringLiteral("Regular"));
        QCOMPARE(r.lines.at(1).value("enFamilyName").toString(), QString());
    }
};

QTEST_GUILESS_MAIN(TestFontCli)
#include "tst_fontcli.moc"
