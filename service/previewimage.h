#pragma once

#include <QImage>
#include <QString>

class QByteArray;

// Kinds of cached preview picture: the font's name, its English sample, digits, or a
// picture of a text the user typed.
enum PreviewKind { PreviewName = 0, PreviewEnglish = 1, PreviewDigits = 2, PreviewText = 3 };

// Where the picture of `name` of a kind is cached: imagesDir + name + a kind suffix
// ("_name.png", "_eng.png", "_num.png", or "_" + text + ".png"). Empty for an empty name.
// Names and texts come from the service and the user, so path separators and control
// characters in them are replaced; the file always lands directly in `imagesDir`.
QString previewImagePath(const QString &imagesDir, const QString &name, int kind,
                         const QString &text = QString());

// Preview pictures come from the network: a few megabytes of PNG can claim gigabytes of
// pixels. A picture of more pixels than this is refused before it is decoded.
constexpr qint64 kMaxPreviewPixels = 16 * 1024 * 1024;
// The card shows a 157:22 strip; larger pictures are scaled into this box.
constexpr int kPreviewBoxWidth = 2048;
constexpr int kPreviewBoxHeight = 512;

// Decodes picture bytes, scaled into the box when larger. A null image when they are no
// picture or claim too many pixels. `asSent` tells whether the bytes are a PNG that
// needed no scaling, so they may be stored as they are.
QImage decodePreviewPicture(const QByteArray &bytes, bool *asSent = nullptr);

// From the header alone: true when the file is a picture within the box.
bool previewFileFits(const QString &path);
