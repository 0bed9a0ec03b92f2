// The in-line markup of tagged text: where a tag begins and ends, which tag
// it is, and its argument. Both passes of the text analysis read tags through
// TTagScanner, so they always agree on what is a tag.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace paginor {

enum class TTagName { Unknown, Link, LinkEnd, Image, Label, TableOfContent, Header, HeaderEnd };

// Walks a tagged text from one complete tag to the next.
//
// A tag runs from a "<" to the next ">" outside a bracketed stretch ("[" up to
// the next "]"). A "<" inside an open tag starts a new tag; when no ">" at all
// has followed the earlier "<", that is the "Tag is not closed" error. A "<"
// never followed by a ">" ends the text: the rest is dropped silently.
class TTagScanner {
public:
    explicit TTagScanner(std::u16string_view text) : Text(text) {}

    // Moves to the next tag. Returns false when there is none; Run() then
    // holds the text after the last tag.
    bool Next();
    // The source text between the previous tag and the current one (or the
    // end). It may hold stray ">" characters, which the caller drops.
    std::u16string_view Run() const { return Text.substr(RunBegin, RunEnd - RunBegin); }
    // Source index of the current tag's "<".
    size_t Open() const { return TagOpen; }
    // Source index of the current tag's ">".
    size_t Close() const { return TagClose; }
    TTagName Name() const { return TagName; }
    // The argument: trimmed and lower-cased; the whole content when the
    // content holds no blank.
    std::u16string Argument() const;

private:
    std::u16string_view Text;
    size_t Pos = 0; // where the next search starts
    size_t RunBegin = 0;
    size_t RunEnd = 0;
    size_t TagOpen = 0;
    size_t TagClose = 0;
    TTagName TagName = TTagName::Unknown;

    // The content between "<" and ">" with controls and blanks trimmed.
    std::u16string_view Content() const;
};

// A "#link" argument split into its kind code ('i', 'h', 'p', 's', '#', 'f';
// 0 for a kind word that is not known) and its target.
struct TLinkArgument {
    char Kind = 0;
    std::u16string Target;
};
TLinkArgument SplitLinkArgument(std::u16string_view argument);

// Raises "Tag is not closed: " with up to 70 characters of the source from
// the character after the "<" at index open.
[[noreturn]] void ThrowTagNotClosed(std::u16string_view text, size_t open);

} // namespace paginor
