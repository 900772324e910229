#pragma once

#include <climits>

#include "fonts/fontrecords.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

class FtManager;

// Tag, error code and message of a service reply. errcode 0 is the only success; a reply
// that is empty, not JSON or not an object reads as errcode -1.
struct ReplyEnvelope
{
    int tag = 0;
    int errcode = -1;
    QString message;

    bool succeeded() const { return errcode == 0; }
};

// Strict reader, stores nothing: "tag" only as a string of digits, "message" only as a
// string, "errcode" as a number (a string of digits is read as its number; anything
// else counts as a failure).
ReplyEnvelope parseEnvelope(const QByteArray &bytes);

// Tolerant reader: "errcode" and "tag" as numbers or strings of digits, "message" as any
// scalar. On errcode 0 it marks the manager online and stores the payload of the tag:
// tag groups (102), favourites (107), the user record (114, 117), the profile upload's
// answer (119), the latest version (121) and the image list (127).
ReplyEnvelope dispatchReply(const QByteArray &bytes, FtManager &manager);

// One catalogue font object; the record is filled either way, the result says whether it
// has both "fontid" and "fontname" and may be used.
bool parseFontObject(const QJsonObject &object, FontAV &font);

// Appends the usable fonts of an array in order; 0 for an empty array, else 1.
// At most `maxFonts` records are appended; the rest of the array is not read.
int parseFontArray(const QJsonArray &array, QVector<FontAV> &fonts, int maxFonts = INT_MAX);

// Appends the groups that have at least one usable child; returns 1.
int parseTagGroups(const QJsonArray &array, QList<TagGroup> &groups);

// Appends the children with a non-empty id and name, both JSON strings; returns 1.
int parseTagChildren(const QJsonArray &array, QList<TagItem> &children);

// Sets font id -> image address for every element with an id above 0 and an address,
// later elements replacing earlier ones; 0 for an empty array, else 1.
int parseImageList(const QJsonArray &array, QMap<int, QString> &images);

// The all-font reply: -1 for empty bytes; 0 when it is no successful tag-100 reply;
// otherwise its "count" (0 when absent), after appending its "lists" to `fonts`, at most
// `maxFonts` of them.
int parseCatalogueReply(const QByteArray &bytes, QVector<FontAV> &fonts, ReplyEnvelope &envelope,
                        int maxFonts = INT_MAX);

// Reply text made fit for a one-line log entry: line breaks become spaces.
QString singleLine(QString text);
