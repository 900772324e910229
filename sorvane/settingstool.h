#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading and writing application settings through the desktop's own `gsettings` command, so
// that whatever backend the session uses (dconf, a key file) is the one written, and a
// separate process reading the value back confirms that it reached the store.
namespace sorvane {

struct ToolRun
{
    bool started = false; // the program could be executed
    bool exited = false;  // it ended by itself in time (not killed)
    int exitCode = -1;
    std::string output; // standard output, at most kMaxToolOutput bytes
};

constexpr size_t kMaxToolOutput = 64 * 1024;

// Runs argv[0] (looked up in PATH) with no input and stderr discarded; a run past
// timeoutMs is killed.
ToolRun runTool(const std::vector<std::string> &argv, int timeoutMs);

// Whether an executable of that name is in one of $PATH's folders.
bool hasProgram(const char *name);

// A string in the settings value syntax: single quotes, with backslash before ' and \.
std::string quotedString(std::string_view utf8);

// Reads a printed string value ('...' or "..." with backslash escapes); false when the
// text is not exactly one string literal.
bool parseStringLiteral(std::string_view text, std::string &out);

bool parseBoolean(std::string_view text, bool &out);

// `gsettings get SCHEMA KEY`: the printed value, false when the schema or key is unknown,
// the command is missing or fails.
bool readSetting(const std::string &schema, const std::string &key, std::string &printed);

// `gsettings set SCHEMA KEY VALUE` with VALUE in the printed syntax.
bool writeSetting(const std::string &schema, const std::string &key, const std::string &value);

} // namespace sorvane
