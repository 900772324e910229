#pragma once

#include <QRect>
#include <QSize>

// Where the parts of a font card go, for a card of a given size at a display scale.
// Widget-free so that the arithmetic can be checked at every scale.
struct CardLayout
{
    QRect name;     // the font name line
    QRect preview;  // the strip that shows the picture or the text
    QRect heart;    // favourite button
    QRect progress; // download progress line along the bottom
    QRect loading;  // loading animation, centred on the preview's right end
    QRect dot;      // the green "usable here" dot, at the same place

    // Scales below 0.5 count as 1: such a screen was measured wrongly.
    static CardLayout compute(int width, int height, double sx, double sy);
};

// Preview pictures are 157 units wide for 22 high.
constexpr double kPreviewAspect = 157.0 / 22.0;

// Width of the picture label for a preview strip `height` pixels high.
int previewLabelWidth(int height);

// How a picture of `image` pixels fits a label of `label` pixels: true when it is
// scaled to fill the label (cropping what sticks out), false when it fits inside.
bool previewExpands(const QSize &image, const QSize &label);
