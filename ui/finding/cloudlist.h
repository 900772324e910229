#pragma once

#include "fonts/fontrecords.h"

#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QVector>

class FtManager;

// Whether the characters of `text` occur in `name` in the same order, each compared
// case-insensitively (not necessarily next to each other). An empty name never matches;
// an empty text matches any other name.
bool matchesSearch(const QString &name, const QString &text);

// Fills `list` with the names of the records whose name or English name matches the
// text, in name order, and `index` with name -> position; returns their number. An
// empty text gives 0 and changes nothing.
int searchFonts(const QMap<QString, FontAV> &records, const QString &text, QVector<QString> &list,
                QMap<QString, int> &index);

// Which list of names the cloud page reads: the whole catalogue in the service's
// order, the fonts left by the tag filter, or a search result. The catalogue is the font
// manager's; the two derived lists are this object's, and only it writes them.
class CloudList
{
public:
    enum Which { Full, Filtered, Search };

    explicit CloudList(const FtManager &manager) : m_manager(manager) {}

    Which current() const { return m_current; }
    const QVector<QString> &names() const;
    // A filter or search that found nothing: the no-result notice stands for the page.
    bool isEmptyResult() const { return m_current != Full && names().isEmpty(); }

    void show(Which which) { m_current = which; }
    // The fonts matching any of the points become the current list. No points: the
    // whole catalogue. Returns the number listed.
    int applyTags(const QList<QPoint> &points);
    // The fonts matching the text become the current list (even when none do); an empty
    // text shows the whole catalogue. Returns the number found.
    int search(const QString &text);
    const QString &lastSearchText() const { return m_lastSearch; }

private:
    const FtManager &m_manager;
    Which m_current = Full;
    QString m_lastSearch;
    // Names left by the tag filter and by the search, each with a position index.
    QVector<QString> m_filtered;
    QMap<QString, int> m_filteredIndex;
    QVector<QString> m_found;
    QMap<QString, int> m_foundIndex;
};
