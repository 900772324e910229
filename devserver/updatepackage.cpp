#include "devserver/updatepackage.h"

#include "service/signing.h"
#include "zipextract/zipwriter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace UpdatePackage {

QStringList programFiles()
{
    return {QStringLiteral("quillora"), QStringLiteral("vantorel"),
            QStringLiteral("libSorvane.so")};
}

QString cacheName(const QString &sourceDir, const QString &version)
{
    QString key = version + QLatin1Char('\n') + QFileInfo(sourceDir).absoluteFilePath();
    for (const QString &name : programFiles()) {
        const QFileInfo file(sourceDir + QLatin1Char('/') + name);
        if (file.isFile())
            key += QStringLiteral("\n%1 %2 %3")
                       .arg(name)
                       .arg(file.size())
                       .arg(file.lastModified().toMSecsSinceEpoch());
    }
    return md5Hex(key.toUtf8()) + QStringLiteral(".zip");
}

bool build(const QString &zipPath, const QString &sourceDir, const QString &version,
           QString *error)
{
    ZipWriter zip(zipPath);
    for (const QString &name : programFiles()) {
        QFile file(sourceDir + QLatin1Char('/') + name);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1").arg(file.fileName());
            return false;
        }
        if (!zip.addFile(name.toUtf8(), file.readAll()))
            break;
    }
    const QByteArray marker =
        QStringLiteral("Quillora %1\n开发服务生成的更新包 / update package made by the "
                       "development service\n")
            .arg(version)
            .toUtf8();
    zip.addFile(QStringLiteral("UPDATE-%1.txt").arg(version).toUtf8(), marker);
    if (!zip.close()) {
        *error = zip.errorString();
        return false;
    }
    return true;
}

} // namespace UpdatePackage

QByteArray groupPage(const QString &path)
{
    const char *group = path == QLatin1String("/group/wechat.html") ? "微信群"
                        : path == QLatin1String("/group/qq.html")   ? "QQ群"
                                                                    : nullptr;
    if (!group)
        return QByteArray();
    return QStringLiteral("<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<title>加入%1</title></head><body><h1>Quillora 用户%1</h1>"
                          "<p>开发服务的示例页面：正式服务在这里给出加入%1的方式。</p>"
                          "</body></html>\n")
        .arg(QString::fromUtf8(group))
        .toUtf8();
}
