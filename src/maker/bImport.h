// What the importers share: tag arguments taken from a book written so that
// they cannot end or split their tag, the link kind a document's hyperlink
// becomes, and a book's cover made its splash picture.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace paginor {

// "<", ">", "[", "]" and control characters of a label name or link target
// become %XX, which keeps web addresses valid and label names matching the
// links that name them. UTF-8 in and out.
std::string SafeTagArgument(std::string_view value);

// What a hyperlink of a document (FB2, web page, EPUB, DOCX, office file)
// becomes on the phone. A document's address is never read as markup: it
// can only give a web link, a phone call or an SMS, never a picture or a
// file of the machine the book is made on.
struct TDocumentLink {
    std::string Kind;   // "http", "phone" or "sms"
    std::string Target; // safe as a tag argument (see SafeTagArgument)
};

// The link an address leads to:
// - "http:" and "https:" addresses, and those without a scheme and without
//   a blank ("notes.html", "www.example.com"): a web link, the address as
//   written, a blank inside it written %20;
// - "tel:NUMBER": a phone link to the number;
// - "sms:NUMBER?body=TEXT": an SMS link "NUMBER:TEXT" (the text
//   percent-decoded; just the number when there is no body);
// - anything else ("mailto:", "file:", "javascript:", an empty number, an
//   address holding a blank such as "image /home/ann/a.png"): nothing, and
//   the link's text stays plain text.
// UTF-8 in and out.
std::optional<TDocumentLink> DocumentLinkOf(std::string_view address);
// The log line of a hyperlink that DocumentLinkOf leaves plain text.
std::string PlainLinkLine(std::string_view address);

class TBookObject;

// Makes the cover picture file `source` the splash picture `target`: a PNG
// that fits the smallest screen the reader targets (another format, or a
// larger picture, is converted keeping its proportions; a PNG that fits is
// kept byte for byte). A cover that is no picture is left out with a level-6
// line naming it as `name`, so that the book still builds with the splash
// screen's text alone; returns false then.
bool MakeCoverPicture(const TBookObject& log, const std::string& source, const std::string& target,
                      std::string_view name);

} // namespace paginor
