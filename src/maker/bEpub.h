// EPUB importer: an EPUB book (2 or 3) becomes tagged text. The spine's
// documents are read in reading order like web pages and joined into one
// document of the Word document model, which the Word importer's walk turns
// into tagged text: the book's table of contents (navigation document or
// NCX) gives the headers and the table-of-contents tag, links between the
// book's documents become label links, pictures come from the package only.
// The metadata's title, authors and cover fill BookInfo and the splash
// picture, as an FB2 book's header does.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <string>

namespace paginor {

// Reads the EPUB file and returns its tagged text; fills config.BookInfo
// from the title and authors and config.SplashFileName with the cover made
// a PNG that fits the screen. `log` reports progress (the build driver).
// Raises TBookError with one line when the book cannot be read.
std::u16string ImportEpubBook(const TBookObject& log, TBookConfig& config,
                              const std::u16string& fileName, const std::u16string& pictureDir);

} // namespace paginor
