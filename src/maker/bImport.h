// What the importers share: tag arguments taken from a book written so that
// they cannot end or split their tag.
#pragma once

#include <string>
#include <string_view>

namespace paginor {

// "<", ">", "[", "]" and control characters of a label name or link target
// become %XX, which keeps web addresses valid and label names matching the
// links that name them. UTF-8 in and out.
std::string SafeTagArgument(std::string_view value);

} // namespace paginor
