// The DOCX back end of the Word document model: a WordprocessingML package
// read with the zip reader and libxml2. The main document's paragraphs and
// runs in body order (tables cell by cell); the table-of-contents field or
// content control; hyperlinks through the relationships (web addresses) and
// bookmark anchors; inline and anchored drawings through the relationships to
// their media parts, with docPr's descr as the alternative text; heading
// styles and outline levels 1 to 3 for a made table of contents; footnotes
// and endnotes after the body, each reached by a link from its reference.
// A relationship that points outside the package fails the document.
#pragma once

#include "formats/WordDocument.h"
#include "platform/ZipArchive.h"

namespace paginor {

// Reads the package. Raises TBookError with one line on a package that is
// not a Word document, a part that is not well-formed XML, or a
// relationship that leads out of the package.
TWordDocument ReadDocxDocument(TZipArchive& package);

} // namespace paginor
