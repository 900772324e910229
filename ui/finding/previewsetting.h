#pragma once

#include "service/previewimage.h"

#include <QString>
#include <QVector>

// What the cards preview: the kind of picture and the text it shows. Two states are the
// same only when kind and text both are, so a typed "1" is not the default.
struct PreviewSetting
{
    static constexpr int kMaxChars = 6;

    int kind = PreviewName;
    QString text;

    // The preview box's text: white space alone is the default; a longer text keeps its
    // first six characters, counted as code points so none is split.
    static PreviewSetting fromTyped(const QString &typed);
    // The menu's samples: the name (empty text), "abcde" or "12345".
    static PreviewSetting fromMenu(int kind);
    // What the preview box shows after a menu choice ("默认", "英文", "数字").
    static QString menuLabel(int kind);

    bool operator==(const PreviewSetting &other) const
    {
        return kind == other.kind && text == other.text;
    }
    bool operator!=(const PreviewSetting &other) const { return !(*this == other); }
};

// The state each page (cloud, local, favourites) was last drawn with, so that a change
// redraws every page once and an unchanged choice redraws none.
class PreviewPages
{
public:
    static constexpr int kPages = 3;

    // The pages to redraw for `now`, the current page first, then the others in page
    // order; each is recorded as drawn with `now`.
    QVector<int> takeStale(const PreviewSetting &now, int currentPage);

private:
    PreviewSetting m_drawn[kPages];
};
