// Which files are books and which importer reads each: by the end of the
// name first, then, for a name that tells nothing, by the first bytes.
#pragma once

#include <optional>
#include <string>

namespace paginor {

// The importer that reads a source; anything not recognised is read as text.
enum class TSourceKind { Text, Word, FictionBook, ZippedFictionBook, Epub };

// The extensions of the sources folder mode builds, in the order tested.
// Besides Word documents and web pages as Word opens them (.doc, .htm,
// .html), the other document formats people have go the same way: through
// the text loader they would only give garbage.
inline constexpr const char16_t* kSourceExtensions[] = {u".doc",     u".htm", u".html", u".fb2",
                                                        u".fb2.zip", u".fbz", u".epub", u".txt",
                                                        u".docx",    u".odt", u".rtf",  u".xhtml"};

// Whether the name ends in the extension (case-insensitive) and is longer.
bool HasExtension(const std::u16string& extension, const std::u16string& name);
// Whether the name ends in one of kSourceExtensions.
bool HasSourceExtension(const std::u16string& name);

// What the first bytes of a file show it to be.
struct TSniffedSource {
    TSourceKind Kind = TSourceKind::Text;
    // For a document whose reader goes by the extension (a Word document, a
    // web page): the extension the file needs; empty when it reads as it is.
    std::u16string WantedExtension;
};
// FB2 (XML whose first element is FictionBook), EPUB (a zip that begins with
// its mimetype), a zip holding an FB2 book, DOCX, ODT, RTF, a Word 97 file or
// a web page; nothing when it is none of them or cannot be read.
std::optional<TSniffedSource> SniffSource(const std::u16string& path);

// The importer for a source: by its extension, else by its content when that
// shows a format read by content alone (FB2, zipped FB2, EPUB), else text.
TSourceKind SourceKindOf(const std::u16string& path);

// The book name folder mode gives a source: the file name without its
// extension (a ".fb2.zip" goes whole), or the whole name when it has none.
std::u16string BookNameOf(const std::u16string& fileName);

} // namespace paginor
