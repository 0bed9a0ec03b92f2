// The tag analysis: two passes over the tagged text. The first collects the
// headers, so that their link ids come before all others; the second writes
// the text without tags, with link id characters, and makes the records.
#include "text/bMarkup.h"
#include "text/bText.h"

#include "core/bVar.h"

#include <unordered_map>

namespace paginor {

namespace {

// A table of contents larger than this cannot come from a real book; it
// guards against texts made of stray closing header tags, where every entry
// would repeat most of the text.
constexpr size_t kMaxTocLength = size_t{1} << 26;

constexpr char16_t kLineFeed = u'\n';

char16_t IdChar(int32_t id) {
    return static_cast<char16_t>(id & 0xFFFF);
}

// First pass: a header record for every "#/header", holding the source
// positions of the latest "#header" (0 before any) and of the closing tag.
std::vector<TLinkItem> CollectHeaders(std::u16string_view source, int32_t firstId) {
    std::vector<TLinkItem> headers;
    TTagScanner tags(source);
    bool open = false;
    size_t openedAt = 0;
    while (tags.Next()) {
        if (tags.Name() == TTagName::Header) {
            if (open) ThrowTagNotClosed(source, tags.Open());
            open = true;
            openedAt = tags.Open();
        } else if (tags.Name() == TTagName::HeaderEnd) {
            open = false;
            TLinkItem header;
            header.Kind = 't';
            header.Position = static_cast<int32_t>(openedAt);
            header.SourceEnd = static_cast<int32_t>(tags.Open());
            header.Id = firstId + static_cast<int32_t>(headers.size());
            headers.push_back(header);
        }
    }
    return headers;
}

// Second pass. The nesting state (set by "#link" and "#header", cleared by
// either closing tag) guards against nested items; the link state (only
// "#link" ... "#/link") puts the link's id character before every character.
//
// The new text is written over the source, in the same buffer, as long as it
// stays behind the reading: tags leave room, and only a link's id characters
// can catch up. Should the writing reach a character not read yet, what is
// written so far moves to a buffer of its own and the rest goes there. A large
// book is thus not held twice.
class TTextWriter {
public:
    TTextWriter(std::u16string& text, std::vector<TLinkItem>& records, int32_t nextId)
        : NextId(nextId), Text(text), Source(text), InPlace(text.data()), Records(records),
          HeaderCount(records.size()) {}

    void Run() {
        TTagScanner tags(Source);
        bool more = true;
        while (more) {
            more = tags.Next();
            Copy(tags.Run());
            if (more) {
                ReadEnd = tags.Close() + 1;
                Tag(tags);
            }
        }
        if (Linking) CloseLink();
    }

    // Puts the new text in place of the source.
    void Finish() {
        if (InPlace)
            Text.resize(Written);
        else
            Text = std::move(Out);
    }

    int32_t NextId;
    int32_t TocPosition = 0;

private:
    std::u16string& Text;
    std::u16string_view Source; // the text as it was; read ahead of the writing
    char16_t* InPlace;          // while the writing stays in the source's buffer
    size_t Written = 0;         // characters written in place
    size_t ReadEnd = 0;         // the source before this index has been read
    std::u16string Out;         // once the writing has left the source's buffer
    std::vector<TLinkItem>& Records;
    size_t HeaderCount;
    size_t HeadersDone = 0;
    size_t TocLength = 0;

    bool Nesting = false;
    bool Linking = false;
    char16_t LinkChar = 0;

    // The latest "#header": its output and source positions.
    size_t HeaderOut = 0;
    size_t HeaderSource = 0;
    // First output index at or after HeaderOut above U+0020 (scanned lazily),
    // and the last output index above U+0020: the ends of a trimmed title.
    size_t TitleStart = 0;
    size_t LastSolid = std::u16string::npos;

    size_t OutSize() const { return InPlace ? Written : Out.size(); }
    char16_t OutAt(size_t i) const { return InPlace ? InPlace[i] : Out[i]; }
    int32_t OutPosition() const { return static_cast<int32_t>(OutSize()); }

    void Put(char16_t c) {
        if (c > 0x20) LastSolid = OutSize();
        if (InPlace && Written < ReadEnd) {
            InPlace[Written++] = c;
            return;
        }
        if (InPlace) { // the writing reached the reading
            Out.reserve(Source.size() + Source.size() / 8);
            Out.assign(InPlace, Written);
            InPlace = nullptr;
        }
        Out += c;
    }

    void Copy(std::u16string_view run) {
        size_t next = static_cast<size_t>(run.data() - Source.data());
        for (char16_t c : run) {
            ReadEnd = ++next;
            if (c == u'>') continue; // a ">" outside a tag never reaches the text
            if (Linking) Put(LinkChar);
            Put(c);
        }
    }

    void CheckNesting(const TTagScanner& tags) const {
        if (Nesting) ThrowTagNotClosed(Source, tags.Open());
    }

    TLinkItem& AddRecord(char kind, std::u16string target, int32_t id) {
        TLinkItem& item = Records.emplace_back();
        item.Kind = kind;
        item.Target = std::move(target);
        item.Position = item.FinalPosition = OutPosition();
        item.Id = id;
        return item;
    }

    void Tag(const TTagScanner& tags) {
        switch (tags.Name()) {
        case TTagName::Link:
            OpenLink(tags);
            break;
        case TTagName::LinkEnd:
            Nesting = false;
            if (Linking) CloseLink();
            break;
        case TTagName::Image: {
            CheckNesting(tags);
            const int32_t id = NextId++;
            AddRecord('I', u"I" + tags.Argument(), id);
            Put(IdChar(id));
            break;
        }
        case TTagName::Label:
            CheckNesting(tags);
            AddRecord('*', u"#" + tags.Argument(), 0);
            break;
        case TTagName::TableOfContent:
            CheckNesting(tags);
            TocPosition = OutPosition();
            break;
        case TTagName::Header:
            CheckNesting(tags);
            Nesting = true;
            HeaderOut = TitleStart = OutSize();
            HeaderSource = tags.Open();
            break;
        case TTagName::HeaderEnd:
            Nesting = false;
            CloseHeader(tags.Open());
            break;
        case TTagName::Unknown:
            break;
        }
    }

    // A link of a known kind gets a record and its id at once, so that ids
    // stay consecutive in record order. A link of an unknown kind has no
    // record to carry an id: its text stays plain.
    void OpenLink(const TTagScanner& tags) {
        CheckNesting(tags);
        Nesting = true;
        if (Linking) CloseLink(); // a link left open behind a stray "#/header"
        TLinkArgument link = SplitLinkArgument(tags.Argument());
        if (link.Kind == 0) return;
        const int32_t id = NextId++;
        AddRecord(link.Kind, static_cast<char16_t>(link.Kind) + link.Target, id);
        Linking = true;
        LinkChar = IdChar(id);
    }

    void CloseLink() {
        Put(LinkChar);
        Linking = false;
    }

    void CloseHeader(size_t closeSource) {
        if (HeadersDone >= HeaderCount) return;
        TLinkItem& header = Records[HeadersDone];
        if (header.SourceEnd != static_cast<int32_t>(closeSource) ||
            header.Position != static_cast<int32_t>(HeaderSource))
            return;
        ++HeadersDone;
        while (TitleStart < OutSize() && OutAt(TitleStart) <= 0x20)
            ++TitleStart;
        const size_t end = TitleStart < OutSize() ? LastSolid + 1 : TitleStart;
        const size_t titleLength = end - TitleStart;
        TocLength += 2 * titleLength + 2;
        if (TocLength > kMaxTocLength)
            throw TBookError("Table of contents is too large: more than " +
                             std::to_string(kMaxTocLength) + " characters");
        const char16_t mark = IdChar(header.Id);
        std::u16string line;
        line.reserve(2 * titleLength + 2);
        // The lines of a title of several paragraphs join with one blank, as
        // does any run of blanks and line breaks within it.
        for (size_t i = TitleStart; i < end; ++i) {
            if (OutAt(i) <= 0x20 && OutAt(i - 1) <= 0x20) continue;
            line += mark;
            line += OutAt(i) < 0x20 ? u' ' : OutAt(i);
        }
        line += mark;
        line += kLineFeed;
        header.Target = std::move(line);
        header.Position = static_cast<int32_t>(HeaderOut);
    }
};

// Labels and the links that name them match in any letter case; lower-casing
// already happened when the tag was read, and the Greek final sigma, which
// upper-cases to the same letter as sigma, is folded onto it here.
std::u16string LabelKey(std::u16string_view target) {
    std::u16string key(target);
    for (auto& c : key)
        if (c == u'\u03C2') c = u'\u03C3';
    return key;
}

void ResolveLabels(std::vector<TLinkItem>& records) {
    std::unordered_map<std::u16string, int32_t> labels;
    for (const auto& item : records)
        if (item.Kind == '*') labels.emplace(LabelKey(item.Target), item.Position);
    for (auto& item : records) {
        if (item.Kind != '#') continue;
        auto found = labels.find(LabelKey(item.Target));
        if (found == labels.end()) continue;
        item.Position = item.FinalPosition = found->second;
        item.Kind = 'l';
    }
}

std::string RecordLine(size_t index, const TLinkItem& item) {
    return "   " + std::to_string(index) + item.Kind + ":" +
           IntToHex(static_cast<uint32_t>(item.Id), 8) + ":" + std::to_string(item.Position) + ":" +
           ToUtf8(item.Target);
}

} // namespace

// A label link whose label the book lacks (a typo in a plain-text book, an
// FB2 note that is missing) leads nowhere on the phone: the author hears of
// it now, in a few lines and how many there were.
void TBookText::ReportMissingLabels(const std::vector<TLinkItem>& records) const {
    constexpr size_t kLinesShown = 5;
    size_t missing = 0;
    for (const auto& item : records) {
        if (item.Kind != '#') continue;
        if (++missing <= kLinesShown)
            Log(6, "? Link to label " + ToUtf8(std::u16string_view(item.Target).substr(1)) +
                       " leads nowhere: the book has no label of that name");
    }
    if (missing > kLinesShown)
        Log(6, "? " + std::to_string(missing) + " label links in all lead nowhere");
}

void TBookText::ProcessTags() {
    Log(7, ".. Processing tags in text");
    // Without "<" and ">" the text has no tag and stays as it is: it is not
    // copied (a large plain book would otherwise be held twice).
    if (Text.find_first_of(u"<>") == std::u16string::npos) {
        TocPosition = 0;
        TocText.clear();
        Links.clear();
        LastLinkId = FirstLinkId - 1;
        return;
    }
    std::vector<TLinkItem> records = CollectHeaders(Text, FirstLinkId);
    TTextWriter writer(Text, records, FirstLinkId + static_cast<int32_t>(records.size()));
    writer.Run();
    CheckLinkIdRoom(static_cast<int64_t>(writer.NextId) - FirstLinkId);

    writer.Finish();
    Length = static_cast<int32_t>(Text.size());
    TocPosition = writer.TocPosition;
    TocText.clear();
    for (const auto& item : records)
        if (item.Kind == 't') TocText += item.Target;
    ResolveLabels(records);
    ReportMissingLabels(records);

    const bool details = LogThreshold() >= 7;
    Links.clear();
    Links.reserve(records.size());
    for (size_t k = 0; k < records.size(); ++k) {
        records[k].FinalPosition = records[k].Position;
        if (details) Log(7, RecordLine(k, records[k]));
        if (records[k].Kind != '*') Links.push_back(std::move(records[k]));
    }
    LastLinkId = FirstLinkId + static_cast<int32_t>(Links.size()) - 1;
}

} // namespace paginor
