#pragma once

#include <QColor>
#include <QImage>
#include <QObject>

class QWidget;

// The soft shadow round the window's frame, painted by the window beneath the frame from
// a picture made once per frame size. The same drop-shadow effect set on the frame would
// render the whole frame off screen and blur it again on every repaint of any card.
class FrameShadow : public QObject
{
public:
    // The frame must have a parent, on which the shadow is painted.
    FrameShadow(QWidget *frame, qreal blurRadius, const QColor &color, qreal cornerRadius);

    // The shadow with the frame's shape on top, for the frame's present size; its
    // top-left corner goes `margin()` pixels up and left of the frame's.
    QImage picture();
    int margin() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_frame;
    qreal m_blur;
    QColor m_color;
    qreal m_corner;
    QImage m_picture;
};
