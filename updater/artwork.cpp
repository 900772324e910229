#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {
QPixmap transparentPixmap(const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

const QColor kIconGrey(0x90, 0x90, 0x90);
const QColor kBlueLight(0xCA, 0xE8, 0xFF);
const QColor kBlue(0x3C, 0xAC, 0xFE);
const QColor kBlueDeep(0x4E, 0x6D, 0xF9);
} // namespace

QPixmap drawCloseIcon(const QSize &size)
{
    QPixmap pixmap = transparentPixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kIconGrey, 2, Qt::SolidLine, Qt::RoundCap));
    const QRectF r = QRectF(pixmap.rect()).adjusted(2, 2, -2, -2);
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    return pixmap;
}

QPixmap drawMinimizeIcon(const QSize &size)
{
    QPixmap pixmap = transparentPixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconGrey);
    const qreal h = qMin<qreal>(size.height(), 2);
    p.drawRoundedRect(QRectF(0, (size.height() - h) / 2, size.width(), h), h / 2, h / 2);
    return pixmap;
}

QPixmap drawUpdateArtwork(const QSize &size)
{
    QPixmap pixmap = transparentPixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const qreal w = size.width();
    const qreal h = size.height();
    const qreal unit = qMin(w, h) / 10.0;
    const QPointF centre(w / 2, h / 2);

    // Soft disc behind everything.
    QRadialGradient glow(centre, unit * 4.6);
    glow.setColorAt(0, QColor(0xE6, 0xF4, 0xFF));
    glow.setColorAt(1, QColor(0xF6, 0xFB, 0xFF));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, unit * 4.6, unit * 4.6);

    // The package: a box with an open lid.
    const QRectF box(centre.x() - unit * 2.2, centre.y() - unit * 0.2, unit * 4.4, unit * 3.0);
    QLinearGradient boxFill(box.topLeft(), box.bottomRight());
    boxFill.setColorAt(0, kBlue);
    boxFill.setColorAt(1, kBlueDeep);
    p.setBrush(boxFill);
    p.drawRoundedRect(box, unit * 0.3, unit * 0.3);

    QPainterPath leftLid;
    leftLid.moveTo(box.topLeft());
    leftLid.lineTo(box.left() - unit * 0.7, box.top() - unit * 0.9);
    leftLid.lineTo(box.left() + unit * 1.4, box.top() - unit * 0.9);
    leftLid.lineTo(box.left() + unit * 2.2, box.top());
    leftLid.closeSubpath();
    QPainterPath rightLid;
    rightLid.moveTo(box.topRight());
    rightLid.lineTo(box.right() + unit * 0.7, box.top() - unit * 0.9);
    rightLid.lineTo(box.right() - unit * 1.4, box.top() - unit * 0.9);
    rightLid.lineTo(box.right() - unit * 2.2, box.top());
    rightLid.closeSubpath();
    p.setBrush(kBlueLight);
    p.drawPath(leftLid);
    p.drawPath(rightLid);

    // The arrow dropping into the box.
    const qreal shaft = unit * 0.55;
    QPainterPath arrow;
    arrow.moveTo(centre.x() - shaft / 2, centre.y() - unit * 3.6);
    arrow.lineTo(centre.x() + shaft / 2, centre.y() - unit * 3.6);
    arrow.lineTo(centre.x() + shaft / 2, centre.y() - unit * 1.5);
    arrow.lineTo(centre.x() + unit * 1.0, centre.y() - unit * 1.5);
    arrow.lineTo(centre.x(), centre.y() - unit * 0.3);
    arrow.lineTo(centre.x() - unit * 1.0, centre.y() - unit * 1.5);
    arrow.lineTo(centre.x() - shaft / 2, centre.y() - unit * 1.5);
    arrow.closeSubpath();
    p.setBrush(kBlueDeep);
    p.drawPath(arrow);

    // A letter on the box, and two floating beside it: fonts are what arrives.
    QFont font;
    font.setPixelSize(int(unit * 1.6));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, QStringLiteral("Aa"));

    font.setPixelSize(int(unit * 1.1));
    font.setBold(false);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(kBlue);
    p.drawText(QRectF(centre.x() - unit * 4.6, centre.y() - unit * 3.2, unit * 1.8, unit * 1.6),
               Qt::AlignCenter, QStringLiteral("Q"));
    p.setPen(QColor(0x9F, 0xB4, 0xFB));
    p.drawText(QRectF(centre.x() + unit * 2.8, centre.y() - unit * 2.6, unit * 1.8, unit * 1.6),
               Qt::AlignCenter, QStringLiteral("g"));
    return pixmap;
}
