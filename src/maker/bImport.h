// What the importers share: tag arguments taken from a book written so that
// they cannot end or split their tag, and a book's cover made its splash
// picture.
#pragma once

#include <string>
#include <string_view>

namespace paginor {

// "<", ">", "[", "]" and control characters of a label name or link target
// become %XX, which keeps web addresses valid and label names matching the
// links that name them. UTF-8 in and out.
std::string SafeTagArgument(std::string_view value);

class TBookObject;

// Makes the cover picture file `source` the splash picture `target`: a PNG
// that fits the smallest screen the reader targets (another format, or a
// larger picture, is converted keeping its proportions; a PNG that fits is
// kept byte for byte). A cover that is no picture is left out with a level-6
// line naming it as `name`, so that the book still builds with the splash
// screen's text alone; returns false then.
bool MakeCoverPicture(const TBookObject& log, const std::string& source, const std::string& target,
                      std::string_view name);

} // namespace paginor
