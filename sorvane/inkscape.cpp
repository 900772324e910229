#include "sorvane/inkscape.h"

#include "sorvane/fontdesc.h"
#include "sorvane/resultcodes.h"
#include "sorvane/settingstool.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace sorvane {
namespace {

constexpr const char *kBusName = "org.inkscape.Inkscape";
constexpr const char *kAppPath = "/org/inkscape/Inkscape";
constexpr const char *kDocumentsPath = "/org/inkscape/Inkscape/document";
constexpr const char *kMarkProperty = "-sorvane-mark";
constexpr int kCallTimeoutMs = 5000;

struct WordValue
{
    const char *word;
    const char *property;
    const char *value;
};

// The description's style words as CSS values (the weights as numbers, which every
// renderer reads the same way).
constexpr WordValue kCssWords[] = {
    {"Thin", "font-weight", "100"},
    {"Ultra-Light", "font-weight", "200"},
    {"Light", "font-weight", "300"},
    {"Semi-Light", "font-weight", "300"},
    {"Book", "font-weight", "normal"},
    {"Medium", "font-weight", "500"},
    {"Semi-Bold", "font-weight", "600"},
    {"Bold", "font-weight", "bold"},
    {"Ultra-Bold", "font-weight", "800"},
    {"Heavy", "font-weight", "900"},
    {"Ultra-Heavy", "font-weight", "900"},
    {"Italic", "font-style", "italic"},
    {"Oblique", "font-style", "oblique"},
    {"Ultra-Condensed", "font-stretch", "ultra-condensed"},
    {"Extra-Condensed", "font-stretch", "extra-condensed"},
    {"Condensed", "font-stretch", "condensed"},
    {"Semi-Condensed", "font-stretch", "semi-condensed"},
    {"Semi-Expanded", "font-stretch", "semi-expanded"},
    {"Expanded", "font-stretch", "expanded"},
    {"Extra-Expanded", "font-stretch", "extra-expanded"},
    {"Ultra-Expanded", "font-stretch", "ultra-expanded"},
    {"Small-Caps", "font-variant", "small-caps"},
};

std::string unquoted(std::string_view value)
{
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string decodeEntities(std::string_view text)
{
    static const std::pair<const char *, char> kEntities[] = {
        {"&quot;", '"'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&')
            for (const auto &[name, c] : kEntities) {
                const std::string_view n(name);
                if (text.substr(i, n.size()) == n) {
                    out += c;
                    i += n.size();
                    replaced = true;
                    break;
                }
            }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

struct Tag
{
    std::string name;
    std::string style; // decoded style attribute
    bool closing = false;
    bool selfClosing = false;
};

// The next element tag at or after pos (comments, declarations and text are passed over).
bool nextTag(std::string_view svg, size_t &pos, Tag &tag)
{
    while ((pos = svg.find('<', pos)) != std::string_view::npos) {
        if (svg.substr(pos, 4) == "<!--") {
            const size_t end = svg.find("-->", pos);
            pos = end == std::string_view::npos ? svg.size() : end + 3;
            continue;
        }
        size_t end = pos + 1;
        char quote = 0;
        while (end < svg.size() && (quote || svg[end] != '>')) {
            if (quote && svg[end] == quote)
                quote = 0;
            else if (!quote && (svg[end] == '"' || svg[end] == '\''))
                quote = svg[end];
            ++end;
        }
        if (end >= svg.size())
            return false;
        std::string_view body = svg.substr(pos + 1, end - pos - 1);
        pos = end + 1;
        if (body.empty() || body[0] == '?' || body[0] == '!')
            continue;
        tag = Tag{};
        tag.closing = body[0] == '/';
        if (tag.closing)
            body.remove_prefix(1);
        tag.selfClosing = !body.empty() && body.back() == '/';
        const size_t nameEnd = body.find_first_of(" \t\r\n/");
        tag.name = std::string(body.substr(0, nameEnd));
        for (size_t at = body.find("style="); at != std::string_view::npos;
             at = body.find("style=", at + 1)) {
            const char before = at > 0 ? body[at - 1] : ' ';
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r')
                continue;
            const size_t open = at + 6;
            if (open >= body.size() || (body[open] != '"' && body[open] != '\''))
                continue;
            const size_t close = body.find(body[open], open + 1);
            if (close != std::string_view::npos)
                tag.style = decodeEntities(body.substr(open + 1, close - open - 1));
            break;
        }
        return true;
    }
    return false;
}

// The value of one declaration of a style attribute, "" when absent.
std::string styleValue(std::string_view style, std::string_view property, bool *present = nullptr)
{
    if (present)
        *present = false;
    size_t start = 0;
    while (start <= style.size()) {
        size_t end = start;
        char quote = 0;
        while (end < style.size() && (quote || style[end] != ';')) {
            if (quote && style[end] == quote)
                quote = 0;
            else if (!quote && (style[end] == '"' || style[end] == '\''))
                quote = style[end];
            ++end;
        }
        const std::string_view declaration = style.substr(start, end - start);
        const size_t colon = declaration.find(':');
        if (colon != std::string_view::npos && unquoted(declaration.substr(0, colon)) == property) {
            if (present)
                *present = true;
            return unquoted(declaration.substr(colon + 1));
        }
        start = end + 1;
    }
    return {};
}

bool isTextElement(const std::string &name)
{
    const size_t colon = name.find(':');
    const std::string local = colon == std::string::npos ? name : name.substr(colon + 1);
    return local == "text" || local == "flowRoot";
}

bool activate(const std::string &path, const std::string &action, const std::string &parameter)
{
    const ToolRun run = runTool(inkscapeActionCall(path, action, parameter), kCallTimeoutMs);
    return run.exited && run.exitCode == 0;
}

bool setProperty(const std::string &property, const std::string &value)
{
    return activate(kAppPath, "object-set-property", quotedString(property + ',' + value));
}

// Document object paths of the running Inkscape, from its bus objects; false when it cannot
// be asked at all.
bool documentPaths(std::vector<std::string> &paths)
{
    const ToolRun run = runTool(
        {"gdbus", "introspect", "--session", "--dest", kBusName, "--object-path", kDocumentsPath},
        kCallTimeoutMs);
    if (!run.exited || run.exitCode != 0)
        return false;
    // Children are listed as "node NAME {" under the object's own "node /path {".
    size_t start = 0;
    while (start < run.output.size()) {
        size_t end = run.output.find('\n', start);
        if (end == std::string::npos)
            end = run.output.size();
        std::string_view line(run.output.data() + start, end - start);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.substr(0, 5) == "node " && line.size() > 5 && line[5] != '/') {
            const std::string_view name = line.substr(5, line.find(' ', 5) - 5);
            paths.push_back(std::string(kDocumentsPath) + '/' + std::string(name));
        }
        start = end + 1;
    }
    return true;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CssProperties inkscapeFontProperties(std::string_view family, std::string_view styleName)
{
    CssProperties properties = {{"font-family", "'" + std::string(family) + "'"},
                                {"font-weight", "normal"},
                                {"font-style", "normal"},
                                {"font-stretch", "normal"},
                                {"font-variant", "normal"}};
    const std::string words = styleWords(styleName);
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string::npos)
            end = words.size();
        const std::string_view word(words.data() + start, end - start);
        for (const WordValue &w : kCssWords)
            if (word == w.word)
                for (auto &property : properties)
                    if (property.first == w.property)
                        property.second = w.value;
        start = end + 1;
    }
    // Inkscape's own record of the face, which its text tools show and keep.
    properties.emplace_back("-inkscape-font-specification",
                            "'" + std::string(family) + (words.empty() ? "" : " " + words) + "'");
    return properties;
}

bool isCssSafeFamily(std::string_view family)
{
    return isExpressibleFamily(family) &&
           family.find_first_of("'\"\\;{}<>&") == std::string_view::npos;
}

std::vector<std::string> inkscapeActionCall(const std::string &objectPath,
                                            const std::string &action, const std::string &parameter)
{
    return {"gdbus",
            "call",
            "--session",
            "--dest",
            kBusName,
            "--object-path",
            objectPath,
            "--method",
            "org.gtk.Actions.Activate",
            action,
            parameter.empty() ? "[]" : "[<" + parameter + ">]",
            "{}"};
}

ReadBack checkInkscapeExport(std::string_view svg, std::string_view marker,
                             const CssProperties &expected)
{
    std::string family;
    for (const auto &[property, value] : expected)
        if (property == "font-family")
            family = unquoted(value);
    bool sawText = false;
    size_t pos = 0;
    Tag tag;
    while (nextTag(svg, pos, tag)) {
        if (tag.closing || styleValue(tag.style, kMarkProperty) != marker)
            continue;
        for (const auto &[property, value] : expected)
            if (styleValue(tag.style, property) != unquoted(value))
                return ReadBack::Different;
        if (!isTextElement(tag.name))
            continue;
        sawText = true;
        // A line or span inside the text that names its own family would keep showing it.
        for (int depth = tag.selfClosing ? 0 : 1; depth > 0 && nextTag(svg, pos, tag);) {
            if (tag.closing) {
                --depth;
                continue;
            }
            if (!tag.selfClosing)
                ++depth;
            bool named = false;
            const std::string inner = styleValue(tag.style, "font-family", &named);
            if (named && inner != family)
                return ReadBack::Different;
        }
    }
    return sawText ? ReadBack::Confirmed : ReadBack::NothingMarked;
}

int applyToInkscape(const std::string &family, const std::string &style)
{
    if (!isCssSafeFamily(family))
        return InexpressibleFontName;
    std::vector<std::string> documents;
    if (!documentPaths(documents))
        return hasProgram("inkscape") ? DrawingUnreachable : DrawingNotInstalled;
    if (documents.empty())
        return DrawingNoDocument;

    const CssProperties properties = inkscapeFontProperties(family, style);
    for (const auto &[property, value] : properties)
        if (!setProperty(property, value))
            return DrawingUnreachable; // too old to have the action, or gone meanwhile

    // The selection is found again in an export by a mark, which is taken back right after:
    // undone when it was set (undoing otherwise would take back the user's own last step)
    // in the only open document, else emptied, as the document in use is not known by path.
    char folder[] = "/tmp/sorvane-XXXXXX";
    if (!mkdtemp(folder))
        return DrawingFailed;
    const std::string file = std::string(folder) + "/readback.svg";
    const std::string marker =
        "m" + std::to_string(getpid()) + "t" + std::to_string(static_cast<long>(time(nullptr)));
    const bool exported = setProperty(kMarkProperty, marker) &&
                          activate(kAppPath, "export-filename", quotedString(file)) &&
                          activate(kAppPath, "export-type", "'svg'") &&
                          activate(kAppPath, "export-plain-svg", "true") &&
                          activate(kAppPath, "export-do", "");
    const std::string svg = exported ? readFile(file) : std::string();
    std::remove(file.c_str());
    rmdir(folder);
    const ReadBack result =
        exported ? checkInkscapeExport(svg, marker, properties) : ReadBack::Different;
    const bool marked = exported && svg.find(marker) != std::string::npos;
    if (marked && documents.size() == 1)
        activate(documents.front(), "undo", "");
    else if (!exported || marked)
        setProperty(kMarkProperty, "");
    return result == ReadBack::Confirmed ? Applied : DrawingFailed;
}

} // namespace sorvane
