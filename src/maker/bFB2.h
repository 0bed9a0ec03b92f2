// FB2 importer: a FictionBook file becomes tagged text; its pictures are
// decoded into the picture folder and named in image tags by full path.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <string>
#include <string_view>

namespace paginor {

// Reads the FB2 file, fills config.BookInfo and config.SplashFileName from its
// header, and returns the tagged text. `log` is the object that reports
// progress (the build driver). Raises TBookError on failure.
std::u16string ImportFictionBook(const TBookObject& log, TBookConfig& config,
                                 const std::u16string& fileName, const std::u16string& pictureDir);

// The same for a zipped FB2 book (".fb2.zip", ".fbz"): the archive's FB2
// entry is read in memory and imported exactly as a file of those bytes would
// be. When the archive holds several, the first in archive order is taken and
// the log says so; an archive without one fails with one line.
std::u16string ImportZippedFictionBook(const TBookObject& log, TBookConfig& config,
                                       const std::u16string& fileName,
                                       const std::u16string& pictureDir);

// Decodes base64 (RFC 4648 alphabet) the way FB2 binaries are read: characters
// outside the alphabet are skipped, the first "=" ends the data (a group of two
// characters gives one byte, of three two bytes), and a final group that no
// "=" ends is dropped.
std::string DecodeBase64(std::string_view text);

// The file name a binary id is saved under: lower-cased, with path
// separators, "..", blanks, control characters and the markup's delimiters
// replaced by "_", never empty, at most 80 UTF-16 code units (the end kept).
std::string SafePictureName(std::string_view id);

} // namespace paginor
