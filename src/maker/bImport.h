// What the importers share: tag arguments taken from a book written so that
// they cannot end or split their tag, and picture files written into the
// picture folder without following a link planted there.
#pragma once

#include <string>
#include <string_view>

namespace paginor {

// "<", ">", "[", "]" and control characters of a label name or link target
// become %XX, which keeps web addresses valid and label names matching the
// links that name them. UTF-8 in and out.
std::string SafeTagArgument(std::string_view value);

// Writes a whole file (UTF-8 name), replacing an existing one but never
// following a symbolic link in its place. Raises TBookError.
void WritePictureFile(const std::string& name, std::string_view bytes);

} // namespace paginor
