#pragma once
#include <string>
#include <string_view>
namespace sorvane {
enum class OfficeApp { Writer, Impress };
// The LibreOffice application a top-level window belongs to, from its WM_CLASS.
bool officeAppForWindow(std::string_view instance, std::string_view windowClass, OfficeApp *app);
// Whether a running LibreOffice of this session has a document of this kind open and reachable;
// asked when no window manager says which window is in use.
bool officeHasOpenDocument(OfficeApp app);
// Sets family and style on the selection (or at the cursor when nothing is selected) of the
// current document of that kind and reads it back. 0 when confirmed, else the family's codes
// (Writer 1-4, Impress 5-8: document missing / not installed / could not be reached / interaction
// failed).
int applyToOffice(OfficeApp app, const std::string &family, const std::string &style);
} // namespace sorvane
