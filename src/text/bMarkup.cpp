#include "text/bMarkup.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <array>

namespace paginor {

namespace {

constexpr size_t kQuotedLength = 70;

struct TNamedTag {
    std::u16string_view Name;
    TTagName Tag;
};

constexpr std::array<TNamedTag, 7> kTagTable = {{
    {u"#link", TTagName::Link},
    {u"#/link", TTagName::LinkEnd},
    {u"#image", TTagName::Image},
    {u"#label", TTagName::Label},
    {u"#tableofcontent", TTagName::TableOfContent},
    {u"#header", TTagName::Header},
    {u"#/header", TTagName::HeaderEnd},
}};

struct TLinkKind {
    std::u16string_view Word;
    char Code;
};

constexpr std::array<TLinkKind, 6> kKindTable = {{
    {u"image", 'i'},
    {u"http", 'h'},
    {u"phone", 'p'},
    {u"sms", 's'},
    {u"label", '#'},
    {u"file", 'f'},
}};

// Compares a word of the source with a lower-case table word, ignoring case.
bool SameWord(std::u16string_view word, std::u16string_view lower) {
    if (word.size() != lower.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (LowerChar(word[i]) != lower[i]) return false;
    return true;
}

// The name is the content up to its first blank (a tab does not count).
std::u16string_view NameOf(std::u16string_view content) {
    return content.substr(0, content.find(u' '));
}

// The rest after the first blank, trimmed; the whole content without a blank.
std::u16string_view ArgumentOf(std::u16string_view content) {
    size_t blank = content.find(u' ');
    return blank == std::u16string_view::npos ? content
                                              : TrimControlsView(content.substr(blank + 1));
}

TTagName LookUpTag(std::u16string_view name) {
    for (const auto& entry : kTagTable)
        if (SameWord(name, entry.Name)) return entry.Tag;
    return TTagName::Unknown;
}

} // namespace

bool TTagScanner::Next() {
    RunBegin = Pos;
    size_t open = Text.find(u'<', Pos);
    if (open == std::u16string_view::npos) {
        RunEnd = Pos = Text.size();
        return false;
    }
    RunEnd = open;
    bool bracket = false;
    bool closerSeen = false; // any ">" since the "<", bracketed or not
    for (size_t i = open + 1; i < Text.size(); ++i) {
        char16_t c = Text[i];
        if (c == u'<') {
            if (!closerSeen) ThrowTagNotClosed(Text, open);
            open = i;
            bracket = closerSeen = false;
        } else if (c == u'>') {
            closerSeen = true;
            if (!bracket) {
                TagOpen = open;
                TagClose = i;
                Pos = i + 1;
                TagName = LookUpTag(NameOf(Content()));
                return true;
            }
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u']') {
            bracket = false;
        }
    }
    // A "<" that is never closed takes the rest of the text with it.
    Pos = Text.size();
    return false;
}

std::u16string_view TTagScanner::Content() const {
    return TrimControlsView(Text.substr(TagOpen + 1, TagClose - TagOpen - 1));
}

std::u16string TTagScanner::Argument() const {
    return LowerCase(ArgumentOf(Content()));
}

TLinkArgument SplitLinkArgument(std::u16string_view argument) {
    TLinkArgument result;
    std::u16string_view kind = NameOf(argument);
    for (const auto& entry : kKindTable)
        if (kind == entry.Word) result.Kind = entry.Code;
    result.Target = std::u16string(ArgumentOf(argument));
    return result;
}

void ThrowTagNotClosed(std::u16string_view text, size_t open) {
    // Line breaks in the quoted text become blanks to keep the message one line.
    std::u16string quoted(text.substr(open + 1, kQuotedLength));
    for (auto& c : quoted)
        if (c < 0x20) c = u' ';
    throw TBookError("Tag is not closed: " + ToUtf8(quoted));
}

} // namespace paginor
