// The analysed book: tagged text turned into plain text with link id
// characters, the link records, the table of contents, and the division of a
// long book into parts.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

// One header, hyperlink, picture, jump or label record.
struct TLinkItem {
    std::u16string Target;     // kind letter + target; for a header its TOC line
    int32_t Position = 0;      // index in Text of the item
    int32_t SourceEnd = 0;     // headers: source position of the closing tag
    int32_t FinalPosition = 0; // index in FullText(); set by ResolveFinalPositions
    int32_t Id = 0;            // link id; 0 for a label
    char Kind = 0;             // 't' 'h' 'p' 's' 'i' 'f' '#' 'l' 'I' '*'
};

class TBookText : public TBookObject {
public:
    // Runs the whole analysis; raises TBookError on an empty text or a tag
    // error. The source becomes the text: a caller that needs it no more
    // moves it in, so that a large book is not held twice.
    TBookText(std::u16string sourceText, const TBookConfig& config);
    // An empty part: Head = TextHead, Tail = TextTail, everything else empty.
    explicit TBookText(const TBookConfig& config);

    int32_t Start = 0;  // parts: 1-based index of the first character; 0 for a book
    int32_t Length = 0; // characters of Text
    const TBookConfig* Config = nullptr;
    std::u16string Text;
    std::u16string TocText;
    std::u16string Head;
    std::u16string Tail;
    int32_t FirstLinkId = 0;
    int32_t LastLinkId = -1;
    int32_t TocPosition = 0;
    bool HasOutsideJumps = false;
    std::vector<TLinkItem> Links; // in link id order

    // Head, then Text with TocText inserted after TocPosition characters, then Tail.
    std::u16string FullText() const;
    // The pieces FullText() is made of, in order, without making it: Head,
    // Text up to TocPosition, TocText, the rest of Text, Tail.
    std::array<std::u16string_view, 5> FullTextPieces() const;
    // Sets FinalPosition of every record to its index in FullText().
    void ResolveFinalPositions();
    // Every distinct character of FullText() except link ids, most frequent first.
    std::u16string BuildCharset() const;

    // Small-screen formatting of Text (removes redundant blanks and lines).
    void FormatText();
    // Whether the part options ask to divide this book.
    bool IsMultipart() const;
    // The parts of the book, in reading order.
    std::vector<TBookText> SplitIntoParts() const;
    // The notice that a jump's place is in another part, naming the part and
    // its midlet; used where TextPartLink is empty.
    std::u16string PartNotice(int64_t part) const;

private:
    // Length of the run of codes, from FirstLinkId, that the source never
    // uses: the room for link ids (a part link needs one more).
    int32_t LinkIdRoom = 0;

    // Chooses FirstLinkId and LinkIdRoom from the codes the source uses.
    void FindFirstLinkId();
    // Turns the tags of Text into link id characters and records.
    void ProcessTags();
    // Logs the label links that no label resolved.
    void ReportMissingLabels(const std::vector<TLinkItem>& records) const;
    // Raises the one-line error when `needed` link ids do not fit the room.
    void CheckLinkIdRoom(int64_t needed) const;
    // Ends a part with jumps out of it with the part link; `outside` names
    // each such record of the part and the part it leads to.
    void AddPartLink(TBookText& part, const std::vector<std::pair<size_t, int64_t>>& outside) const;
};

using TBookTexts = std::vector<TBookText>;

} // namespace paginor
