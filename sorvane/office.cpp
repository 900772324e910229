#include "sorvane/office.h"

#include "sorvane/fontdesc.h"
#include "sorvane/officehelper.h"
#include "sorvane/officepipe.h"

#include <algorithm>
#include <cctype>

namespace sorvane {
namespace {

// Each application's four codes, in this order after its first.
enum OfficeFailure { DocumentMissing = 0, NotInstalled = 1, Unreachable = 2, InteractionFailed = 3 };

int officeCode(OfficeApp app, OfficeFailure failure)
{
    return (app == OfficeApp::Writer ? 1 : 5) + failure;
}

const char *kindWord(OfficeApp app)
{
    return app == OfficeApp::Writer ? "writer" : "impress";
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace

bool officeAppForWindow(std::string_view instance, std::string_view windowClass, OfficeApp *app)
{
    // The suite names each module's windows in the class ("libreoffice-writer"), and some
    // toolkits repeat it as the instance.
    static constexpr struct {
        const char *name;
        OfficeApp app;
    } kWindows[] = {
        {"libreoffice-writer", OfficeApp::Writer},
        {"libreoffice-impress", OfficeApp::Impress},
    };
    for (const auto &w : kWindows) {
        if (equalsIgnoringCase(windowClass, w.name) || equalsIgnoringCase(instance, w.name)) {
            if (app)
                *app = w.app;
            return true;
        }
    }
    return false;
}

OfficeLink defaultOfficeLink()
{
    OfficeLink link;
    link.pipe = kOfficePipe;
    return link;
}

OfficeStyle officeStyle(std::string_view styleName)
{
    OfficeStyle style;
    const std::string described = styleWords(styleName);
    for (std::string_view word : words(described)) {
        if (word == "Semi-Bold" || word == "Bold" || word == "Ultra-Bold" || word == "Heavy" ||
            word == "Ultra-Heavy")
            style.bold = true;
        else if (word == "Italic" || word == "Oblique")
            style.italic = true;
    }
    return style;
}

std::vector<std::string> officeProbeArgs(const OfficeLink &link, OfficeApp app)
{
    // -X utf8: names travel as UTF-8 whatever the session's locale; -I: no user site or
    // PYTHON* variables between the library and Debian's own modules.
    return {link.python, "-X", "utf8", "-I", "-c", kOfficeScript, link.pipe, kindWord(app),
            "probe"};
}

std::vector<std::string> officeApplyArgs(const OfficeLink &link, OfficeApp app,
                                         const std::string &family, const std::string &style)
{
    const OfficeStyle wanted = officeStyle(style);
    std::vector<std::string> args = officeProbeArgs(link, app);
    args.back() = "apply";
    args.insert(args.end(), {family, style, wanted.bold ? "1" : "0", wanted.italic ? "1" : "0"});
    return args;
}

OfficeReply parseOfficeReply(std::string_view output)
{
    OfficeReply reply;
    bool family = false, style = false, bold = false, italic = false;
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = std::min(output.find('\n', start), output.size());
        const std::string_view line = output.substr(start, end - start);
        start = end + 1;
        const size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (key == "missing")
            reply.missing = true;
        else if (key == "unreachable")
            reply.unreachable = true;
        else if (key == "connected")
            reply.connected = true;
        else if (key == "nodocument")
            reply.noDocument = true;
        else if (key == "document")
            reply.document = true;
        else if (key == "family")
            family = parseStringLiteral(value, reply.family);
        else if (key == "style")
            style = parseStringLiteral(value, reply.style);
        else if (key == "bold")
            bold = parseBoolean(value, reply.bold);
        else if (key == "italic")
            italic = parseBoolean(value, reply.italic);
    }
    reply.readBack = family && style && bold && italic;
    return reply;
}

int officeOutcome(OfficeApp app, const ToolRun &run, const std::string &family,
                  const std::string &style)
{
    if (!run.started)
        return officeCode(app, NotInstalled);
    const OfficeReply reply = parseOfficeReply(run.output);
    if (reply.missing)
        return officeCode(app, NotInstalled);
    // Nothing listening, or no answer before the limit: connections are off, or the suite
    // is not running.
    if (!reply.connected)
        return officeCode(app, Unreachable);
    if (reply.noDocument)
        return officeCode(app, DocumentMissing);
    // A complete read-back is the suite's own word; how the helper ended after it is not.
    if (!reply.document || !reply.readBack)
        return officeCode(app, InteractionFailed);
    const OfficeStyle wanted = officeStyle(style);
    if (reply.family != family || reply.style != style || reply.bold != wanted.bold ||
        reply.italic != wanted.italic)
        return officeCode(app, InteractionFailed);
    return 0;
}

int applyToOffice(const OfficeLink &link, OfficeApp app, const std::string &family,
                  const std::string &style)
{
    return officeOutcome(app, runTool(officeApplyArgs(link, app, family, style), link.timeoutMs),
                         family, style);
}

bool officeHasOpenDocument(const OfficeLink &link, OfficeApp app)
{
    const ToolRun run = runTool(officeProbeArgs(link, app), link.timeoutMs);
    return parseOfficeReply(run.output).document;
}

int applyToOffice(OfficeApp app, const std::string &family, const std::string &style)
{
    return applyToOffice(defaultOfficeLink(), app, family, style);
}

bool officeHasOpenDocument(OfficeApp app)
{
    return officeHasOpenDocument(defaultOfficeLink(), app);
}

} // namespace sorvane
