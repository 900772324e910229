#include "core/screenmetrics.h"

QRect deskRect;
int pixelRatio = 1;
double uiScaleX = 1.0;
double uiScaleY = 1.0;

double uiScaleFactor(int screenHeight)
{
    double factor = screenHeight / 1080.0;
    if (factor < 1.0 && screenHeight > 700)
        factor = 1.0;
    return qMax(factor, kMinUiScale);
}

void setScreenMetrics(const QRect &geometry, int devicePixelRatio)
{
    deskRect = geometry;
    pixelRatio = devicePixelRatio;
    uiScaleX = uiScaleY = uiScaleFactor(geometry.bottom() - geometry.top() + 1);
}
