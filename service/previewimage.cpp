#include "service/previewimage.h"

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
