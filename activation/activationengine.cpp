#include "activation/activationengine.h"

#include "fonts/fontnamereader.h"
#include "activation/fontsystem.h"
#include "fonts/ftmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QLibrary>
#include <QThread>

#include <string>

namespace {

using InteractionFunction = int (*)(const char *, const char *, const char *, int, void *);

#ifdef Q_OS_WIN
const char kLibraryFile[] = "Sorvane.dll";
#else
const char kLibraryFile[] = "libSorvane.so";
#endif

QString fromUtf8OrEmpty(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

ActivationEngine::ActivationEngine(FtManager &ftManager, FontSystem *system)
    : m_ft(ftManager), m_system(system ? system : &FontSystem::platform())
{
}

int ActivationEngine::activateFont(const QString &path, const QString &name, bool broadcast)
{
    LocalFont record;
    if (fillLocalFont(path, record) < 1)
        return -1;
    if (!QFileInfo(path).isFile() || name.isEmpty())
        return -1;

    m_ft.writeLog(QStringLiteral("开始激活") + name);
    const int r = m_system->registerFontFile(path);
    if (r > 0) {
        m_ft.writeLog(QStringLiteral("字体加载成功;"));
        addToProcessFontDatabase(path);
        if (broadcast) {
            m_system->announceFontChange();
            m_ft.writeLog(QStringLiteral("字体已广播;"));
        }
        record.showName.clear();
        m_ft.addActivated(name, record, path);
        // A second activation of a known name keeps its record but follows the new file.
        m_ft.downlist.insert(name, path);

        FontAV font;
        if (const auto cloud = m_ft.cloudFont(name))
            font = *cloud;
        else
            font.fontname = name;
        m_ft.loggedInUser().local.add(font);
    }
    m_ft.writeLog(QStringLiteral("字体激活") +
                  (r > 0 ? QStringLiteral("成功") : QStringLiteral("失败")) + QLatin1Char(':') +
                  name + QLatin1Char(';'));
    return r;
}

bool ActivationEngine::deactivateFont(const QString &name)
{
    if (!m_ft.isActivated(name))
        return false;
    const QString path = m_ft.downlist.value(name);
    m_ft.writeLog(QStringLiteral("开始停用") + name);
    if (!path.isEmpty() && !m_system->unregisterFontFile(path)) {
        m_ft.writeLog(QStringLiteral("字体停用失败:") + name + QLatin1Char(';'));
        return false;
    }
    removeFromProcessFontDatabase(path);
    m_system->announceFontChange();
    m_ft.removeActivated(name);
    m_ft.loggedInUser().local.remove(name);
    m_ft.writeLog(QStringLiteral("字体停用成功:") + name + QLatin1Char(';'));
    return true;
}

int ActivationEngine::applyToApp(const LocalFont &record)
{
    const std::string family = record.familyName.toStdString();
    const std::string enFamily = record.enFamilyName.toStdString();
    const std::string style = record.styleName.toStdString();
    const std::string ps = record.psName.toStdString();
    return callInteraction(family.c_str(), style.c_str(), ps.c_str(), 0, enFamily.c_str());
}

int ActivationEngine::callInteraction(const char *host, const char *sub, const char *ps, int flag,
                                      const char *eng)
{
    m_ft.writeLog(QStringLiteral("select-font: host=") + fromUtf8OrEmpty(host) +
                  QStringLiteral("; sub=") + fromUtf8OrEmpty(sub) + QStringLiteral("; ps=") +
                  fromUtf8OrEmpty(ps) + QStringLiteral("; eng=") + fromUtf8OrEmpty(eng) +
                  QLatin1Char(';'));

    // Loaded anew for every attempt, so a library replaced while the program runs is
    // picked up; the program's own copy wins over one on the system's search path.
    const QString local = QDir(libraryDir()).filePath(QLatin1String(kLibraryFile));
    QLibrary library(QFileInfo(local).isFile() ? local : QString::fromLatin1(kLibraryFile));
    int r = -1;
    if (library.load()) {
        const auto function =
            reinterpret_cast<InteractionFunction>(library.resolve("SV_FontSoftInteractionOfName"));
        if (function)
            r = function(host ? host : "", sub ? sub : "", ps ? ps : "", flag, nullptr);
        library.unload();
    }

    m_ft.writeLog(QStringLiteral("font_back=") + QString::number(r) + QLatin1Char(';'));
    return r;
}

QString ActivationEngine::libraryDir() const
{
    return m_libraryDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_libraryDir;
}

QString ActivationEngine::interactionDetail(int code)
{
    static const char *const details[] = {
        "",
        ",word文档不存在",
        ",word未安装",
        ",word创建失败",
        ",word交互失败",
        ",ppt文档不存在",
        ",ppt未安装",
        ",ppt创建失败",
        ",ppt交互失败",
        ",AI文档不存在",
        ",AI未安装",
        ",AI创建失败",
        ",AI交互失败",
        ",PS文档不存在",
        ",PS未安装",
        ",PS创建失败",
        ",PS交互失败！请选择需要设置字体的图层。",
        ",coreldraw文档不存在",
        ",coreldraw未安装",
        ",coreldraw创建失败",
        ",coreldraw交互失败",
        ",不存在任何文档",
        ",字体名为空",
        ",子名为空",
        ",PS名为空",
        "",
    };
    if (code >= 0 && code < int(sizeof(details) / sizeof(details[0])))
        return QString::fromUtf8(details[code]);
    return QStringLiteral("设置失败！");
}

namespace {

// File -> the id the toolkit gave it, so a deactivated file can leave again.
QHash<QString, int> &processFontIds()
{
    static QHash<QString, int> ids;
    return ids;
}

bool onGuiThread()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void addToProcessFontDatabase(const QString &path)
{
    if (!onGuiThread() || processFontIds().contains(path))
        return;
    const int id = QFontDatabase::addApplicationFont(path);
    if (id >= 0)
        processFontIds().insert(path, id);
}

void removeFromProcessFontDatabase(const QString &path)
{
    if (!onGuiThread() || !processFontIds().contains(path))
        return;
    QFontDatabase::removeApplicationFont(processFontIds().take(path));
}
