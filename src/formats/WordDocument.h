// The Word document model: what the Word importer reads of a document, in the
// shape Word's own object model gives it. Paragraphs in reading order, each
// with its text (ending in the paragraph mark "\r"), its start and end
// positions, its hyperlinks, inline pictures and anchors; and the tables of
// contents, each with its range and its entry paragraphs. Positions run
// consecutively over the paragraphs, every paragraph's text including its
// mark; a picture takes no position. The back ends (HTML pages, DOCX, and
// other office formats through LibreOffice) only fill this model; what the
// book looks like is decided by the importer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

struct TWordHyperlink {
    int32_t Start = 0; // positions of the link's text; End may lie past the
    int32_t End = 0;   // paragraph when the link runs on into the next
    std::u16string Text;
    // Where it leads: an address as the document writes it ("http://...",
    // "notes.html", "mailto:..."), empty for a place inside this document;
    // and an anchor ("note1", a bookmark name), empty when there is none.
    std::u16string Address;
    std::u16string SubAddress;
};

struct TWordPicture {
    std::string Bytes; // the picture file as stored; empty when it could not be had
    std::u16string AlternativeText;
    std::string Name; // where it came from (a file name, a package part), for messages
};

struct TWordParagraph {
    std::u16string Text; // ends in "\r"
    int32_t Start = 0;
    int32_t End = 0;
    std::vector<TWordHyperlink> Hyperlinks; // those that start here, in text order
    std::vector<TWordPicture> Pictures;     // in text order
    std::vector<std::u16string> Anchors;    // ids and bookmarks that start here
    int HeadingLevel = 0;                   // 1 for the top level; 0 for body text
};

struct TWordTableOfContents {
    int32_t Start = 0;
    int32_t End = 0;
    // The entry paragraphs, as indexes into the document's paragraphs.
    std::vector<size_t> Entries;
    // Made from the document's headings (the document has no table of
    // contents of its own): its entries are those heading paragraphs and its
    // range is empty, just before the first paragraph.
    bool Made = false;
};

// A document's own details, empty where it gives none: its title and its
// author (core properties, meta.xml, a page's title and meta tags).
struct TDocumentDetails {
    std::u16string Title;
    std::u16string Author;
};

struct TWordDocument {
    std::vector<TWordParagraph> Paragraphs;
    std::vector<TWordTableOfContents> TablesOfContents;
    TDocumentDetails Details;

    // Whether the paragraph lies inside the table of contents' range.
    static bool InRange(const TWordParagraph& paragraph, const TWordTableOfContents& contents) {
        return paragraph.Start >= contents.Start && paragraph.End <= contents.End;
    }
};

// Heading levels that a made table of contents takes, as Word's "insert table
// of contents" does by default.
constexpr int kMadeContentsLevels = 3;

// The table of contents made of the paragraphs' headings of levels 1 to
// kMadeContentsLevels that show some text: Made, its range empty at the start
// of the first paragraph. No entries when there is no such heading.
TWordTableOfContents MadeContents(const std::vector<TWordParagraph>& paragraphs);

// A list item's number as a list's style writes it: type 'a' and 'A' letters
// (z is followed by aa), 'i' and 'I' Roman numerals (1 to 3999), anything
// else decimal.
std::u16string ListItemNumber(long number, char type);

// Builds a document the way a back end reads one: text, hyperlinks, pictures
// and anchors are added to the current paragraph until it is ended. Keeps the
// position arithmetic in one place.
class TWordDocumentBuilder {
public:
    // Appends text to the current paragraph.
    void AppendText(std::u16string_view text);
    // Whether the current paragraph holds neither text nor a picture.
    bool ParagraphIsEmpty() const;
    // The text of the current paragraph so far.
    const std::u16string& ParagraphText() const { return Current.Text; }

    // A hyperlink runs from here to EndHyperlink; one inside another is
    // ignored, and one without text is dropped.
    void BeginHyperlink(std::u16string address, std::u16string subAddress);
    void EndHyperlink();
    bool InHyperlink() const { return LinkOpen; }

    void AddPicture(TWordPicture picture);
    // An anchor belongs to the current paragraph.
    void AddAnchor(std::u16string name);

    // Text added while this is on belongs to a table of contents; switching
    // it off and on again starts another one.
    void SetInTableOfContents(bool on);

    // Ends the current paragraph with its mark (also when it is empty).
    void EndParagraph(int headingLevel = 0);

    // The document. When it has no table of contents of its own but has
    // headings of levels 1 to kMadeContentsLevels, one made of them.
    TWordDocument Finish();

private:
    struct TPendingLink {
        TWordHyperlink Link;
        size_t Paragraph = 0;
    };

    int32_t Position() const { return ParagraphStart + static_cast<int32_t>(Current.Text.size()); }

    TWordDocument Document;
    TWordParagraph Current;
    int32_t ParagraphStart = 0;
    bool LinkOpen = false;
    TPendingLink OpenLink;

    bool ContentsOn = false;
    int ContentsNumber = 0; // of the current or latest table of contents
    bool CurrentInContents = false;
    std::vector<int> ParagraphContents; // per paragraph: its contents number, or 0
};

} // namespace paginor
