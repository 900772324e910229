#include "service/previewimage.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>

namespace {

QString escaped(QChar c)
{
    return QLatin1Char('%') +
           QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// Reversible: '%', '_' (the separator before the kind) and '~' (marks a shortened name) are
// escaped with what a file name cannot hold, so two names never share a cache file. Names
// without these characters keep the file names earlier versions wrote.
QString fileNamePart(const QString &part)
{
    QString out;
    out.reserve(part.size());
    for (const QChar c : part) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7f || QStringLiteral("%_~/\\:*?\"<>|").contains(c))
            out += escaped(c);
        else
            out += c;
    }
    return out;
}

// A file name longer than file systems take keeps its start and gets a digest of the whole.
QString boundedFileName(const QString &fileName, const QString &suffix)
{
    constexpr int kMaxBytes = 240;
    if (fileName.toUtf8().size() + suffix.toUtf8().size() <= kMaxBytes)
        return fileName + suffix;
    const QByteArray digest =
        QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256).toHex();
    QString head = fileName.left(40);
    if (!head.isEmpty() && head.at(head.size() - 1).isHighSurrogate())
        head.chop(1);
    return head + QLatin1Char('~') + QString::fromLatin1(digest) + suffix;
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
    default: {
        // A text spelling a kind's own suffix must not take that kind's file.
        QString part = fileNamePart(text);
        if (part == QLatin1String("name") || part == QLatin1String("eng") ||
            part == QLatin1String("num"))
            part = escaped(part.at(0)) + part.mid(1);
        suffix = QLatin1Char('_') + part + QStringLiteral(".png");
        break;
    }
    }
    return imagesDir +
           boundedFileName(fileNamePart(name) + suffix.chopped(4), QStringLiteral(".png"));
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
    // Not every format's reader honours a scaled size (GIF's does not); the pixel cap above
    // already bounded what it decoded.
    if (!image.isNull() && !fitsBox(image.size()))
        image = image.scaled(kPreviewBoxWidth, kPreviewBoxHeight, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
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
