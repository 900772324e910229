#include "window/windowgeometry.h"

#include <QtGlobal>

namespace WindowGeometry {

QRect scaledChildRect(const QRect &designed, double sx, double sy)
{
    return QRect(int(sx * designed.x()), int(sy * designed.y()),
                 qMax(6, int(sx * designed.width())), qMax(6, int(sy * designed.height())));
}

QSize scaledWindowSize(double sx, double sy)
{
    return QSize(int(sx * kBaseWidth), int(sy * kBaseHeight));
}

QRect placeWindow(const QRect &screen, const QRect &available, const QSize &size, double sy)
{
    const QRect area = available.isValid() ? available : screen;
    const QSize fitted = size.boundedTo(area.size());
    int x = screen.left() + int(screen.width() - fitted.width() - 20 * sy);
    int y = screen.top() + (screen.height() - fitted.height()) / 2;
    x = qBound(area.left(), x, area.right() + 1 - fitted.width());
    y = qBound(area.top(), y, area.bottom() + 1 - fitted.height());
    return QRect(QPoint(x, y), fitted);
}

EdgeRegion edgeRegion(const QRect &frame, const QPoint &global)
{
    const int x = global.x();
    const int y = global.y();
    const bool left = x >= frame.left() && x <= frame.left() + kEdgeBand - 1;
    const bool right = x >= frame.right() - (kEdgeBand - 1) && x <= frame.right();
    const bool top = y >= frame.top() && y <= frame.top() + kEdgeBand - 1;
    const bool bottom = y >= frame.bottom() - (kEdgeBand - 1) && y <= frame.bottom();
    if (top && left)
        return EdgeTopLeft;
    if (bottom && left)
        return EdgeBottomLeft;
    if (bottom && right)
        return EdgeBottomRight;
    if (top && right)
        return EdgeTopRight;
    if (top && x >= frame.left() && x <= frame.right())
        return EdgeTop;
    if (bottom && x >= frame.left() && x <= frame.right())
        return EdgeBottom;
    if (left && y >= frame.top() && y <= frame.bottom())
        return EdgeLeft;
    if (right && y >= frame.top() && y <= frame.bottom())
        return EdgeRight;
    return EdgeInside;
}

Qt::CursorShape edgeCursor(EdgeRegion region)
{
    switch (region) {
    case EdgeTop:
    case EdgeBottom:
        return Qt::SizeVerCursor;
    case EdgeLeft:
    case EdgeRight:
        return Qt::SizeHorCursor;
    case EdgeTopLeft:
    case EdgeBottomRight:
        return Qt::SizeFDiagCursor;
    case EdgeBottomLeft:
    case EdgeTopRight:
        return Qt::SizeBDiagCursor;
    case EdgeInside:
        break;
    }
    return Qt::ArrowCursor;
}

QRect edgeResize(const QRect &frame, EdgeRegion region, const QPoint &global,
                 const QSize &minimum)
{
    int l = frame.left();
    int t = frame.top();
    int r = frame.right();
    int b = frame.bottom();
    const int minW = qMax(1, minimum.width());
    const int minH = qMax(1, minimum.height());
    const bool moveLeft = region == EdgeLeft || region == EdgeTopLeft || region == EdgeBottomLeft;
    const bool moveRight =
        region == EdgeRight || region == EdgeTopRight || region == EdgeBottomRight;
    const bool moveTop = region == EdgeTop || region == EdgeTopLeft || region == EdgeTopRight;
    const bool moveBottom =
        region == EdgeBottom || region == EdgeBottomLeft || region == EdgeBottomRight;
    // The moving edge stops at the minimum; the opposite edge never moves.
    if (moveLeft)
        l = qMin(global.x(), r - minW + 1);
    if (moveRight)
        r = qMax(global.x() - 1, l + minW - 1);
    if (moveTop)
        t = qMin(global.y(), b - minH + 1);
    if (moveBottom)
        b = qMax(global.y() - 1, t + minH - 1);
    return QRect(QPoint(l, t), QPoint(r, b));
}

} // namespace WindowGeometry
