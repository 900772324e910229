#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Inkscape 1.2 and later, reached through the actions it exports on the session bus.
namespace sorvane {

using CssProperties = std::vector<std::pair<std::string, std::string>>;

// The style properties that give the selected text this face. Every one is written, so a
// face that was bold before becomes regular when the new style says so.
CssProperties inkscapeFontProperties(std::string_view family, std::string_view styleName);

// Whether the family can stand in a style attribute and in an action parameter
// ("name,value": the action splits at commas).
bool isCssSafeFamily(std::string_view family);

// The argv of one `gdbus` action call on Inkscape's bus name; parameter is a value in the
// bus's text syntax, empty for an action without one.
std::vector<std::string> inkscapeActionCall(const std::string &objectPath,
                                            const std::string &action,
                                            const std::string &parameter);

enum class ReadBack { Confirmed, NothingMarked, Different };

// Looks in an exported plain SVG for the elements whose style carries marker (the
// selection): confirmed when there is text among them and every one of them, and every
// element inside such a text that names a family of its own, has the expected values.
ReadBack checkInkscapeExport(std::string_view svg, std::string_view marker,
                             const CssProperties &expected);

// Sets the font on the selection of Inkscape's active document and confirms it from an
// export of that document: 0, or one of the drawing codes 9-12.
int applyToInkscape(const std::string &family, const std::string &style);

} // namespace sorvane
