// EPUB books for tests, assembled from their parts: the container, a
// package document, XHTML pages, an EPUB 3 navigation document and an
// EPUB 2 NCX. Each helper writes one file of the book; tests put them into
// a zip with ZipBytes, so a test can leave any part out or break it.
#pragma once

#include "zip_fixture.h"

#include <string>
#include <vector>

namespace paginor::testing {

inline std::string EpubContainer(const std::string& packagePath = "OEBPS/content.opf") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path=")" +
           packagePath + R"(" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";
}

// A package document; `metadata`, `manifest` and `spine` are the inner XML
// of those elements, `spineAttributes` goes into the spine's start tag.
inline std::string EpubPackageDocument(const std::string& metadata, const std::string& manifest,
                                       const std::string& spine,
                                       const std::string& spineAttributes = "",
                                       const std::string& version = "3.0") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version=")" +
           version + R"(" unique-identifier="id">
<metadata xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:opf="http://www.idpf.org/2007/opf">)" +
           metadata + "</metadata>\n<manifest>" + manifest + "</manifest>\n<spine" +
           spineAttributes + ">" + spine + "</spine>\n</package>";
}

inline std::string EpubItem(const std::string& id, const std::string& href,
                            const std::string& mediaType = "application/xhtml+xml",
                            const std::string& more = "") {
    return "<item id=\"" + id + "\" href=\"" + href + "\" media-type=\"" + mediaType + "\"" + more +
           "/>";
}

inline std::string EpubItemRef(const std::string& id, const std::string& more = "") {
    return "<itemref idref=\"" + id + "\"" + more + "/>";
}

// An XHTML page around the given body content.
inline std::string EpubPage(const std::string& body, const std::string& title = "Page") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops">
<head><title>)" +
           title + "</title></head>\n<body>" + body + "</body>\n</html>";
}

// An EPUB 3 navigation document whose toc nav holds the given list items
// ("<li><a href=...>...</a></li>"); a landmarks nav stands before it.
inline std::string EpubNavigation(const std::string& items) {
    return EpubPage(
        R"(<nav epub:type="landmarks"><ol><li><a epub:type="bodymatter" href="one.xhtml">Start</a></li></ol></nav>
<nav epub:type="toc" id="toc"><h1>Contents</h1><ol>)" +
            items + "</ol></nav>",
        "Contents");
}

// An EPUB 2 NCX around the given navPoints.
inline std::string EpubNcx(const std::string& navPoints) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE ncx PUBLIC "-//NISO//DTD ncx 2005-1//EN" "http://www.daisy.org/z3986/2005/ncx-2005-1.dtd">
<ncx xmlns="http://www.daisy.org/z3986/2005/ncx/" version="2005-1">
<head><meta name="dtb:uid" content="id"/></head><docTitle><text>Book</text></docTitle>
<navMap>)" +
           navPoints + "</navMap></ncx>";
}

inline std::string EpubNavPoint(const std::string& label, const std::string& src,
                                const std::string& children = "") {
    return "<navPoint id=\"p" + std::to_string(label.size()) + "\"><navLabel><text>" + label +
           "</text></navLabel><content src=\"" + src + "\"/>" + children + "</navPoint>";
}

// The archive of a book: "mimetype" first and stored, then the entries.
inline std::string EpubBytes(const std::vector<TZipEntry>& entries) {
    std::vector<TZipEntry> all = {{"mimetype", "application/epub+zip", true}};
    all.insert(all.end(), entries.begin(), entries.end());
    return ZipBytes(all);
}

} // namespace paginor::testing
