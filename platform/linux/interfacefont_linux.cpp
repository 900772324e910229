#include "platform/interfacefont.h"

#include <fontconfig/fontconfig.h>

QString simplifiedChineseFamily()
{
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif:lang=zh-cn"));
    if (!pattern)
        return QString();
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    QString family;
    FcLangSet *langs = nullptr;
    FcChar8 *name = nullptr;
    // A match is always returned; it only counts when it really covers the language.
    if (match && FcPatternGetLangSet(match, FC_LANG, 0, &langs) == FcResultMatch &&
        FcLangSetHasLang(langs, reinterpret_cast<const FcChar8 *>("zh-cn")) == FcLangEqual &&
        FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
        family = QString::fromUtf8(reinterpret_cast<const char *>(name));
    if (match)
        FcPatternDestroy(match);
    return family;
}
