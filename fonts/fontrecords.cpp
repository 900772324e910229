#include "fonts/fontrecords.h"

#include <algorithm>

void FontGroup::add(const FontAV &font)
{
    if (!m_names.contains(font.fontname)) {
        m_fonts.append(font);
        m_names.insert(font.fontname);
        return;
    }
    auto it = std::find_if(m_fonts.begin(), m_fonts.end(),
                           [&](const FontAV &f) { return f.fontname == font.fontname; });
    if (it != m_fonts.end())
        *it = font;
}

void FontGroup::insert(int position, const FontAV &font)
{
    if (m_names.contains(font.fontname))
        return;
    m_fonts.insert(qBound(0, position, m_fonts.size()), font);
    m_names.insert(font.fontname);
}

int FontGroup::indexOf(const QString &fontname) const
{
    if (!m_names.contains(fontname))
        return -1;
    for (int i = 0; i < m_fonts.size(); ++i)
        if (m_fonts.at(i).fontname == fontname)
            return i;
    return -1;
}

void FontGroup::remove(const QString &fontname)
{
    auto it = std::find_if(m_fonts.begin(), m_fonts.end(),
                           [&](const FontAV &f) { return f.fontname == fontname; });
    if (it != m_fonts.end())
        m_fonts.erase(it);
    m_names.remove(fontname);
}

void FontGroup::clear()
{
    m_fonts.clear();
    m_names.clear();
}
