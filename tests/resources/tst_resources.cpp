#include "resources/quilloraresources.h"
#include "updater/vantorelresources.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMovie>
#include <QPixmap>
#include <QRegularExpression>
#include <QtTest>

// Every picture the windows name must be compiled in: a missing one shows as an
// empty button, which no other test notices.
class TestResources : public QObject
{
    Q_OBJECT

private:
    static void addRows(const QStringList &paths)
    {
        for (const QString &path : paths)
            QTest::newRow(qPrintable(path)) << path;
    }

    static void checkLoads(const QString &path)
    {
        if (path.endsWith(QLatin1String(".gif"))) {
            QMovie movie(path);
            QVERIFY2(movie.isValid(), qPrintable(path));
            QVERIFY2(movie.frameCount() > 1, qPrintable(path));
            return;
        }
        if (path.endsWith(QLatin1String(".qss"))) {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            QVERIFY(file.readAll().contains("QScrollBar::handle:vertical"));
            return;
        }
        QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
    }

private slots:
    void initTestCase()
    {
        initQuilloraResources();
        initVantorelResources();
    }

    void named_data()
    {
        QTest::addColumn<QString>("path");
        const QString images = QStringLiteral(":/images/images/%1.png");
        for (const char *name :
             {"logo", "imgUsr", "imgUsrOn", "headimg", "mask", "Minimize", "MinimizeHover",
              "CloseInit", "CloseHover", "cloud", "cloudon", "Local", "Localon", "collect",
              "collecton", "love", "nolove", "search", "soso_close", "pulldown", "expand",
              "packUp", "tag_check", "tag_checkno", "msg_nolog", "msg_nolove", "usrinto",
              "feedback", "screen", "usr_edit", "usr_version", "usr_pass", "usr_logout"})
            addRows({images.arg(QLatin1String(name))});
        const QString guide = QStringLiteral(":/guide/guide/%1.png");
        for (const char *name :
             {"guidecloud", "cloud_up", "cloud_down", "txt_cloud", "myshow", "txt_myshow",
              "iknow", "guidelove", "love_up", "love_down", "txt_love", "fontsize", "txt_size",
              "guidelocal", "local_up", "local_down", "txt_local", "fontset", "txt_use"})
            addRows({guide.arg(QLatin1String(name))});
        addRows({QStringLiteral(":/images/images/move_load.gif"),
                 QStringLiteral(":/qss/style/verscrollbar.qss"),
                 QStringLiteral(":/imgs/imgs/close_win.png"),
                 QStringLiteral(":/imgs/imgs/min_win.png"),
                 QStringLiteral(":/imgs/imgs/update_art.png")});
    }
    void named() { QFETCH(QString, path); checkLoads(path); }

    // Whatever path the window code writes, in a string or a style sheet.
    void usedInCode_data()
    {
        QTest::addColumn<QString>("path");
        const QRegularExpression resource(QStringLiteral(":/[A-Za-z0-9_/]+\\.(png|gif|qss)"));
        QSet<QString> found;
        for (const char *dir : {"ui", "updater"}) {
            QDirIterator it(QStringLiteral(QUILLORA_SOURCE_DIR "/") + QLatin1String(dir),
                            {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                auto matches = resource.globalMatch(QString::fromUtf8(file.readAll()));
                while (matches.hasNext())
                    found.insert(matches.next().captured());
            }
        }
        QVERIFY(!found.isEmpty()); // the updater's buttons at least
        QStringList paths = found.values();
        paths.sort();
        addRows(paths);
    }
    void usedInCode() { QFETCH(QString, path); checkLoads(path); }

    void hicolorIcons_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void hicolorIcons()
    {
        QFETCH(int, size);
        const QImage icon(QStringLiteral(QUILLORA_ICON_DIR "/%1x%1/apps/quillora.png").arg(size));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(QFile::exists(QStringLiteral(QUILLORA_ICON_DIR "/scalable/apps/quillora.svg")));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
