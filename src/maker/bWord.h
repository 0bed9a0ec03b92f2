// Word importer: a Word document or web page becomes tagged text. The
// document is read into the Word document model (src/platform) and walked
// paragraph by paragraph: headings are matched against its first table of
// contents, the table of contents' own paragraphs give way to the
// table-of-contents tag, hyperlinks become link tags, and the first picture of
// a paragraph is saved into the picture folder and named in an image tag.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"
#include "formats/WordDocument.h"

#include <string>
#include <string_view>

namespace paginor {

// Reads the document (.htm, .html, .xhtml pages; .docx; .odt; .doc, .rtf
// through LibreOffice) and returns its tagged text. `log` reports progress
// (the build driver). The document's title and author ("title, author",
// either left out when empty) become BookInfo unless the configuration sets
// it. Raises TBookError on failure.
std::u16string ImportWordDocument(const TBookObject& log, TBookConfig& config,
                                  const std::u16string& fileName, const std::u16string& pictureDir);

// The paragraph walk of ImportWordDocument over a document already read (a
// book made of several documents comes this way too).
std::u16string ConvertWordDocument(const TBookObject& log, const TBookConfig& config,
                                   const TWordDocument& document, const std::u16string& pictureDir);

// "title, author" of a document's details, skipping what is empty.
std::u16string BookDetails(const TDocumentDetails& details);

// Whether a paragraph is the heading a table-of-contents entry names: with
// every character of code 32 or less and every "." removed from both, the
// paragraph's text is not empty and occurs inside the entry's, which is not
// empty either (so "Chapter One\t5" names "Chapter One").
bool MatchesTocEntry(std::u16string_view paragraph, std::u16string_view entry);

// "<#link " + address + ">" + text + "<#/link>", where an address beginning
// "http://" (in any case) is written "http " and the rest, one beginning
// "https://" is written "http " and the whole address, and any other is kept.
std::u16string MakeLinkTag(std::u16string_view address, std::u16string_view text);

} // namespace paginor
