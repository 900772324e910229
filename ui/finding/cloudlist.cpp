#include "finding/cloudlist.h"

#include "fonts/ftmanager.h"
#include "finding/tagfilter.h"

namespace {

using CodePoints = QVector<uint>;

inline uint folded(uint cp)
{
    // Most names are ASCII: skip the table lookup for them.
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp;
    return QChar::toCaseFolded(cp);
}

CodePoints foldedCodePoints(const QString &text)
{
    CodePoints out;
    out.reserve(text.size());
    for (const uint c : text.toUcs4())
        out.append(folded(c));
    return out;
}

// Code points, not UTF-16 units: a character outside the basic plane is matched whole.
bool matchesFolded(const QString &name, const CodePoints &text)
{
    if (name.isEmpty())
        return false;
    const QChar *c = name.constData();
    const int n = name.size();
    int i = 0;
    for (const uint wanted : text) {
        bool found = false;
        while (i < n) {
            uint cp = c[i].unicode();
            ++i;
            if (QChar::isHighSurrogate(cp) && i < n && c[i].isLowSurrogate())
                cp = QChar::surrogateToUcs4(ushort(cp), c[i++].unicode());
            if (folded(cp) == wanted) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace

bool matchesSearch(const QString &name, const QString &text)
{
    return matchesFolded(name, foldedCodePoints(text));
}

int searchFonts(const QMap<QString, FontAV> &records, const QString &text, QVector<QString> &list,
                QMap<QString, int> &index)
{
    if (text.isEmpty())
        return 0;
    const CodePoints folded = foldedCodePoints(text);
    list.clear();
    index.clear();
    for (auto it = records.constBegin(); it != records.constEnd(); ++it) {
        if (matchesFolded(it->fontname, folded) || matchesFolded(it->font_en_name, folded)) {
            // Names arrive in ascending order: appending at the end is the cheap insert.
            index.insert(index.constEnd(), it.key(), list.size());
            list.append(it.key());
        }
    }
    return list.size();
}

const QVector<QString> &CloudList::names() const
{
    switch (m_current) {
    case Filtered:
        return m_filtered;
    case Search:
        return m_found;
    case Full:
        break;
    }
    return m_manager.initCloudVec;
}

int CloudList::applyTags(const QList<QPoint> &points)
{
    if (points.isEmpty()) {
        m_current = Full;
        return m_manager.initCloudVec.size();
    }
    filterByTags(m_manager.cloudFonts, m_filtered, points);
    m_filteredIndex.clear();
    for (int i = 0; i < m_filtered.size(); ++i)
        m_filteredIndex.insert(m_filteredIndex.constEnd(), m_filtered.at(i), i);
    m_current = Filtered;
    return m_filtered.size();
}

int CloudList::search(const QString &text)
{
    m_lastSearch = text;
    if (text.isEmpty()) {
        m_current = Full;
        return m_manager.initCloudVec.size();
    }
    searchFonts(m_manager.cloudFonts, text, m_found, m_foundIndex);
    m_current = Search;
    return m_found.size();
}
