#pragma once

#include "fonts/fontrecords.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class FtManager;
class QNetworkAccessManager;
class QNetworkReply;

// The signed-in user's favourites: toggles from the cards (tags 105 and 106) and the
// list from the service (tag 107). A toggle shows at once; when the service refuses it
// or cannot be reached it is undone and the user is told why. A list that arrives while
// toggles are on their way, or that was asked for before a toggle went through, gets
// those toggles applied on top, so it never undoes what the user just did.
class FavouritesController : public QObject
{
    Q_OBJECT

public:
    enum Outcome {
        Sent,        // changed here, request on its way
        Unchanged,   // already so; nothing to send
        NoFontId,    // the font has no id the service knows: nothing changed
        NotSignedIn, // nothing changed
    };

    FavouritesController(FtManager &manager, QNetworkAccessManager &network,
                         QObject *parent = nullptr);

    // add: what the user asked for (the heart was empty when clicked).
    Outcome toggle(const QString &name, bool add);
    void requestLoveList();
    // Logout: replies still on their way change nothing any more.
    void forget();
    int pendingCount() const;

signals:
    // The favourites group changed for name (also when a toggle is undone).
    void lovedChanged(const QString &name, bool loved);
    // The favourites group was refilled from the service.
    void loveListArrived();
    void message(const QString &text);

public slots:
    void onReplyFontCollect();
    void onGotLoveList();

private:
    enum State { Pending, Done };
    struct Toggle
    {
        QNetworkReply *reply = nullptr;
        quint64 seq = 0;
        FontAV font;
        bool add = true;
        bool lovedBefore = false; // what an undo goes back to
        int position = 0;         // where a removed font stood
        State state = Pending;
    };

    void apply(const Toggle &t, bool loved, int position);
    void prune();

    FtManager &m_ft;
    QNetworkAccessManager &m_network;
    QVector<Toggle> m_toggles; // in sending order
    QPointer<QNetworkReply> m_loveListReply;
    quint64 m_loveListSeq = 0; // first toggle sent after the list was asked for
    quint64 m_nextSeq = 1;
};
