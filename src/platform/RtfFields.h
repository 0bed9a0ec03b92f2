// Fields of an RTF document that would make LibreOffice read files of the
// machine into the book it converts: INCLUDEPICTURE embeds the picture a path
// names, INCLUDETEXT the text of another file, LINK, DDE, IMPORT and DATABASE
// fetch other content. The fields a book uses (hyperlinks, tables of
// contents, references inside the document, page numbers, symbols) are kept;
// of every other field the instruction is removed, so that only the result the
// document shows stays (for a linked picture with "\d", nothing).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace paginor {

// Whether the bytes are an RTF document ("{\rtf"), whatever the file's name
// (Word saves RTF under ".doc" too).
bool IsRtf(std::string_view bytes);

// The RTF with the instruction group ("{\*\fldinst ...}") of every field
// that is not on the list of kept fields taken out; each removed
// instruction's text (decoded, blanks collapsed, at most 200 bytes) goes to
// `removed`. Text, pictures and the rest of the document are unchanged.
std::string WithoutOutsideFields(std::string_view rtf, std::vector<std::string>& removed);

} // namespace paginor
