#pragma once

#include <QRect>

// Primary-screen metrics, written once by main() before any window exists and only
// read afterwards on the GUI thread.
extern QRect deskRect;
extern int pixelRatio;
extern double uiScaleX;
extern double uiScaleY;

// Screens 701 to 1079 pixels high are laid out at full size; smaller ones shrink and
// taller ones grow in proportion to 1080 lines.
double uiScaleFactor(int screenHeight);

// Fills the globals above from a screen geometry and device pixel ratio.
void setScreenMetrics(const QRect &geometry, int devicePixelRatio);
