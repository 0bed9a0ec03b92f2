// The versions of the libraries the program runs on, for --version.
#pragma once

#include <string>
#include <vector>

namespace paginor {

// One line a library, "NAME VERSION": the version of the library loaded
// where the library can tell it, else the one the program was built with.
std::vector<std::string> LibraryVersionLines();

} // namespace paginor
