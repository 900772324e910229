#include "fonts/fontdetails.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include "platform/fontregistry.h"

#ifndef Q_OS_WIN
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_FONT_FORMATS_H

#include <algorithm>

namespace FontDetails {

namespace {

constexpr uint kLastUnicode = 0x10FFFF;

enum NameId : int {
    Copyright = 0,
    Family = 1,
    Subfamily = 2,
    FullName = 4,
    Version = 5,
    PostScript = 6,
    Manufacturer = 8,
    Designer = 9,
    Licence = 13,
    LicenceUrl = 14,
    TypoFamily = 16,
    TypoSubfamily = 17,
};

bool isChineseLanguage(FT_UShort language)
{
    // PRC, Taiwan, Hong Kong, Singapore, Macao.
    return language == 0x0804 || language == 0x0404 || language == 0x0C04 ||
           language == 0x1004 || language == 0x1404;
}

bool hasCjk(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x2E80; });
}

QString cut(QString text)
{
    if (text.size() > kMaxNameUnits)
        text.truncate(kMaxNameUnits);
    // Names end in stray zeros in some files.
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text.trimmed();
}

QString decodeUtf16be(const FT_SfntName &name)
{
    const int units = int(std::min<FT_UInt>(name.string_len / 2, kMaxNameUnits));
    QString text(units, Qt::Uninitialized);
    for (int i = 0; i < units; ++i)
        text[i] = QChar(ushort(name.string[2 * i] << 8 | name.string[2 * i + 1]));
    return cut(text);
}

// Old Chinese fonts store names as GBK or Big5 bytes in 16-bit slots; the zero high
// bytes go before decoding.
QString decodeLegacy(const FT_SfntName &name, const char *codecName)
{
    QTextCodec *codec = QTextCodec::codecForName(codecName);
    if (!codec)
        return QString();
    QByteArray bytes;
    const FT_UInt n = std::min<FT_UInt>(name.string_len, 2 * kMaxNameUnits);
    for (FT_UInt i = 0; i < n; ++i)
        if (name.string[i])
            bytes.append(char(name.string[i]));
    return cut(codec->toUnicode(bytes));
}

// Each name in two ranks: the best Chinese and the best English record seen so far.
struct NamePick
{
    Name name;
    int chineseRank = 0;
    int englishRank = 0;
};

void offer(NamePick &pick, bool chinese, int rank, const QString &text)
{
    if (text.isEmpty())
        return;
    int &best = chinese ? pick.chineseRank : pick.englishRank;
    if (rank <= best)
        return;
    best = rank;
    (chinese ? pick.name.chinese : pick.name.english) = text;
}

void readNames(FT_Face face, Details &out)
{
    NamePick picks[TypoSubfamily + 1];
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id > TypoSubfamily)
            continue;
        NamePick &pick = picks[name.name_id];
        if (name.platform_id == TT_PLATFORM_MICROSOFT) {
            const bool chinese = isChineseLanguage(name.language_id);
            const bool english = (name.language_id & 0xFF) == 0x09;
            QString text;
            if (name.encoding_id == TT_MS_ID_UNICODE_CS || name.encoding_id == TT_MS_ID_UCS_4 ||
                name.encoding_id == TT_MS_ID_SYMBOL_CS)
                text = decodeUtf16be(name);
            else if (name.encoding_id == TT_MS_ID_PRC)
                text = decodeLegacy(name, "GBK");
            else if (name.encoding_id == TT_MS_ID_BIG_5)
                text = decodeLegacy(name, "Big5");
            // Some fonts put the English name in a Chinese record too: one that holds
            // Chinese characters wins over it whatever its region.
            if (chinese)
                offer(pick, true, (hasCjk(text) ? 10 : 0) + (name.language_id == 0x0804 ? 3 : 2),
                      text);
            else if (english)
                offer(pick, false, name.language_id == 0x0409 ? 4 : 3, text);
            else
                offer(pick, false, 1, text); // some other language: better than nothing
        } else if (name.platform_id == TT_PLATFORM_MACINTOSH && name.language_id == 0 &&
                   name.encoding_id == TT_MAC_ID_ROMAN) {
            const int n = int(std::min<FT_UInt>(name.string_len, kMaxNameUnits));
            offer(pick, false, 2,
                  cut(QString::fromLatin1(reinterpret_cast<const char *>(name.string), n)));
        } else if (name.platform_id == TT_PLATFORM_APPLE_UNICODE) {
            offer(pick, false, 2, decodeUtf16be(name));
        }
    }
    const auto either = [&](int preferred, int fallback) {
        return picks[preferred].name.isEmpty() ? picks[fallback].name : picks[preferred].name;
    };
    out.family = either(TypoFamily, Family);
    out.style = either(TypoSubfamily, Subfamily);
    out.fullName = picks[FullName].name;
    out.psName = picks[PostScript].name;
    out.version = picks[Version].name;
    out.designer = picks[Designer].name;
    out.vendor = picks[Manufacturer].name;
    out.licence = picks[Licence].name;
    out.licenceUrl = picks[LicenceUrl].name;
    out.copyright = picks[Copyright].name;
    // Files without a naming table still have the names FreeType made up.
    if (out.family.isEmpty() && face->family_name)
        out.family.english = cut(QString::fromUtf8(face->family_name));
    if (out.style.isEmpty() && face->style_name)
        out.style.english = cut(QString::fromUtf8(face->style_name));
}

// Every code the Unicode character map maps to a glyph. The walk stops at a code that
// does not move forward, so a map that loops cannot hold it.
std::vector<uint> mappedCharacters(FT_Face face)
{
    std::vector<uint> codes;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
        return codes;
    FT_UInt glyph = 0;
    FT_ULong code = FT_Get_First_Char(face, &glyph);
    FT_ULong previous = 0;
    bool first = true;
    while (glyph != 0 && code <= kLastUnicode && (first || code > previous)) {
        codes.push_back(uint(code));
        previous = code;
        first = false;
        code = FT_Get_Next_Char(face, code, &glyph);
    }
    return codes;
}

QString formatOf(FT_Face face)
{
    const char *format = FT_Get_Font_Format(face);
    const QString name = format ? QString::fromLatin1(format) : QString();
    if (name == QLatin1String("CFF"))
        return QStringLiteral("OpenType (CFF)");
    return name;
}

} // namespace

QVector<Coverage> coverageOf(const std::vector<uint> &characters)
{
    QVector<Coverage> result;
    for (const WritingSystems::Set &set : WritingSystems::sets()) {
        Coverage c{set.id, set.label, 0, int(set.codes.size())};
        // Both lists ascend: one merge pass.
        auto it = characters.cbegin();
        for (uint code : set.codes) {
            it = std::lower_bound(it, characters.cend(), code);
            if (it == characters.cend())
                break;
            if (*it == code)
                ++c.covered;
        }
        result.append(c);
    }
    return result;
}

QString codePointText(uint code)
{
    return QStringLiteral("U+%1").arg(code, code > 0xFFFF ? 5 : 4, 16, QLatin1Char('0')).toUpper();
}

QString installedFile(const QString &psName, const QString &family, const QString &style)
{
#ifdef Q_OS_WIN
    Q_UNUSED(psName)
    Q_UNUSED(family)
    Q_UNUSED(style)
    return QString();
#else
    const QString sessionDir = sessionFontDir() + QLatin1Char('/');
    const QByteArray psBytes = psName.toUtf8();
    const QByteArray familyBytes = family.toUtf8();
    const QByteArray styleBytes = style.toUtf8();
    const auto text = [](const QByteArray &bytes) {
        return reinterpret_cast<const FcChar8 *>(bytes.constData());
    };
    QString found;
    // Tried in turn: PostScript name, family and style, family.
    for (int attempt = 0; attempt < 3 && found.isEmpty(); ++attempt) {
        if ((attempt == 0 && psName.isEmpty()) || (attempt > 0 && family.isEmpty()) ||
            (attempt == 1 && style.isEmpty()))
            continue;
        FcPattern *pattern = FcPatternCreate();
        if (attempt == 0) {
            FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, text(psBytes));
        } else {
            FcPatternAddString(pattern, FC_FAMILY, text(familyBytes));
            if (attempt == 1)
                FcPatternAddString(pattern, FC_STYLE, text(styleBytes));
        }
        FcObjectSet *objects = FcObjectSetBuild(FC_FILE, nullptr);
        FcFontSet *set = FcFontList(nullptr, pattern, objects);
        for (int i = 0; set && i < set->nfont && found.isEmpty(); ++i) {
            FcChar8 *file = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                continue;
            const QString path = QFile::decodeName(reinterpret_cast<const char *>(file));
            if (!path.startsWith(sessionDir))
                found = path;
        }
        if (set)
            FcFontSetDestroy(set);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
    }
    return found;
#endif
}

Details readFromMemory(const QByteArray &file, const QString &path)
{
    Details out;
    out.path = path;
    out.fileSize = file.size();
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        out.error = QStringLiteral("无法读取字体");
        return out;
    }
    FT_Face face = nullptr;
    if (file.isEmpty() ||
        FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte *>(file.constData()),
                           FT_Long(file.size()), 0, &face) != 0) {
        FT_Done_FreeType(library);
        out.error = QStringLiteral("不是可读的字体文件");
        return out;
    }
    out.faceCount = int(std::max<FT_Long>(face->num_faces, 1));
    out.glyphCount = int(std::max<FT_Long>(face->num_glyphs, 0));
    out.format = formatOf(face);
    readNames(face, out);
    if (const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        QString id;
        for (FT_Char c : os2->achVendID)
            if (c > 0x20 && c < 0x7F)
                id.append(QLatin1Char(c));
        out.vendorId = id;
    }
    out.characters = mappedCharacters(face);
    out.coverage = coverageOf(out.characters);
    out.ok = true;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return out;
}

Details read(const QString &path, QByteArray *bytes)
{
    if (bytes)
        bytes->clear();
    QFile file(path);
    const qint64 size = QFileInfo(path).size();
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        Details out;
        out.path = path;
        out.error = QStringLiteral("找不到字体文件");
        return out;
    }
    if (size > kMaxFileBytes) {
        Details out;
        out.path = path;
        out.fileSize = size;
        out.error = QStringLiteral("字体文件过大");
        return out;
    }
    // Read rather than mapped: a file cut short under a mapping would fault.
    const QByteArray contents = file.read(kMaxFileBytes);
    if (bytes)
        *bytes = contents;
    return readFromMemory(contents, path);
}

} // namespace FontDetails
