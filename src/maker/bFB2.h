// FB2 importer: a FictionBook file becomes tagged text; its pictures are
// decoded into the picture folder and named in image tags by full path.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <string>

namespace paginor {

// Reads the FB2 file, fills config.BookInfo and config.SplashFileName from its
// header, and returns the tagged text. `log` is the object that reports
// progress (the build driver). Raises TBookError on failure.
std::u16string ImportFictionBook(const TBookObject& log, TBookConfig& config,
                                 const std::u16string& fileName, const std::u16string& pictureDir);

} // namespace paginor
