#include "widgets/mybt.h"

#include "core/screenmetrics.h"

#include <QPainter>

MyBt::MyBt(QWidget *parent) : QPushButton(parent), m_scale(uiScaleY)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    const double s = m_scale;
    m_iconRect = QRectF(5 * s, 10 * s, 14 * s, 14 * s);
    m_arrowRect = QRect(int(238 * s), int(12 * s), int(6 * s), int(12 * s));
    m_textRect = QRectF(30 * s, 7 * s, 120 * s, 20 * s);
    const QPixmap arrow(QStringLiteral(":/images/images/usrinto.png"));
    if (!arrow.isNull())
        m_arrow = arrow.scaled(m_arrowRect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void MyBt::setPicture(const QPixmap &picture)
{
    m_icon = picture;
    update();
}

void MyBt::setPicture(const QString &resourcePath)
{
    setPicture(QPixmap(resourcePath));
}

void MyBt::setLabelText(const QString &text)
{
    m_text = text;
    update();
}

void MyBt::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_icon.isNull())
        painter.drawPixmap(m_iconRect, m_icon, QRectF(m_icon.rect()));
    if (!m_arrow.isNull())
        painter.drawPixmap(m_arrowRect, m_arrow);
    if (m_text.isEmpty())
        return;
    QFont f = font();
    f.setPixelSize(qMax(1, int(14 * m_scale)));
    painter.setFont(f);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(m_textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
