#pragma once

#include <string>
#include <string_view>

// GIMP 2.10 offers no interface to other programs until the user starts its Script-Fu
// server (Filters > Script-Fu > Start Server); through it the active text layer is set.
namespace sorvane {

constexpr int kScriptFuDefaultPort = 10008;

// One request of the server's protocol: 'G', the script's length in two bytes (big endian),
// the script. Empty when the script is too long for two bytes.
std::string scriptFuRequest(std::string_view script);

// A whole reply: 'G', a status byte (0 for success), the length in two bytes, the text.
// False while it is incomplete or when it is not a reply.
bool parseScriptFuReply(std::string_view bytes, bool &failed, std::string &text);

// The script that sets fontName on the active layer of the newest image when that is a
// text layer, and answers with what the layer then holds.
std::string gimpFontScript(const std::string &fontName);

// The code for the script's answer: 0 when the layer holds fontName, else 13 or 16.
int gimpAnswerCode(std::string_view answer, const std::string &fontName);

// Sets the font through the server on 127.0.0.1 (its port from $SORVANE_SCRIPT_FU_PORT,
// else the default): 0, or one of the photo-editing codes 13-16.
int applyToGimp(const std::string &family, const std::string &style);

} // namespace sorvane
