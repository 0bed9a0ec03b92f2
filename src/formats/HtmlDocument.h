// The HTML back end of the Word document model: an HTML or XHTML page, read
// with libxml2's HTML parser from bytes in memory (no network, no DTD, no
// external entity), becomes paragraphs. Block elements (headings, p, li,
// blockquote, table cells, each line of a pre) are paragraphs, br a line
// break inside one, scripts and styles are left out; a href is a hyperlink,
// id and a name are anchors, img a picture; a Word-saved page's MsoToc
// paragraphs are its table of contents, and h1 to h3 headings make one when
// it has none.
#pragma once

#include "formats/WordDocument.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace paginor {

// Gives the bytes of the picture a reference names (an img src as written),
// or nothing when that picture is not to be had. May raise TBookError to
// fail the book (a reference that must never be followed).
using TPictureSource = std::function<std::optional<std::string>(const std::string& reference)>;

// Reads a page. `name` names it in messages.
TWordDocument ReadHtmlDocument(std::string_view bytes, const std::string& name,
                               const TPictureSource& pictures);

// Reads a page into a document being built (a book of several pages); the
// page's last paragraph is ended. Returns the page's details: its <title>
// (else a DC.title meta tag) and the author that an "author" or Dublin Core
// creator meta tag names.
TDocumentDetails ReadHtmlInto(TWordDocumentBuilder& builder, std::string_view bytes,
                              const std::string& name, const TPictureSource& pictures);

// The page's text: a byte-order mark decides first, then the charset the page
// declares (XML declaration, meta charset or http-equiv), then detection as
// for text files without a mark (so an undeclared windows-1251 page reads as
// Cyrillic). A declared ISO-8859-1 or ASCII page is read as windows-1252, as
// browsers do.
std::u16string DecodeHtmlPage(std::string_view bytes);

// Pictures of a page file: files beside the page or in folders below it. A
// reference with a scheme ("http:", "data:") gives nothing; one that is
// absolute or leads out of the page's folder, also through a symbolic link,
// raises "The picture REF of PAGE lies outside the page's folder".
TPictureSource PicturesBesidePage(const std::filesystem::path& page);

} // namespace paginor
