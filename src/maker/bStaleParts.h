// Midlets that an earlier edition of a divided book left in the output
// folder: a book once divided into five parts and now into three leaves
// BOOK4 and BOOK5 beside the new BOOK1..BOOK3, and a phone would install them
// with the new edition by mistake.
#pragma once

#include "core/bObject.h"

#include <cstddef>
#include <string>
#include <vector>

namespace paginor {

// The midlet names (UTF-8, without extension) of the JARs and JADs in the
// folder named `base` followed by a part number above `parts` (decimal,
// without leading zeros), in the order of their numbers.
std::vector<std::string> FindStaleParts(const std::u16string& folder, const std::string& base,
                                        size_t parts);

// Tells the stale parts in one "? " line or, with `remove`, removes their
// JARs and JADs and tells that. A file that cannot be removed is told, and
// the book still counts as built.
void HandleStaleParts(const TBookObject& log, const std::u16string& folder, const std::string& base,
                      size_t parts, bool remove);

} // namespace paginor
