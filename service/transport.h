#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <functional>

class FtStorage;
class QNetworkAccessManager;
class QNetworkReply;
class QObject;

// Results of postAndWait. Callers treat only PostSuccess as success.
enum PostResult {
    PostFailed = 0,       // a reply arrived, but its errcode is not 0 or it is unreadable
    PostTimedOut = 1,     // the time limit ran out first
    PostNetworkError = 2, // connection, TLS or HTTP failure
    PostSuccess = 3,      // a reply with errcode 0
};

// Where every request goes: the build's service address unless replaced (tests and the
// development tools point it at a local service).
QUrl serviceUrl();
void setServiceUrl(const QUrl &url);

// The request frame: the service address, the form content type and the body length.
// Cookies are neither sent nor kept.
QNetworkRequest serviceRequest(int bodyLength);

// Posts a signed body on the caller's manager. The caller connects finished(), reads the
// reply, then aborts it and deletes it later.
QNetworkReply *postForm(QNetworkAccessManager &manager, const QString &body);

// Posts a body on a manager of its own and waits in a nested event loop, at most
// `timeoutMs`. On PostFailed and PostSuccess the reply bytes are in `bytes`; otherwise
// `bytes` is left as it was. Writes one "bk=" line to FontMsg.log through `log`; a network
// failure adds its description after ";error=".
int postAndWait(const QString &body, QByteArray &bytes, int timeoutMs, FtStorage &log);

// postAndWait without the wait, on the caller's manager: writes the same "bk=" line and
// calls `done` (while `context` lives) with the result and the reply bytes once the reply
// is in or `timeoutMs` ran out. Aborting the returned reply counts as a network error.
QNetworkReply *postWithLimit(QNetworkAccessManager &manager, const QString &body, int timeoutMs,
                             FtStorage &log, QObject *context,
                             const std::function<void(int, const QByteArray &)> &done);
