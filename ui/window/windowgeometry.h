#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

// Sizing and placement of the frameless main window, kept free of widgets so that the
// arithmetic can be checked for any screen without one.
namespace WindowGeometry {

// Size of the window at scale 1; the window is drawn at this size times the UI scale.
constexpr int kBaseWidth = 308;
constexpr int kBaseHeight = 655;
// Width of the band along each edge that resizes the window.
constexpr int kEdgeBand = 5;

// A child of the top or bottom bar, designed at scale 1, at scale (sx, sy). Nothing gets
// smaller than 6 pixels either way, so buttons stay clickable on small screens.
QRect scaledChildRect(const QRect &designed, double sx, double sy);

// The window's size (and minimum size) at scale (sx, sy).
QSize scaledWindowSize(double sx, double sy);

// Where the window goes on a screen: 20 scaled pixels from the right edge, centred
// vertically, both measured on `screen`. The result always lies inside `available`
// (the screen less its panels), shrunk to it when the window is larger.
QRect placeWindow(const QRect &screen, const QRect &available, const QSize &size, double sy);

// Regions of the window under a global cursor position.
enum EdgeRegion {
    EdgeTop = 0,
    EdgeBottom = 1,
    EdgeLeft = 2,
    EdgeRight = 3,
    EdgeTopLeft = 4,
    EdgeBottomLeft = 5,
    EdgeBottomRight = 6,
    EdgeTopRight = 7,
    EdgeInside = 8,
};
EdgeRegion edgeRegion(const QRect &frame, const QPoint &global);
Qt::CursorShape edgeCursor(EdgeRegion region);

// The frame after dragging the edge or corner `region` to `global`. An edge stops where
// the window would get smaller than `minimum`, corners included, so the window never
// slides along at its minimum size.
QRect edgeResize(const QRect &frame, EdgeRegion region, const QPoint &global,
                 const QSize &minimum);

} // namespace WindowGeometry
