#pragma once

#include <QPixmap>
#include <QSize>

// The updater's pictures, drawn at run time.
QPixmap drawCloseIcon(const QSize &size);
QPixmap drawMinimizeIcon(const QSize &size);
// The picture in the middle of the window: a package box with a downward arrow
// over a soft disc, with a few letter shapes around it.
QPixmap drawUpdateArtwork(const QSize &size);
