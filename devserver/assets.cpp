#include "devserver/assets.h"

#include "devserver/accountstore.h"
#include "devserver/catalogue.h"
#include "service/signing.h"
#include "devserver/updatepackage.h"
#include "zipextract/zipwriter.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace {

constexpr qint64 kMaxFontFile = 64 * 1024 * 1024;

HttpReply notFound()
{
    HttpReply r;
    r.status = 404;
    r.contentType = "text/plain; charset=utf-8";
    r.body = "not found\n";
    return r;
}

HttpReply serverError(const QString &why)
{
    qWarning("devserver: %s", qPrintable(why));
    HttpReply r;
    r.status = 500;
    r.contentType = "text/plain; charset=utf-8";
    r.body = "internal error\n";
    return r;
}

HttpReply ok(const QByteArray &type, const QByteArray &body)
{
    HttpReply r;
    r.contentType = type;
    r.body = body;
    return r;
}

QByteArray readWhole(const QString &path, qint64 limit)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > limit)
        return QByteArray();
    return f.readAll();
}

// Written to a temporary file and renamed, so a half-built file never serves.
bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

// The version as it may appear in a file name or an address.
QString fileSafe(const QString &version)
{
    QString out = version;
    for (QChar &c : out) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('.') || c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!plain)
            c = QLatin1Char('_');
    }
    return out.left(64);
}

int idFromName(const QString &name, const QString &suffix)
{
    if (!name.endsWith(suffix))
        return 0;
    bool okNumber = false;
    const int id = name.left(name.size() - suffix.size()).toInt(&okNumber, 10);
    return okNumber && id > 0 ? id : 0;
}

} // namespace

AssetStore::AssetStore(const QString &cacheDir, const Catalogue *catalogue, AccountStore *accounts,
                       const QString &latestVersion)
    : m_cacheDir(cacheDir), m_catalogue(catalogue), m_accounts(accounts),
      m_latestVersion(latestVersion)
{
}

QString AssetStore::archiveUrl(const QString &base, const CatalogueFont &font)
{
    return base + QStringLiteral("download/%1.zip").arg(font.id);
}

QString AssetStore::previewUrl(const QString &base, const CatalogueFont &font, const QString &text)
{
    QString url = base + QStringLiteral("preview/%1.png").arg(font.id);
    if (!text.isEmpty())
        url += QStringLiteral("?text=") +
               QString::fromLatin1(QUrl::toPercentEncoding(text.left(kMaxPreviewText)));
    return url;
}

QString AssetStore::headUrl(const QString &base, const QString &headKey)
{
    if (headKey.isEmpty())
        return QString();
    // Every new picture gets a new name, so clients never keep an outdated one.
    return base + QStringLiteral("heads/%1.png").arg(headKey);
}

QString AssetStore::updatePackageUrl(const QString &base) const
{
    if (m_updateUrl)
        return *m_updateUrl;
    return base + QStringLiteral("update/quillora-%1-update.zip").arg(fileSafe(m_latestVersion));
}

QString AssetStore::installerUrl(const QString &base) const
{
    return base + QStringLiteral("update/quillora-%1-full.zip").arg(fileSafe(m_latestVersion));
}

HttpReply AssetStore::serve(const QString &path, const QString &text, const QString &base)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return notFound();
    const QString &kind = parts.at(0);
    const QString &name = parts.at(1);
    if (kind == QLatin1String("download")) {
        const CatalogueFont *font = m_catalogue->font(idFromName(name, QStringLiteral(".zip")));
        return font ? archive(*font, base) : notFound();
    }
    if (kind == QLatin1String("preview")) {
        const CatalogueFont *font = m_catalogue->font(idFromName(name, QStringLiteral(".png")));
        if (!font)
            return notFound();
        return preview(*font, text.isEmpty() ? font->name : text.left(kMaxPreviewText));
    }
    if (kind == QLatin1String("heads")) {
        static const QRegularExpression re(QStringLiteral("^([0-9a-f]{32})\\.png$"));
        const auto m = re.match(name);
        return m.hasMatch() ? head(m.captured(1)) : notFound();
    }
    if (kind == QLatin1String("update"))
        return updatePackage(name);
    return notFound();
}

HttpReply AssetStore::archive(const CatalogueFont &font, const QString &base)
{
    // The password hangs on the whole address, so each address gets its own archive.
    const QString url = archiveUrl(base, font);
    const QString key =
        md5Hex((font.file + QLatin1Char('\n') + font.ttfName + QLatin1Char('\n') + url).toUtf8());
    const QString path = m_cacheDir + QStringLiteral("/archives/") + key + QStringLiteral(".zip");
    QByteArray bytes = readWhole(path, 2 * kMaxFontFile);
    if (!bytes.isEmpty())
        return ok("application/zip", bytes);

    const QByteArray fontBytes = readWhole(font.file, kMaxFontFile);
    if (fontBytes.isEmpty())
        return serverError(QStringLiteral("cannot read %1").arg(font.file));
    QDir().mkpath(m_cacheDir + QStringLiteral("/archives"));
    const QString temp = path + QStringLiteral(".part");
    {
        ZipWriter zip(temp, archivePassword(url));
        if (!zip.addFile(font.ttfName.toUtf8(), fontBytes) || !zip.close()) {
            QFile::remove(temp);
            return serverError(QStringLiteral("cannot build %1: %2").arg(path, zip.errorString()));
        }
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        return serverError(QStringLiteral("cannot store %1").arg(path));
    }
    bytes = readWhole(path, 2 * kMaxFontFile);
    return bytes.isEmpty() ? serverError(QStringLiteral("cannot read %1").arg(path))
                           : ok("application/zip", bytes);
}

HttpReply AssetStore::preview(const CatalogueFont &font, const QString &text)
{
    const QString key = md5Hex((font.file + QLatin1Char('\n') + text).toUtf8());
    const QString path = m_cacheDir + QStringLiteral("/previews/") + key.left(2) +
                         QLatin1Char('/') + key + QStringLiteral(".png");
    const QByteArray cached = readWhole(path, 4 * 1024 * 1024);
    if (!cached.isEmpty()) {
        usedPreview(path);
        return ok("image/png", cached);
    }

    const QImage image = m_renderer.render(font.file, text);
    if (image.isNull())
        return serverError(QStringLiteral("cannot draw with %1").arg(font.file));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return serverError(QStringLiteral("cannot encode a preview of %1").arg(font.file));
    if (writeAtomically(path, png)) // a failed cache write only costs a redraw next time
        usedPreview(path);
    return ok("image/png", png);
}

void AssetStore::setPreviewCacheLimit(int pictures)
{
    m_previewLimit = pictures;
}

// Every preview text makes a picture, so the cache keeps only the recently used ones.
void AssetStore::usedPreview(const QString &path)
{
    if (!m_previewsScanned) {
        // Pictures of earlier runs join in the order they were last written.
        m_previewsScanned = true;
        QMultiMap<QDateTime, QString> found;
        QDirIterator it(m_cacheDir + QStringLiteral("/previews"), {QStringLiteral("*.png")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            found.insert(it.fileInfo().lastModified(), it.filePath());
        }
        for (const QString &file : qAsConst(found))
            usedPreview(file);
    }
    auto it = m_previewUse.find(path);
    if (it != m_previewUse.end())
        m_previewsByUse.remove(it.value());
    m_previewUse.insert(path, ++m_previewClock);
    m_previewsByUse.insert(m_previewClock, path);
    while (m_previewsByUse.size() > m_previewLimit) {
        const QString oldest = m_previewsByUse.take(m_previewsByUse.firstKey());
        m_previewUse.remove(oldest);
        QFile::remove(oldest);
    }
}

HttpReply AssetStore::head(const QString &key)
{
    const QByteArray png = m_accounts->headImage(key);
    return png.isEmpty() ? notFound() : ok("image/png", png);
}

HttpReply AssetStore::updatePackage(const QString &fileName)
{
    const QString version = fileSafe(m_latestVersion);
    const QString update = QStringLiteral("quillora-%1-update.zip").arg(version);
    const QString full = QStringLiteral("quillora-%1-full.zip").arg(version);
    if (fileName != update && fileName != full)
        return notFound();
    constexpr qint64 kMaxPackage = 1024 * 1024 * 1024;
    const QString path = m_cacheDir + QStringLiteral("/updates/") +
                         UpdatePackage::cacheName(m_updateSource, m_latestVersion);
    QByteArray bytes = readWhole(path, kMaxPackage);
    if (!bytes.isEmpty())
        return ok("application/zip", bytes);

    QDir().mkpath(m_cacheDir + QStringLiteral("/updates"));
    const QString temp = path + QStringLiteral(".part");
    QString why;
    if (!UpdatePackage::build(temp, m_updateSource, m_latestVersion, &why)) {
        QFile::remove(temp);
        return serverError(QStringLiteral("cannot build %1: %2").arg(path, why));
    }
    QFile::remove(path);
    if (!QFile::rename(temp, path))
        return serverError(QStringLiteral("cannot store %1").arg(path));
    bytes = readWhole(path, kMaxPackage);
    return bytes.isEmpty() ? serverError(QStringLiteral("cannot read %1").arg(path))
                           : ok("application/zip", bytes);
}
