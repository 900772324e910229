#include "widgets/frameshadow.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <cmath>

FrameShadow::FrameShadow(QWidget *frame, qreal blurRadius, const QColor &color, qreal cornerRadius)
    : QObject(frame), m_frame(frame), m_blur(blurRadius), m_color(color), m_corner(cornerRadius)
{
    frame->parentWidget()->installEventFilter(this);
}

int FrameShadow::margin() const
{
    return int(std::ceil(m_blur));
}

QImage FrameShadow::picture()
{
    const qreal ratio = m_frame->devicePixelRatioF();
    const QSize size = m_frame->size();
    if (!m_picture.isNull() && m_picture.devicePixelRatio() == ratio &&
        m_picture.size() == (size + QSize(2 * margin(), 2 * margin())) * ratio)
        return m_picture;

    // The effect itself draws the shadow, once, on a shape like the frame's.
    QGraphicsScene scene;
    auto *shape = new QGraphicsPathItem;
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), m_corner, m_corner);
    shape->setPath(path);
    shape->setPen(Qt::NoPen);
    shape->setBrush(Qt::white);
    auto *shadow = new QGraphicsDropShadowEffect;
    shadow->setBlurRadius(m_blur);
    shadow->setColor(m_color);
    shadow->setOffset(0, 0);
    shape->setGraphicsEffect(shadow);
    scene.addItem(shape);

    const QRectF area(-margin(), -margin(), size.width() + 2 * margin(),
                      size.height() + 2 * margin());
    m_picture = QImage((area.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    m_picture.setDevicePixelRatio(ratio);
    m_picture.fill(Qt::transparent);
    {
        QPainter painter(&m_picture);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(QPointF(0, 0), area.size()), area);
    }
    return m_picture; // a copy taken while painting would be a deep one
}

bool FrameShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_frame->parentWidget() && event->type() == QEvent::Paint &&
        !m_frame->isHidden() && !m_frame->size().isEmpty()) {
        // Beneath whatever the window paints itself, inside the region being repainted.
        QPainter painter(m_frame->parentWidget());
        painter.setClipRegion(static_cast<QPaintEvent *>(event)->region());
        painter.drawImage(m_frame->pos() - QPoint(margin(), margin()), picture());
    }
    return QObject::eventFilter(watched, event);
}
