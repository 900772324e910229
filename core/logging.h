#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Qt message handler: one line per message in <documents>/TessalyFont/msg/logMsg.log.
// Safe to call from any thread; whole lines never interleave.
void msgHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// The logMsg.log line for a message, without the line end.
QString formatMessageLine(const QMessageLogContext &context, const QString &message,
                          const QDateTime &now);

// The event-log line ("text  yyyy.MM.dd hh:mm:ss.zzz"), without the line end.
QString formatEventLine(const QString &text, const QDateTime &now);

// Appends one event-log line ending in CR LF to `filePath`; does nothing for an empty
// text. Returns false when the file could not be opened or written.
bool appendEventLine(const QString &filePath, const QString &text);

// The file msgHandler writes to.
QString messageLogPath();

// A run length as "hh:mm:ss" on a 24-hour clock: 25 hours read as "01:00:00".
QString formatRunLength(qint64 seconds);
