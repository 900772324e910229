#include "service/previewimage.h"

#include <QBuffer>
#include <QImageReader>

namespace {

QString fileNamePart(QString part)
{
    for (QChar &c : part) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            c = QLatin1Char('_');
    }
    return part;
}

} // namespace

QString previewImagePath(const QString &imagesDir, const QString &name, int kind,
                         const QString &text)
{
    if (name.isEmpty())
        return QString();
    QString suffix;
    switch (kind) {
    case PreviewName:
        suffix = QStringLiteral("_name.png");
        break;
    case PreviewEnglish:
        suffix = QStringLiteral("_eng.png");
        break;
    case PreviewDigits:
        suffix = QStringLiteral("_num.png");
        break;
    default:
        suffix = QLatin1Char('_') + fileNamePart(text) + QStringLiteral(".png");
        break;
    }
    return imagesDir + fileNamePart(name) + suffix;
}

namespace {

// The size the header gives; empty when it is no picture or too large to decode.
QSize decodableSize(QImageReader &reader)
{
    if (!reader.canRead())
        return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * size.height() > kMaxPreviewPixels)
        return {};
    return size;
}

bool fitsBox(const QSize &size)
{
    return size.width() <= kPreviewBoxWidth && size.height() <= kPreviewBoxHeight;
}

} // namespace

QImage decodePreviewPicture(const QByteArray &bytes, bool *asSent)
{
    if (asSent)
        *asSent = false;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = decodableSize(reader);
    if (size.isEmpty())
        return {};
    const bool scaled = !fitsBox(size);
    if (scaled)
        reader.setScaledSize(size.scaled(kPreviewBoxWidth, kPreviewBoxHeight, Qt::KeepAspectRatio));
    const bool png = reader.format() == "png";
    QImage image = reader.read();
    if (asSent && !image.isNull())
        *asSent = png && !scaled;
    return image;
}

bool previewFileFits(const QString &path)
{
    QImageReader reader(path);
    const QSize size = decodableSize(reader);
    return !size.isEmpty() && fitsBox(size);
}
