#include "details/waterfall.h"

#include "core/screenmetrics.h"
#include "widgets/framelessdlg.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
int labelWidth()
{
    return qMax(44, DlgLook::px(48));
}

// The interface is drawn larger on dense screens, and the sizes follow it so a point
// looks as it does in other programs there; small screens keep true sizes.
QFont atPoints(QFont font, int points)
{
    font.setPointSizeF(points * qMax(1.0, uiScaleY));
    return font;
}
} // namespace

const QVector<int> &Waterfall::pointSizes()
{
    static const QVector<int> sizes{8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32, 36, 48, 60, 72};
    return sizes;
}

Waterfall::Waterfall(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Waterfall::setContent(const QFont &font, const QString &text)
{
    m_font = font;
    m_text = text;
    updateGeometry();
    update();
}

int Waterfall::lineHeight(int points) const
{
    return QFontMetrics(atPoints(m_font, points)).height() + DlgLook::px(6);
}

QSize Waterfall::sizeHint() const
{
    int height = DlgLook::px(8);
    for (int points : pointSizes())
        height += lineHeight(points);
    return QSize(DlgLook::px(600), height);
}

void Waterfall::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    QFont label = font();
    label.setPixelSize(qMax(10, DlgLook::px(11)));
    int y = DlgLook::px(4);
    for (int points : pointSizes()) {
        const int h = lineHeight(points);
        const QRect line(0, y, width(), h);
        y += h;
        if (!line.intersects(event->rect()))
            continue;
        painter.setFont(label);
        painter.setPen(QColor("#9A9A9A"));
        painter.drawText(QRect(DlgLook::px(4), line.top(), labelWidth(), h),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("%1 pt").arg(points));
        const QFont f = atPoints(m_font, points);
        painter.setFont(f);
        painter.setPen(QColor("#333333"));
        const QRect textRect = line.adjusted(labelWidth() + DlgLook::px(8), 0, 0, 0);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetrics(f).elidedText(m_text, Qt::ElideRight, textRect.width()));
    }
}
