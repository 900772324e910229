#pragma once

#include <string>
#include <string_view>
#include <vector>

// GIMP 2.10 runs Script-Fu commands it is handed on the session bus (its UI service's
// BatchRun). The call returns before the command has run and says nothing of its outcome, so
// the command writes its answer into a file that is then read back.
namespace sorvane {

// The argv of the `gdbus` call that hands GIMP one Script-Fu command.
std::vector<std::string> gimpBatchCall(const std::string &command);

// The command that sets fontName on the active layer of the newest image when that is a
// text layer, and writes what the layer then holds, followed by "|", into answerFile.
std::string gimpFontScript(const std::string &fontName, const std::string &answerFile);

// The code for a complete answer: 0 when the layer holds fontName, else 13 or 16.
int gimpAnswerCode(std::string_view answer, const std::string &fontName);

// Sets the font in the running GIMP: 0, or one of the photo-editing codes 13-16.
int applyToGimp(const std::string &family, const std::string &style);

} // namespace sorvane
