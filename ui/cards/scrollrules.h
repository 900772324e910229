#pragma once

#include <QPoint>

// Scrolling of the card pages, widget-free.
namespace ScrollRules {

// Pixels per wheel notch (120 eighths of a degree).
constexpr int kNotchPixels = 20;

// The scroll value after a wheel event at `current` with the scroll range 0..maximum.
// Touchpads (pixel deltas) move a quarter of their distance; wheels 20 pixels a notch.
// Never below 0; a value that would reach the maximum stops one pixel before it.
int wheelTarget(int current, int maximum, const QPoint &pixelDelta, const QPoint &angleDelta);

// The value that keeps the same relative position when the scroll range changes from
// oldMaximum to newMaximum (the row height changed). From a range of 0 the first visible
// row is kept: `firstRow` rows of `newRowHeight`.
int keepRelative(int value, int oldMaximum, int newMaximum, int firstRow, int newRowHeight);

} // namespace ScrollRules
