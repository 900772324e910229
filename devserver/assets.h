#pragma once

#include <optional>

#include "devserver/previews.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>

class AccountStore;
class Catalogue;
struct CatalogueFont;

struct HttpReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// Everything fetched by address rather than by operation tag: font archives,
// preview pictures, head images and the update package. Built on demand and kept
// under `cacheDir`.
class AssetStore
{
public:
    AssetStore(const QString &cacheDir, const Catalogue *catalogue, AccountStore *accounts,
               const QString &latestVersion);

    // Addresses handed out in replies; `base` is the service address ending in "/".
    static QString archiveUrl(const QString &base, const CatalogueFont &font);
    static QString previewUrl(const QString &base, const CatalogueFont &font,
                              const QString &text = QString());
    // Head images go by their random name only, so counting users finds none.
    static QString headUrl(const QString &base, const QString &headKey);
    QString updatePackageUrl(const QString &base) const;
    // The package is made of the program files in `dir`; `url` replaces the package
    // address handed out (any text, even empty, for the client's failure cases).
    void setUpdateSource(const QString &dir) { m_updateSource = dir; }
    void setUpdateUrl(const std::optional<QString> &url) { m_updateUrl = url; }
    QString installerUrl(const QString &base) const;

    // At most this many preview pictures stay on disk; the least recently used go.
    void setPreviewCacheLimit(int pictures);

    // Answers a GET of `path` (with the preview text from the query, if any).
    HttpReply serve(const QString &path, const QString &text, const QString &base);

    // The longest preview text drawn; longer ones are cut.
    static constexpr int kMaxPreviewText = 32;

private:
    HttpReply archive(const CatalogueFont &font, const QString &base);
    HttpReply preview(const CatalogueFont &font, const QString &text);
    HttpReply head(const QString &key);
    void usedPreview(const QString &path);
    HttpReply updatePackage(const QString &fileName);

    QString m_cacheDir;
    const Catalogue *m_catalogue;
    AccountStore *m_accounts;
    QString m_latestVersion;
    QString m_updateSource;
    std::optional<QString> m_updateUrl;
    PreviewRenderer m_renderer;
    int m_previewLimit = 2000;
    bool m_previewsScanned = false;
    quint64 m_previewClock = 0;
    QHash<QString, quint64> m_previewUse; // path -> last use
    QMap<quint64, QString> m_previewsByUse;
};
