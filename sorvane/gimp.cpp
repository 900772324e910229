#include "sorvane/gimp.h"

#include "sorvane/fontdesc.h"
#include "sorvane/inkscape.h"
#include "sorvane/resultcodes.h"
#include "sorvane/settingstool.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace sorvane {
namespace {

constexpr int kCallTimeoutMs = 5000;
// The first command of a session also starts GIMP's Script-Fu plug-in.
constexpr int kAnswerTimeoutMs = 4000;
constexpr useconds_t kPollUs = 20 * 1000;
constexpr const char *kAnswerPrefix = "sorvane:";

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The answer once it is complete (it ends with "|"), or "" when none came in time.
std::string awaitAnswer(const std::string &file)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    do {
        const std::string text = readFile(file);
        if (!text.empty() && text.back() == '|')
            return text.substr(0, text.size() - 1);
        usleep(kPollUs);
    } while (std::chrono::steady_clock::now() < end);
    return {};
}

} // namespace

std::vector<std::string> gimpBatchCall(const std::string &command)
{
    return {"gdbus",
            "call",
            "--session",
            "--dest",
            "org.gimp.GIMP.UI",
            "--object-path",
            "/org/gimp/GIMP/UI",
            "--method",
            "org.gimp.GIMP.UI.BatchRun",
            "plug-in-script-fu-eval",
            command};
}

std::string gimpFontScript(const std::string &fontName, const std::string &answerFile)
{
    // Neither the name nor the file has a quote or backslash (checked before), so both
    // stand in Scheme strings as they are.
    return "(let ((answer (let* ((images (gimp-image-list)))"
           " (if (= (car images) 0) \"sorvane:no-image\""
           "  (let* ((layer (car (gimp-image-get-active-layer (vector-ref (cadr images) 0)))))"
           "   (if (or (= layer -1) (= (car (gimp-item-is-text-layer layer)) 0))"
           "    \"sorvane:not-text\""
           "    (begin (gimp-text-layer-set-font layer \"" +
           fontName +
           "\") (gimp-displays-flush)"
           "     (string-append \"sorvane:font:\" (car (gimp-text-layer-get-font layer))))))))))"
           " (call-with-output-file \"" +
           answerFile + "\" (lambda (port) (display answer port) (display \"|\" port))))";
}

int gimpAnswerCode(std::string_view answer, const std::string &fontName)
{
    if (answer.substr(0, std::string_view(kAnswerPrefix).size()) != kAnswerPrefix)
        return PhotoFailed;
    answer.remove_prefix(std::string_view(kAnswerPrefix).size());
    if (answer == "no-image")
        return PhotoNoDocument;
    if (answer.substr(0, 5) == "font:" && answer.substr(5) == fontName)
        return Applied;
    return PhotoFailed; // not a text layer, or it kept another font
}

int applyToGimp(const std::string &family, const std::string &style)
{
    if (!isCssSafeFamily(family))
        return InexpressibleFontName;
    char folder[] = "/tmp/sorvane-XXXXXX";
    if (!mkdtemp(folder))
        return PhotoFailed;
    const std::string file = std::string(folder) + "/answer";
    const std::string words = styleWords(style);
    const std::string fontName = family + (words.empty() ? "" : " " + words);

    const ToolRun run = runTool(gimpBatchCall(gimpFontScript(fontName, file)), kCallTimeoutMs);
    int code;
    if (!run.exited || run.exitCode != 0 || run.output.find("true") == std::string::npos)
        code = hasProgram("gimp") || hasProgram("gimp-2.10") ? PhotoUnreachable : PhotoNotInstalled;
    else
        code = gimpAnswerCode(awaitAnswer(file), fontName);
    std::remove(file.c_str());
    rmdir(folder);
    return code;
}

} // namespace sorvane
