#include "finding/previewsetting.h"

#include <QVector>

PreviewSetting PreviewSetting::fromTyped(const QString &typed)
{
    PreviewSetting out;
    if (typed.trimmed().isEmpty())
        return out;
    int units = 0;
    for (int chars = 0; units < typed.size() && chars < kMaxChars; ++chars) {
        const bool pair = typed.at(units).isHighSurrogate() && units + 1 < typed.size() &&
                          typed.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    out.kind = PreviewText;
    out.text = typed.left(units);
    return out;
}

PreviewSetting PreviewSetting::fromMenu(int kind)
{
    PreviewSetting out;
    if (kind == PreviewEnglish) {
        out.kind = PreviewEnglish;
        out.text = QStringLiteral("abcde");
    } else if (kind == PreviewDigits) {
        out.kind = PreviewDigits;
        out.text = QStringLiteral("12345");
    }
    return out;
}

QString PreviewSetting::menuLabel(int kind)
{
    switch (kind) {
    case PreviewEnglish:
        return QStringLiteral("英文");
    case PreviewDigits:
        return QStringLiteral("数字");
    default:
        return QStringLiteral("默认");
    }
}

QVector<int> PreviewPages::takeStale(const PreviewSetting &now, int currentPage)
{
    QVector<int> pages;
    if (currentPage >= 0 && currentPage < kPages && m_drawn[currentPage] != now)
        pages.append(currentPage);
    for (int page = 0; page < kPages; ++page)
        if (page != currentPage && m_drawn[page] != now)
            pages.append(page);
    for (int page : pages)
        m_drawn[page] = now;
    return pages;
}
