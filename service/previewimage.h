#pragma once

#include <QString>

// Kinds of cached preview picture: the font's name, its English sample, digits, or a
// picture of a text the user typed.
enum PreviewKind { PreviewName = 0, PreviewEnglish = 1, PreviewDigits = 2, PreviewText = 3 };

// Where the picture of `name` of a kind is cached: imagesDir + name + a kind suffix
// ("_name.png", "_eng.png", "_num.png", or "_" + text + ".png"). Empty for an empty name.
// Names and texts come from the service and the user, so path separators and control
// characters in them are replaced; the file always lands directly in `imagesDir`.
QString previewImagePath(const QString &imagesDir, const QString &name, int kind,
                         const QString &text = QString());
