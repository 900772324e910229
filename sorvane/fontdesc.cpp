#include "sorvane/fontdesc.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace sorvane {
namespace {

enum Category { Weight, Slant, Stretch, Variant, Regular };

struct StyleWord
{
    const char *key; // lower case, no separators
    const char *word;
    Category category;
};

constexpr StyleWord kStyleWords[] = {
    {"regular", "", Regular},
    {"normal", "", Regular},
    {"roman", "", Regular},
    {"plain", "", Regular},
    {"standard", "", Regular},
    {"upright", "", Regular},
    {"thin", "Thin", Weight},
    {"hairline", "Thin", Weight},
    {"extralight", "Ultra-Light", Weight},
    {"ultralight", "Ultra-Light", Weight},
    {"semilight", "Semi-Light", Weight},
    {"demilight", "Semi-Light", Weight},
    {"light", "Light", Weight},
    {"book", "Book", Weight},
    {"medium", "Medium", Weight},
    {"semibold", "Semi-Bold", Weight},
    {"demibold", "Semi-Bold", Weight},
    {"demi", "Semi-Bold", Weight},
    {"extrabold", "Ultra-Bold", Weight},
    {"ultrabold", "Ultra-Bold", Weight},
    {"bold", "Bold", Weight},
    {"extrablack", "Ultra-Heavy", Weight},
    {"ultrablack", "Ultra-Heavy", Weight},
    {"ultraheavy", "Ultra-Heavy", Weight},
    {"extraheavy", "Ultra-Heavy", Weight},
    {"black", "Heavy", Weight},
    {"heavy", "Heavy", Weight},
    {"italic", "Italic", Slant},
    {"oblique", "Oblique", Slant},
    {"slanted", "Oblique", Slant},
    {"inclined", "Oblique", Slant},
    {"ultracondensed", "Ultra-Condensed", Stretch},
    {"extracondensed", "Extra-Condensed", Stretch},
    {"semicondensed", "Semi-Condensed", Stretch},
    {"condensed", "Condensed", Stretch},
    {"narrow", "Condensed", Stretch},
    {"semiexpanded", "Semi-Expanded", Stretch},
    {"extraexpanded", "Extra-Expanded", Stretch},
    {"ultraexpanded", "Ultra-Expanded", Stretch},
    {"expanded", "Expanded", Stretch},
    {"wide", "Expanded", Stretch},
    {"smallcaps", "Small-Caps", Variant},
};

// Prefixes written as a word of their own ("Semi Bold", "Extra-Light").
constexpr const char *kPrefixes[] = {"semi", "demi", "extra", "ultra", "small"};

// Whole style names some fonts carry in Chinese.
struct LocalStyle
{
    const char *name;
    const char *words;
};
constexpr LocalStyle kLocalStyles[] = {
    {"常规", ""},       {"标准", ""},       {"正常", ""},
    {"普通", ""},       {"粗体", "Bold"},   {"加粗", "Bold"},
    {"斜体", "Italic"}, {"倾斜", "Italic"}, {"粗斜体", "Bold Italic"},
    {"细体", "Light"},  {"中等", "Medium"},
};

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '-' || c == '_';
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Splits a lower-case token into known words; false when any part is unknown.
bool splitToken(std::string_view token, std::vector<const StyleWord *> &out)
{
    std::vector<const StyleWord *> parts;
    while (!token.empty()) {
        const StyleWord *best = nullptr;
        for (const StyleWord &w : kStyleWords) {
            std::string_view key(w.key);
            if (token.substr(0, key.size()) == key &&
                (!best || key.size() > std::strlen(best->key)))
                best = &w;
        }
        if (!best)
            return false;
        parts.push_back(best);
        token.remove_prefix(std::strlen(best->key));
    }
    out.insert(out.end(), parts.begin(), parts.end());
    return true;
}

bool isPrefix(const std::string &token)
{
    for (const char *p : kPrefixes)
        if (token == p)
            return true;
    return false;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += len;
    }
    return true;
}

bool isExpressibleFamily(std::string_view family)
{
    if (trimmed(family).empty() || !isValidUtf8(family))
        return false;
    for (char ch : family) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == ',')
            return false;
    }
    return true;
}

std::string styleWords(std::string_view styleName)
{
    const std::string_view style = trimmed(styleName);
    for (const LocalStyle &local : kLocalStyles)
        if (style == local.name)
            return local.words;

    std::vector<std::string> tokens;
    std::string current;
    for (char c : style) {
        if (isSeparator(c)) {
            if (!current.empty())
                tokens.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(lower(c));
        }
    }
    if (!current.empty())
        tokens.push_back(std::move(current));

    std::vector<const StyleWord *> words;
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::string token = tokens[i];
        if (isPrefix(token) && i + 1 < tokens.size()) {
            // "Semi Bold" is one word; fall back to the parts when the pair is unknown.
            std::vector<const StyleWord *> joined;
            if (splitToken(token + tokens[i + 1], joined)) {
                words.insert(words.end(), joined.begin(), joined.end());
                ++i;
                continue;
            }
        }
        splitToken(token, words);
    }

    // One word per category: conflicting words would leave the choice to the parser.
    bool seen[Regular + 1] = {};
    std::string out;
    for (const StyleWord *w : words) {
        if (w->category == Regular || seen[w->category])
            continue;
        seen[w->category] = true;
        if (!out.empty())
            out += ' ';
        out += w->word;
    }
    return out;
}

std::string sizeOf(std::string_view description)
{
    std::string_view rest = trimmed(description);
    auto lastWord = [&rest]() {
        const size_t space = rest.find_last_of(" \t");
        const std::string_view word =
            space == std::string_view::npos ? rest : rest.substr(space + 1);
        rest = trimmed(rest.substr(0, rest.size() - word.size()));
        return word;
    };
    std::string_view word = lastWord();
    if (!word.empty() && word.front() == '@') // font variations follow the size
        word = lastWord();

    std::string_view number = word;
    if (number.size() > 2 && number.substr(number.size() - 2) == "px")
        number.remove_suffix(2);
    if (number.empty() || number.size() > 8)
        return {};
    bool dot = false;
    for (size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.' && !dot && i > 0 && i + 1 < number.size())
            dot = true;
        else if (c < '0' || c > '9')
            return {};
    }
    const double value = std::strtod(std::string(number).c_str(), nullptr);
    if (value < 1.0 || value > 1000.0)
        return {};
    return std::string(word);
}

std::string fontDescription(std::string_view family, std::string_view styleName,
                            std::string_view size)
{
    std::string out(trimmed(family));
    out += ',';
    const std::string words = styleWords(styleName);
    if (!words.empty())
        out += ' ' + words;
    out += ' ';
    out += size;
    return out;
}

} // namespace sorvane
