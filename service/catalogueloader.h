#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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
    // Most positions the cloud list is ever given, whatever "count" a reply claims.
    static constexpr int kMaxCatalogueSize = 100000;
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

    // The work of the two reply slots, on reply bytes.
    void applyCatalogueReply(const QByteArray &bytes);
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

private:
    bool hasPreviewImage(const QString &name) const;

    FtManager &m_manager;
    QNetworkAccessManager &m_network;
    bool m_requestInFlight = false;
    int m_catalogueCount = 0;
    bool m_catalogueReceived = false;
    int m_indexedFonts = 0;
    bool m_localScanFinished = false;
    std::function<QString()> m_localFirstCardName;
};
