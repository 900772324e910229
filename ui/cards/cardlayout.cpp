#include "cards/cardlayout.h"

#include <QtGlobal>

CardLayout CardLayout::compute(int width, int height, double sx, double sy)
{
    if (sx < 0.5)
        sx = 1.0;
    if (sy < 0.5)
        sy = 1.0;
    CardLayout c;
    const int l = int(10 * sx - int(4 * sx));
    const double r = 50 * sx;
    const int t = int(8 * sy);
    const int h = int(14 * sy);
    const int d = t + h;
    c.name = QRect(l, t, int(width - r), h);

    const int y = int(d + 22 * sy);
    const int a = int(52 * sx - int(4 * sx));
    const int p = height - int(22 * sy) - y;
    c.preview = QRect(l, y, width - l - a, p);

    const int e = int(20 * sx);
    const int f = int(20 * sy);
    const int markX = int(width - 25 * sx);
    c.heart = QRect(markX, t + (h - f) / 2, e, f);

    c.progress = QRect(int(6 * sx), height - int(2 * sy), int(width - 12 * sx), qMax(1, int(sy)));

    const int m = int(16 * sx);
    const int n = int(16 * sy);
    c.loading = QRect(markX + (e - m) / 2, y + (p - n) / 2, m, n);

    const int v = int(8 * sx);
    c.dot = QRect(markX + (e - v) / 2, y + (p - v) / 2, v, v);
    return c;
}

int previewLabelWidth(int height)
{
    return int(height * 157 / 22.0);
}

bool previewExpands(const QSize &image, const QSize &label)
{
    return image.width() * double(label.height()) / (image.height() + 0.5) > label.width();
}
