#include "devserver/previews.h"

#include <QGlyphRun>
#include <QPainter>

namespace {

// Large CJK files run to 10 MB and more each; keep only a few loaded.
constexpr int kFontsKept = 8;
constexpr qreal kMargin = 12;

} // namespace

QRawFont PreviewRenderer::fontFor(const QString &fontFile)
{
    auto it = m_fonts.find(fontFile);
    if (it != m_fonts.end()) {
        m_recent.removeOne(fontFile);
        m_recent.append(fontFile);
        return it.value();
    }
    QRawFont font(fontFile, kHeight);
    if (!font.isValid())
        return font;
    if (m_recent.size() >= kFontsKept)
        m_fonts.remove(m_recent.takeFirst());
    m_fonts.insert(fontFile, font);
    m_recent.append(fontFile);
    return font;
}

QImage PreviewRenderer::render(const QString &fontFile, const QString &text)
{
    QRawFont font = fontFor(fontFile);
    if (!font.isValid())
        return QImage();

    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);

    // Lay out at a reference size, then shrink so the run fits the strip both ways.
    qreal pixelSize = kHeight * 0.62;
    font.setPixelSize(pixelSize);
    const QVector<quint32> glyphs = font.glyphIndexesForString(text);
    if (glyphs.isEmpty())
        return image;
    auto runWidth = [&font, &glyphs]() {
        qreal width = 0;
        for (const QPointF &advance : font.advancesForGlyphIndexes(glyphs))
            width += advance.x();
        return width;
    };
    const qreal available = kWidth - 2 * kMargin;
    const qreal width = runWidth();
    if (width > available) {
        pixelSize = qMax<qreal>(6, pixelSize * available / width);
        font.setPixelSize(pixelSize);
    }
    const qreal lineHeight = font.ascent() + font.descent();
    if (lineHeight > kHeight - 4) {
        pixelSize = qMax<qreal>(6, pixelSize * (kHeight - 4) / lineHeight);
        font.setPixelSize(pixelSize);
    }

    QVector<QPointF> positions;
    positions.reserve(glyphs.size());
    qreal x = 0;
    for (const QPointF &advance : font.advancesForGlyphIndexes(glyphs)) {
        positions.append(QPointF(x, 0));
        x += advance.x();
    }
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);

    const qreal baseline = (kHeight - (font.ascent() + font.descent())) / 2 + font.ascent();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(0x33, 0x33, 0x33));
    painter.drawGlyphRun(QPointF(kMargin, baseline), run);
    painter.end();
    return image;
}
