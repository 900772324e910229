#pragma once

#include "service/retrybackoff.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class FtManager;
class QNetworkAccessManager;

// Loads the service's whole catalogue (tag 100, one page of 8000) and its tag tree
// (tag 102) into the font manager, and tells the interface what to redraw. The main
// window owns one and only wires its signals; everything runs on the GUI thread.
class CatalogueLoader : public QObject
{
    Q_OBJECT

public:
    // Most positions the cloud list is ever given, whatever "count" a reply claims, and
    // most fonts kept from a reply; the rest are not read.
    static constexpr int kMaxCatalogueSize = 100000;
    // A reply growing beyond this is cut off and counts as a failed load: a full
    // catalogue of kMaxCatalogueSize records takes about half of it.
    static constexpr qint64 kMaxReplyBytes = 64 * 1024 * 1024;
    // The cloud page button asks again while fewer names than this are indexed.
    static constexpr int kAskAgainBelow = 50;

    CatalogueLoader(FtManager &manager, QNetworkAccessManager &network, QObject *parent = nullptr);

    // Sends the all-font request with the current token; the reply goes to
    // onGotAllFontRecords().
    void requestAllFonts();
    // Sends the tag tree request; the reply goes to onGotFontTags().
    void requestFontTags();

    // The cloud page button: asks again when the catalogue is still (nearly) empty and no
    // request is under way. True when a request went out.
    bool askAgainIfSparse();
    // The tag panel: asks for the tree while none is known. True when a request went out.
    bool requestFontTagsIfMissing();

    bool isRequestInFlight() const { return m_requestInFlight; }
    int catalogueCount() const { return m_catalogueCount; }
    bool catalogueReceived() const { return m_catalogueReceived; }
    int indexedFontCount() const { return m_indexedFonts; }

    // The local page is refilled after a catalogue arrives only once the installed-font
    // scan is done and its first card has no cached picture; the main window reports the
    // first and supplies the second.
    void setLocalScanFinished(bool finished) { m_localScanFinished = finished; }
    void setLocalFirstCardName(std::function<QString()> firstName)
    {
        m_localFirstCardName = std::move(firstName);
    }

    // The work of the two reply slots, on reply bytes. `networkError` is the transport's
    // description of a failed request, empty when a reply arrived.
    void applyCatalogueReply(const QByteArray &bytes, const QString &networkError = QString());

    // True while the last catalogue request failed and nothing was loaded before it.
    bool isUnreachable() const { return m_unreachable; }
    // Pause before the next automatic attempt, 0 when none is planned.
    int retryPendingMs() const { return m_retryTimer.isActive() ? m_retryTimer.interval() : 0; }

    // Asks again now (the notice's retry link), unless a request is under way.
    bool retryNow();
    void applyTagReply(const QByteArray &bytes);

public slots:
    void onGotAllFontRecords();
    void onGotFontTags();

signals:
    void msgCloudTotalChanged(int total);
    void msgCloudPageRefill();
    void msgLocalPageRefill();
    void msgTagTreeChanged();
    // A tray balloon (information icon, 5000 ms).
    void msgBalloon(const QString &title, const QString &text);
    // The catalogue could not be loaded and none is shown; the loader asks again by
    // itself after a growing pause.
    void msgCatalogueUnreachable(const QString &reason);
    // A catalogue arrived after msgCatalogueUnreachable.
    void msgCatalogueReachable();

private:
    bool hasPreviewImage(const QString &name) const;
    void catalogueFailed(const QString &reason);

    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    bool m_requestInFlight = false;
    int m_catalogueCount = 0;
    bool m_catalogueReceived = false;
    int m_indexedFonts = 0;
    bool m_localScanFinished = false;
    std::function<QString()> m_localFirstCardName;
    bool m_unreachable = false;
    // Automatic attempts after a failure: at most once a minute in the long run.
    RetryBackoff m_backoff{2000, 60000};
    QTimer m_retryTimer;
};
