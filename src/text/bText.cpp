// TBookText: construction, link id choice, and what the midlet writer reads
// (the full text, final positions, the character set).
#include "text/bText.h"

#include "core/bVar.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <vector>

namespace paginor {

namespace {

constexpr int32_t kCodeCount = 0x10000;
// A hyperlink at most doubles the text, so a source of this size still gives
// positions that fit 32 bits.
constexpr size_t kMaxSourceLength = std::numeric_limits<int32_t>::max() / 2 - 1;

} // namespace

TBookText::TBookText(std::u16string sourceText, const TBookConfig& config)
    : Length(static_cast<int32_t>(std::min(sourceText.size(), kMaxSourceLength + 1))),
      Config(&config), Text(std::move(sourceText)), Head(config.TextHead), Tail(config.TextTail) {
    Log(6, ".. Processing source text; text size " + std::to_string(Text.size()) + ", head size " +
               std::to_string(Head.size()) + ", tail size " + std::to_string(Tail.size()));
    if (Length == 0) throw TBookError("Length of source text is 0");
    if (Text.size() > kMaxSourceLength)
        throw TBookError("Source text is too large: " + std::to_string(Text.size()) +
                         " characters");
    FindFirstLinkId();
    LastLinkId = FirstLinkId - 1;
    if (config.TagsEn || config.TagsForced) ProcessTags();
    if (config.FormatEn) FormatText();
}

TBookText::TBookText(const TBookConfig& config)
    : Config(&config), Head(config.TextHead), Tail(config.TextTail) {}

// The link ids are chosen free of every text that goes into the book files:
// the source, and the head, tail and part texts the configuration adds (or
// the built-in part notice). A
// code that one of them uses would otherwise be read as a link marker there.
void TBookText::FindFirstLinkId() {
    std::vector<bool> used(kCodeCount + 1, false);
    for (const std::u16string_view text :
         {std::u16string_view(Text), std::u16string_view(Config->TextHead),
          std::u16string_view(Config->TextTail), std::u16string_view(Config->TextPartHead),
          std::u16string_view(Config->TextPartTail), std::u16string_view(Config->TextPartLink)})
        for (char16_t c : text)
            used[c] = true;
    // Without a TextPartLink a divided book says in its own words where a
    // place is (every digit stands in the sample part number).
    const bool divided = Config->TextPartSize != 0 || Config->TextPartCount > 0;
    if (divided && Config->TextPartLink.empty())
        for (char16_t c : PartNotice(1234567890))
            used[c] = true;
    used[kCodeCount] = true; // ends the last run
    int32_t bestStart = 0, bestLength = 0, runStart = 0;
    for (int32_t code = 0; code <= kCodeCount; ++code) {
        if (!used[code]) continue;
        if (code - runStart > bestLength) {
            bestStart = runStart;
            bestLength = code - runStart;
        }
        runStart = code + 1;
    }
    FirstLinkId = bestStart;
    LinkIdRoom = bestLength;
    Log(7, "  First link id " + IntToHex(bestStart, 4) + ", size " + std::to_string(bestLength));
}

void TBookText::CheckLinkIdRoom(int64_t needed) const {
    // Ids beyond the free run would coincide with characters of the text.
    if (needed > LinkIdRoom)
        throw TBookError("Not enough free character codes for link ids: the book needs " +
                         std::to_string(needed) + ", the longest free run holds " +
                         std::to_string(LinkIdRoom));
}

std::array<std::u16string_view, 5> TBookText::FullTextPieces() const {
    const size_t toc = std::min(static_cast<size_t>(std::max(TocPosition, 0)), Text.size());
    const std::u16string_view text = Text;
    return {Head, text.substr(0, toc), TocText, text.substr(toc), Tail};
}

std::u16string TBookText::FullText() const {
    const auto pieces = FullTextPieces();
    std::u16string full;
    full.reserve(Head.size() + Text.size() + TocText.size() + Tail.size());
    for (const std::u16string_view piece : pieces)
        full.append(piece);
    return full;
}

void TBookText::ResolveFinalPositions() {
    const auto head = static_cast<int32_t>(Head.size());
    const auto toc = static_cast<int32_t>(TocText.size());
    // A record at the table of contents' place leads to its first character
    // (a part link leads there), except a header: its heading follows the
    // contents, and a contents entry that led to the contents would go nowhere.
    for (auto& link : Links) {
        const bool behind =
            link.Position > TocPosition || (link.Kind == 't' && link.Position == TocPosition);
        link.FinalPosition = link.Position + head + (behind ? toc : 0);
    }
}

std::u16string TBookText::BuildCharset() const {
    std::vector<int64_t> counts(kCodeCount, 0);
    for (const std::u16string_view piece : FullTextPieces())
        for (char16_t c : piece)
            if (c < FirstLinkId || c > LastLinkId) ++counts[c];
    std::vector<char16_t> codes;
    for (int32_t code = 0; code < kCodeCount; ++code)
        if (counts[code] > 0) codes.push_back(static_cast<char16_t>(code));
    // Most frequent first; equal counts in code order (codes is already sorted).
    std::stable_sort(codes.begin(), codes.end(),
                     [&](char16_t a, char16_t b) { return counts[a] > counts[b]; });
    Log(6, "+ Charset created, total " + std::to_string(codes.size()) + " unique chars");
    return std::u16string(codes.begin(), codes.end());
}

} // namespace paginor
