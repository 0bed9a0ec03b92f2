// The OpenDocument text back end of the Word document model: an ODT package
// read with the zip reader and libxml2, without LibreOffice. content.xml's
// body in order: paragraphs and headings (text:h with its outline level, or a
// paragraph whose style has one), lists with their bullets and numbers,
// tables cell by cell, sections; text:a links (web addresses, and "#name"
// anchors that bookmarks and reference marks set); frames with their
// pictures (svg:title or svg:desc as the alternative text) and text boxes,
// whose paragraphs follow the paragraph that anchors them;
// text:table-of-content as the table of contents; footnotes and endnotes
// after the body, each reached by a link from its citation, as DOCX notes
// are. styles.xml gives the paragraph styles' outline levels and the list
// styles; meta.xml the title and the author.
#pragma once

#include "formats/WordDocument.h"
#include "platform/ZipArchive.h"

namespace paginor {

// Reads the package. Raises TBookError with one line on a package that is
// not an OpenDocument text or a part that is not well-formed XML.
TWordDocument ReadOdtDocument(TZipArchive& package);

} // namespace paginor
