#include "service/favourites.h"

#include "fonts/ftmanager.h"
#include "service/replyparser.h"
#include "service/requestbuilder.h"
#include "service/transport.h"

#include <QNetworkReply>

#include <algorithm>

namespace {

QByteArray takeReply(QNetworkReply *reply, bool *networkOk)
{
    *networkOk = reply->error() == QNetworkReply::NoError;
    const QByteArray bytes = *networkOk ? reply->readAll() : QByteArray();
    reply->abort();
    reply->deleteLater();
    return bytes;
}

} // namespace

FavouritesController::FavouritesController(FtManager &manager, QNetworkAccessManager &network,
                                           QObject *parent)
    : QObject(parent), m_ft(manager), m_network(network)
{
}

FavouritesController::Outcome FavouritesController::toggle(const QString &name, bool add)
{
    if (!m_ft.bLogin)
        return NotSignedIn;
    FontGroup &group = m_ft.loggedInUser().favourites;
    const bool loved = group.contains(name);
    if (loved == add) {
        emit lovedChanged(name, loved);
        return Unchanged;
    }
    Toggle t;
    t.font.fontname = name;
    if (const auto known = m_ft.cloudFont(name))
        t.font.fontid = known->fontid;
    else if (loved)
        t.font.fontid = group.fonts().at(group.indexOf(name)).fontid;
    // Without an id the service cannot be asked, so the heart must not pretend.
    if (t.font.fontid <= 0) {
        emit message(QStringLiteral("这款字体暂时无法收藏"));
        return NoFontId;
    }
    t.seq = m_nextSeq++;
    t.add = add;
    t.lovedBefore = loved;
    t.position = qMax(0, group.indexOf(name));
    apply(t, add, 0);
    t.reply = postForm(m_network,
                       RequestBuilder::collectFont(m_ft.requestContext.token, t.font.fontid, add));
    connect(t.reply, &QNetworkReply::finished, this, &FavouritesController::onReplyFontCollect);
    m_toggles.append(t);
    return Sent;
}

void FavouritesController::apply(const Toggle &t, bool loved, int position)
{
    FontGroup &group = m_ft.loggedInUser().favourites;
    if (loved)
        group.insert(position, t.font);
    else
        group.remove(t.font.fontname);
    emit lovedChanged(t.font.fontname, loved);
}

void FavouritesController::onReplyFontCollect()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    bool networkOk = false;
    const QByteArray bytes = takeReply(reply, &networkOk);
    const auto it = std::find_if(m_toggles.begin(), m_toggles.end(),
                                 [reply](const Toggle &t) { return t.reply == reply; });
    if (it == m_toggles.end())
        return; // signed out since
    const ReplyEnvelope envelope = networkOk ? dispatchReply(bytes, m_ft) : ReplyEnvelope();
    if (envelope.succeeded()) {
        it->state = Done;
        it->reply = nullptr;
        prune();
        return;
    }
    const Toggle failed = *it;
    m_toggles.erase(it);
    // A later toggle of the same font is what the user wants now; it only has to know
    // what to go back to should it fail too.
    const auto later = std::find_if(m_toggles.begin(), m_toggles.end(), [&](const Toggle &t) {
        return t.seq > failed.seq && t.state == Pending && t.font.fontname == failed.font.fontname;
    });
    if (later != m_toggles.end()) {
        later->lovedBefore = failed.lovedBefore;
        later->position = failed.position;
    } else {
        apply(failed, failed.lovedBefore, failed.position);
    }
    const QString what = failed.add ? QStringLiteral("收藏失败") : QStringLiteral("取消收藏失败");
    if (!networkOk || bytes.isEmpty())
        emit message(what + QStringLiteral("：网络异常"));
    else
        emit message(envelope.message.isEmpty() ? what : envelope.message);
}

void FavouritesController::requestLoveList()
{
    // Only the newest list counts; an older one still on its way is ignored.
    m_loveListSeq = m_nextSeq;
    m_loveListReply =
        postForm(m_network, RequestBuilder::loveList(m_ft.requestContext.previewText, QString(),
                                                     m_ft.requestContext.token));
    connect(m_loveListReply, &QNetworkReply::finished, this, &FavouritesController::onGotLoveList);
}

void FavouritesController::onGotLoveList()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    bool networkOk = false;
    const QByteArray bytes = takeReply(reply, &networkOk);
    if (reply != m_loveListReply)
        return;
    m_loveListReply = nullptr;
    // A reply that arrives after a logout must not bring the favourites back.
    if (!m_ft.bLogin || !networkOk || !dispatchReply(bytes, m_ft).succeeded()) {
        prune();
        return;
    }
    FontGroup &group = m_ft.loggedInUser().favourites;
    for (const Toggle &t : qAsConst(m_toggles)) {
        if (t.state == Pending || t.seq >= m_loveListSeq) {
            // Moved to the front even when the list holds it already: the service may
            // have stored two quick clicks in the other order, and the newest click
            // comes first on the page.
            group.remove(t.font.fontname);
            if (t.add)
                group.insert(0, t.font);
        }
    }
    prune();
    emit loveListArrived();
}

void FavouritesController::forget()
{
    m_toggles.clear();
    m_loveListReply = nullptr;
}

int FavouritesController::pendingCount() const
{
    return int(std::count_if(m_toggles.cbegin(), m_toggles.cend(),
                             [](const Toggle &t) { return t.state == Pending; }));
}

void FavouritesController::prune()
{
    // Finished toggles matter only to a list that is still on its way.
    if (m_loveListReply)
        return;
    m_toggles.erase(std::remove_if(m_toggles.begin(), m_toggles.end(),
                                   [](const Toggle &t) { return t.state == Done; }),
                    m_toggles.end());
}
