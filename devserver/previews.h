#pragma once

#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QSize>
#include <QString>
#include <QStringList>

// Preview strips drawn with the font file itself, at the cards' 157:22 proportions.
// Needs a QGuiApplication; used from its thread only.
class PreviewRenderer
{
public:
    static constexpr int kWidth = 628;
    static constexpr int kHeight = 88;

    // A null image when the font file cannot be loaded.
    QImage render(const QString &fontFile, const QString &text);

private:
    QRawFont fontFor(const QString &fontFile);

    QHash<QString, QRawFont> m_fonts;
    QStringList m_recent; // most recently used last; bounds the fonts kept loaded
};
