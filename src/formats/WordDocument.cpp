#include "formats/WordDocument.h"

#include "core/bVar.h"

#include <algorithm>
#include <string>
#include <utility>

namespace paginor {

namespace {

constexpr char16_t kParagraphMark = u'\r';

// Whether the text holds anything but blanks and control characters.
bool HasVisibleText(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c > u' '; });
}

} // namespace

std::u16string ListItemNumber(long number, char type) {
    const bool upper = type == 'A' || type == 'I';
    std::string text;
    if ((type == 'a' || type == 'A') && number > 0) {
        for (long n = number; n > 0; n = (n - 1) / 26)
            text.insert(text.begin(), static_cast<char>('a' + (n - 1) % 26));
    } else if ((type == 'i' || type == 'I') && number > 0 && number < 4000) {
        constexpr std::pair<int, const char*> kRoman[] = {
            {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
            {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
        long n = number;
        for (const auto& [value, letters] : kRoman)
            for (; n >= value; n -= value)
                text += letters;
    } else {
        text = std::to_string(number);
    }
    if (upper)
        for (char& c : text)
            c = static_cast<char>(c - 'a' + 'A');
    return FromUtf8(text);
}

void TWordDocumentBuilder::AppendText(std::u16string_view text) {
    if (text.empty()) return;
    Current.Text += text;
    if (LinkOpen) OpenLink.Link.Text += text;
    if (ContentsOn) CurrentInContents = true;
}

bool TWordDocumentBuilder::ParagraphIsEmpty() const {
    return Current.Text.empty() && Current.Pictures.empty();
}

void TWordDocumentBuilder::BeginHyperlink(std::u16string address, std::u16string subAddress) {
    if (LinkOpen) return;
    LinkOpen = true;
    OpenLink = {};
    OpenLink.Link.Start = Position();
    OpenLink.Link.Address = std::move(address);
    OpenLink.Link.SubAddress = std::move(subAddress);
    OpenLink.Paragraph = Document.Paragraphs.size();
}

void TWordDocumentBuilder::EndHyperlink() {
    if (!LinkOpen) return;
    LinkOpen = false;
    TWordHyperlink& link = OpenLink.Link;
    link.End = Position();
    if (link.End == link.Start) return;
    // A link that began in an earlier paragraph belongs to that one.
    TWordParagraph& owner = OpenLink.Paragraph < Document.Paragraphs.size()
                                ? Document.Paragraphs[OpenLink.Paragraph]
                                : Current;
    owner.Hyperlinks.push_back(std::move(link));
}

void TWordDocumentBuilder::AddPicture(TWordPicture picture) {
    Current.Pictures.push_back(std::move(picture));
}

void TWordDocumentBuilder::AddAnchor(std::u16string name) {
    if (name.empty()) return;
    if (std::find(Current.Anchors.begin(), Current.Anchors.end(), name) == Current.Anchors.end())
        Current.Anchors.push_back(std::move(name));
}

void TWordDocumentBuilder::SetInTableOfContents(bool on) {
    if (on && !ContentsOn) ++ContentsNumber;
    ContentsOn = on;
}

void TWordDocumentBuilder::EndParagraph(int headingLevel) {
    Current.Text += kParagraphMark;
    if (LinkOpen) OpenLink.Link.Text += kParagraphMark;
    Current.Start = ParagraphStart;
    Current.End = ParagraphStart + static_cast<int32_t>(Current.Text.size());
    Current.HeadingLevel = headingLevel;
    ParagraphStart = Current.End;
    ParagraphContents.push_back(CurrentInContents ? ContentsNumber : 0);
    CurrentInContents = false;
    Document.Paragraphs.push_back(std::move(Current));
    Current = {};
}

TWordDocument TWordDocumentBuilder::Finish() {
    EndHyperlink();
    if (!ParagraphIsEmpty() || !Current.Anchors.empty()) EndParagraph();
    // Links are kept as they end; as one never lies inside another they are
    // nearly always in order already.
    const auto byStart = [](const TWordHyperlink& a, const TWordHyperlink& b) {
        return a.Start < b.Start;
    };
    for (TWordParagraph& paragraph : Document.Paragraphs)
        if (!std::is_sorted(paragraph.Hyperlinks.begin(), paragraph.Hyperlinks.end(), byStart))
            std::stable_sort(paragraph.Hyperlinks.begin(), paragraph.Hyperlinks.end(), byStart);

    // Each table of contents runs from the first to the last paragraph that
    // took its text; the paragraphs between belong to it too.
    for (int number = 1; number <= ContentsNumber; ++number) {
        const auto first = std::find(ParagraphContents.begin(), ParagraphContents.end(), number);
        if (first == ParagraphContents.end()) continue;
        const auto last = std::find(ParagraphContents.rbegin(), ParagraphContents.rend(), number);
        TWordTableOfContents contents;
        const size_t from = static_cast<size_t>(first - ParagraphContents.begin());
        const size_t to =
            ParagraphContents.size() - 1 - static_cast<size_t>(last - ParagraphContents.rbegin());
        for (size_t i = from; i <= to; ++i)
            contents.Entries.push_back(i);
        contents.Start = Document.Paragraphs[from].Start;
        contents.End = Document.Paragraphs[to].End;
        Document.TablesOfContents.push_back(std::move(contents));
    }
    if (Document.TablesOfContents.empty()) {
        TWordTableOfContents made = MadeContents(Document.Paragraphs);
        if (!made.Entries.empty()) Document.TablesOfContents.push_back(std::move(made));
    }
    return std::move(Document);
}

TWordTableOfContents MadeContents(const std::vector<TWordParagraph>& paragraphs) {
    TWordTableOfContents contents;
    contents.Made = true;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        const TWordParagraph& paragraph = paragraphs[i];
        if (paragraph.HeadingLevel >= 1 && paragraph.HeadingLevel <= kMadeContentsLevels &&
            HasVisibleText(paragraph.Text))
            contents.Entries.push_back(i);
    }
    if (!contents.Entries.empty()) contents.Start = contents.End = paragraphs.front().Start;
    return contents;
}

} // namespace paginor
