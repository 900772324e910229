#pragma once

#include <QRect>

// Primary-screen metrics, written once by main() before any window exists and only
// read afterwards on the GUI thread.
extern QRect deskRect;
extern int pixelRatio;
extern double uiScaleX;
extern double uiScaleY;

// Screens 701 to 1079 pixels high are laid out at full size; smaller ones shrink and
// taller ones grow in proportion to 1080 lines, but never below kMinUiScale.
double uiScaleFactor(int screenHeight);

// The smallest scale: the 12-pixel body text stays at 10 pixels, below which the strokes
// of Chinese characters run together, and the 655-line window still fits a 600-line
// screen with room for a panel.
constexpr double kMinUiScale = 0.85;

// Fills the globals above from a screen geometry and device pixel ratio.
void setScreenMetrics(const QRect &geometry, int devicePixelRatio);
