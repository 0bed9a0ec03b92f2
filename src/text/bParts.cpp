// Small-screen formatting of an analysed text and the division of a long
// book into parts, one midlet each.
#include "text/bText.h"

#include "core/bVar.h"

#include <algorithm>
#include <map>

namespace paginor {

namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr int kPartLinkBreaks = 5;  // LF characters before the part link text
constexpr int kPartNoticeGap = 24;  // LF characters before each further notice
constexpr int64_t kMaxParts = 1000; // midlets one book may be divided into

// One formatting pass. keep(i) returns the character to write for index i,
// or 0xFFFFFFFF to drop it. Every position in `positions` (sorted ascending)
// is moved back by the number of characters dropped before it.
template <typename Rule>
std::u16string RewriteText(const std::u16string& text, const std::vector<int32_t*>& positions,
                           Rule keep) {
    std::u16string out;
    out.reserve(text.size());
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        while (next < positions.size() && *positions[next] <= static_cast<int32_t>(i))
            *positions[next++] = static_cast<int32_t>(out.size());
        const char32_t c = keep(i);
        if (c != 0xFFFFFFFF) out += static_cast<char16_t>(c);
    }
    const auto dropped = static_cast<int32_t>(text.size() - out.size());
    for (; next < positions.size(); ++next)
        *positions[next] -= dropped;
    return out;
}

// Characters after which a part may end: "#", "0", "1", ".", "!", "?" and
// U+0000 (the set the option string "#0#10.!?" names), and link ids, which
// have no single-byte form.
bool IsCutChar(char16_t c, int32_t firstId, int32_t lastId) {
    switch (c) {
    case u'#':
    case u'0':
    case u'1':
    case u'.':
    case u'!':
    case u'?':
    case 0:
        return true;
    default:
        return c >= firstId && c <= lastId;
    }
}

} // namespace

void TBookText::FormatText() {
    // The records and the table of contents follow the characters they name.
    std::vector<int32_t*> positions{&TocPosition};
    for (auto& link : Links)
        positions.push_back(&link.Position);
    std::stable_sort(positions.begin(), positions.end(),
                     [](const int32_t* a, const int32_t* b) { return *a < *b; });
    constexpr char32_t kDrop = 0xFFFFFFFF;

    // 1. Runs of blanks become one blank.
    std::u16string t = std::move(Text);
    t = RewriteText(t, positions, [&](size_t i) -> char32_t {
        return t[i] == kBlank && i > 0 && t[i - 1] == kBlank ? kDrop : t[i];
    });
    // 2. A word hyphenated at a line end (a "-" right before an LF) is joined.
    t = RewriteText(t, positions, [&](size_t i) -> char32_t {
        if (t[i] == u'-' && i + 1 < t.size() && t[i + 1] == kLf) return kDrop;
        if (t[i] == kLf && i > 0 && t[i - 1] == u'-') return kDrop;
        return t[i];
    });
    // 3. A CR LF followed by a further character loses its LF; the CR becomes
    //    a blank unless that character is a blank (an indented line).
    t = RewriteText(t, positions, [&](size_t i) -> char32_t {
        if (t[i] == kCr && i + 2 < t.size() && t[i + 1] == kLf)
            return t[i + 2] == kBlank ? kCr : kBlank;
        if (t[i] == kLf && i > 0 && t[i - 1] == kCr && i + 1 < t.size()) return kDrop;
        return t[i];
    });
    Text = std::move(t);
    Length = static_cast<int32_t>(Text.size());
    for (auto& link : Links)
        link.FinalPosition = link.Position;
}

bool TBookText::IsMultipart() const {
    const int64_t size = Config->TextPartSize, count = Config->TextPartCount, length = Length;
    int64_t trial = 0;
    if (size == 0)
        trial = count > 0 ? length / count + 100 : 0;
    else if (count == 0)
        trial = size;
    else if (count > 0)
        trial = std::max(size, length / count + 16);
    return trial > 0 && trial <= length;
}

std::u16string TBookText::PartNotice(int64_t part) const {
    const std::u16string number = IntToStr(part);
    return u"This place is in part " + number + u" of the book: " + Config->BookName + number +
           u".";
}

// The end of a part with jumps out of it: after the tail, a notice that the
// place is elsewhere, and a row of ">" that leads back to the part's table of
// contents (a record at position 0). The configured TextPartLink is one
// notice for every jump; without it each part the jumps lead to gets a
// notice of its own that names it, the next ones far enough below that a
// page shows one.
void TBookText::AddPartLink(TBookText& part,
                            const std::vector<std::pair<size_t, int64_t>>& outside) const {
    CheckLinkIdRoom(static_cast<int64_t>(LastLinkId) - FirstLinkId + 2);
    ++part.LastLinkId;
    TLinkItem& back = part.Links.emplace_back();
    back.Kind = 'l';
    back.Id = part.LastLinkId;
    const char16_t mark = static_cast<char16_t>(part.LastLinkId);
    std::u16string backLink = u"  ";
    for (int k = 0; k < 4; ++k) {
        backLink += mark;
        backLink += u'>';
    }
    backLink += mark;
    backLink += u"      ";

    // The notice a jump to the part leads to: 0 stands for TextPartLink.
    auto noticeOf = [&](int64_t target) { return Config->TextPartLink.empty() ? target : 0; };
    std::map<int64_t, int32_t> places; // notice of each part the jumps lead to
    for (const auto& [record, target] : outside)
        places[noticeOf(target)] = 0;
    bool first = true;
    for (auto& [target, place] : places) {
        part.Tail += std::u16string(first ? kPartLinkBreaks : kPartNoticeGap, kLf);
        place = static_cast<int32_t>(part.Text.size() + part.Tail.size());
        part.Tail += (target == 0 ? Config->TextPartLink : PartNotice(target)) + backLink;
        first = false;
    }
    for (const auto& [record, target] : outside) {
        TLinkItem& copy = part.Links[record];
        copy.Position = copy.FinalPosition = places[noticeOf(target)];
    }
}

std::vector<TBookText> TBookText::SplitIntoParts() const {
    const int64_t size = Config->TextPartSize, count = Config->TextPartCount;
    const int64_t length = static_cast<int64_t>(Text.size());
    int64_t partSize = 0;
    if (size == 0) {
        if (count <= 0) throw TBookError("Invalid amout of text parts: " + std::to_string(count));
        partSize = length / count + 16;
    } else if (count == 0) {
        partSize = size;
    } else if (count > 0) {
        partSize = std::max(length / count + 100, size);
    } else {
        throw TBookError("Invalid amount of text parts: " + std::to_string(count));
    }
    if (partSize <= 0) throw TBookError("Invalid size of text part: " + std::to_string(partSize));

    std::vector<TBookText> parts;
    // A part with what every part shares: the table of contents and the link ids.
    auto newPart = [&]() -> TBookText& {
        TBookText& part = parts.emplace_back(*Config);
        part.TocText = TocText;
        part.FirstLinkId = FirstLinkId;
        part.LastLinkId = LastLinkId;
        part.LinkIdRoom = LinkIdRoom;
        return part;
    };
    if (length < partSize) {
        Log(7, "Text parts 1, text part size " + std::to_string(length));
        TBookText& part = newPart();
        part.Text = Text;
        part.Length = static_cast<int32_t>(part.Text.size());
        part.TocPosition = TocPosition;
        part.Links = Links;
        return parts;
    }

    const int64_t partCount = length / partSize + (length % partSize != 0 ? 1 : 0);
    // Thousands of midlets of a few letters each help no one and would take
    // the machine's memory and disk: the options are told, before any part.
    if (partCount > kMaxParts)
        throw TBookError("TextPartSize " + std::to_string(size) + " and TextPartCount " +
                         std::to_string(count) + " divide the book's " + std::to_string(length) +
                         " characters into " + std::to_string(partCount) +
                         " parts, more than the " + std::to_string(kMaxParts) +
                         " a book may have: set TextPartSize to " +
                         std::to_string((length + kMaxParts - 1) / kMaxParts) + " or more");
    Log(7,
        "Text parts " + std::to_string(partCount) + ", text part size " + std::to_string(partSize));
    parts.reserve(static_cast<size_t>(partCount));

    // Positions below are 1-based indices into Text; beyond the end there is
    // nothing, which counts as an ordinary character.
    auto isLinkId = [&](int64_t index) {
        return index >= 1 && index <= length && Text[index - 1] >= FirstLinkId &&
               Text[index - 1] <= LastLinkId;
    };
    // Where every part begins and how long it is, first: a jump that leads
    // out of a part names the part it leads to.
    std::vector<int64_t> starts, sizes;
    int64_t start = 1;
    for (int64_t i = 1; i <= partCount; ++i) {
        int64_t z = 0;
        if (start + partSize >= length) {
            z = std::max<int64_t>(length - start + 1, 0);
        } else {
            z = partSize;
            for (int64_t index = start + partSize; index <= start + 2 * partSize; ++index) {
                if (index == length || IsCutChar(Text[index - 1], FirstLinkId, LastLinkId)) {
                    z = index - start + 1;
                    break;
                }
            }
            // Keep hyperlinks whole: find where the alternation of link ids
            // and characters around the cut begins, then where it ends.
            int64_t links = 0, plain = 0, from = 0;
            for (int64_t p = start + z; p >= start && from == 0; --p) {
                isLinkId(p) ? (++links, plain = 0) : (++plain, links = 0);
                if (links == 2) from = p + 1;
                if (plain == 2) from = p + 2;
            }
            if (from != 0) {
                int64_t end = 0;
                links = plain = 0;
                for (int64_t p = from; end == 0; ++p) {
                    isLinkId(p) ? (++links, plain = 0) : (++plain, links = 0);
                    if (links == 2) end = p - 1;
                    if (plain == 2) end = p - 2;
                }
                z = std::min(end - start + 1, length - start + 1);
            }
        }
        starts.push_back(start);
        sizes.push_back(z);
        start += z;
    }
    // The number of the part that holds a 0-based position of the text.
    auto partOf = [&](int32_t position) {
        const auto after = std::upper_bound(starts.begin(), starts.end(), int64_t{position} + 1);
        return std::max<int64_t>(after - starts.begin(), 1);
    };

    for (int64_t i = 1; i <= partCount; ++i) {
        start = starts[i - 1];
        const int64_t z = sizes[i - 1];
        TBookText& part = newPart();
        const bool last = i == partCount;
        part.Start = static_cast<int32_t>(start);
        if (i > 1) part.Head = Config->TextPartHead;
        if (!last) part.Tail = Config->TextPartTail;
        if (start <= length) part.Text = Text.substr(start - 1, z);
        part.Length = static_cast<int32_t>(part.Text.size());
        // The table of contents of a part that ends before its place follows
        // the part's text; the position says so, so that jumps past it count it.
        part.TocPosition = i == 1 ? std::min(TocPosition, part.Length) : 0;

        const int64_t first = start - 1, lastInside = start - 1 + z;
        // Every part carries a record for every link id, so that the ids keep
        // their meaning, but only the records inside the part keep their
        // targets: outside it a jump leads to the part link and anything else
        // to the part's start, and neither reads its target (cfg.dat writes a
        // jump as its position). Copying every target into every part would
        // cost the number of parts times the size of all targets.
        std::vector<std::pair<size_t, int64_t>> outside; // record, the part it leads to
        part.Links.reserve(Links.size() + 1);
        for (const auto& link : Links) {
            TLinkItem& copy = part.Links.emplace_back();
            copy.SourceEnd = link.SourceEnd;
            copy.Id = link.Id;
            const bool inside = link.Position >= first && link.Position <= lastInside;
            const bool jump = link.Kind == 'l' || link.Kind == 't';
            copy.Kind = jump || inside ? link.Kind : 'l';
            if (inside) {
                copy.Target = link.Target;
                copy.Position = jump ? static_cast<int32_t>(link.Position - first) : link.Position;
            } else if (jump) {
                outside.emplace_back(part.Links.size() - 1, partOf(link.Position));
                part.HasOutsideJumps = true;
            } // else: a jump to position 0
            copy.FinalPosition = copy.Position;
        }
        if (part.HasOutsideJumps) AddPartLink(part, outside);

        Log(7, "Part " + std::to_string(i) + ", start " + std::to_string(start) + ", size " +
                   std::to_string(z));
    }
    return parts;
}

} // namespace paginor
