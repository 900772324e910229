#pragma once

#include <string>
#include <string_view>

// Font descriptions as the toolkit-based applications store them ("Family, Style Words Size").
namespace sorvane {

bool isValidUtf8(std::string_view text);

// A family can be written into a description when it is valid UTF-8, has no control
// character and no comma (the comma separates family lists) and is not blank.
bool isExpressibleFamily(std::string_view family);

// The style name as the description's style words ("SemiBold Italic" -> "Semi-Bold Italic");
// words it cannot express are left out, so an unknown style leaves the regular face.
std::string styleWords(std::string_view styleName);

// The size at the end of a description ("12", "10.5", "14px"), or "" when there is none or
// it is not a sensible size.
std::string sizeOf(std::string_view description);

// "Family, Style Words Size": the trailing comma ends the family list, so a family that ends
// in a number or a style word is still read whole.
std::string fontDescription(std::string_view family, std::string_view styleName,
                            std::string_view size);

} // namespace sorvane
