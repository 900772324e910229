#pragma once

#include "sorvane/office.h"
#include "sorvane/settingstool.h"

#include <string>
#include <string_view>
#include <vector>

// The pieces of the LibreOffice path that tests reach without a running suite: which
// helper run a request becomes, and what its output means.
namespace sorvane {

// How the helper is run: Debian's python (the one python3-uno belongs to), the pipe the
// suite listens on, and the limit for one run.
struct OfficeLink
{
    std::string python = "/usr/bin/python3";
    std::string pipe;
    int timeoutMs = 3000;
};
OfficeLink defaultOfficeLink();

// The helper script built into the library.
extern const char *const kOfficeScript;

struct OfficeStyle
{
    bool bold = false;
    bool italic = false;
};
// Bold for weights from Semi-Bold up, italic for italic and oblique faces; the style name
// itself is passed along too, for faces that those two cannot tell apart.
OfficeStyle officeStyle(std::string_view styleName);

// The helper's command line that sets the font and reports it back.
std::vector<std::string> officeApplyArgs(const OfficeLink &link, OfficeApp app,
                                         const std::string &family, const std::string &style);
// The one that only asks whether a document of that kind is open.
std::vector<std::string> officeProbeArgs(const OfficeLink &link, OfficeApp app);

struct OfficeReply
{
    bool missing = false;     // python3-uno is not installed
    bool unreachable = false; // nothing listens on the pipe
    bool connected = false;
    bool noDocument = false;
    bool document = false;
    bool readBack = false; // family, style, bold and italic were all reported
    std::string family;
    std::string style;
    bool bold = false;
    bool italic = false;
};
OfficeReply parseOfficeReply(std::string_view output);

// The result code of one apply run: 0 only when the application reports the requested font.
int officeOutcome(OfficeApp app, const ToolRun &run, const std::string &family,
                  const std::string &style);

int applyToOffice(const OfficeLink &link, OfficeApp app, const std::string &family,
                  const std::string &style);
bool officeHasOpenDocument(const OfficeLink &link, OfficeApp app);

} // namespace sorvane
