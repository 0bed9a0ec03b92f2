// Small-screen formatting and the division of a book into parts.
#include "text_support.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <gtest/gtest.h>

#include <set>

using namespace paginor;
using paginor::testing::CaptureLog;
using paginor::testing::TextConfig;
using paginor::testing::WithIds;

namespace {

TBookConfig PartConfig(int size, int count) {
    TBookConfig config = TextConfig();
    config.TextPartSize = size;
    config.TextPartCount = count;
    config.TextHead = u"<H>";
    config.TextTail = u"<T>";
    config.TextPartHead = u"<PH>";
    config.TextPartTail = u"<PT>";
    config.TextPartLink = u"Other part";
    return config;
}

// A book that parts of 40 letters divide in four, with jumps between them:
// headers One and Two, a link to "top" and one to "near".
std::u16string FourPartSource() {
    return u"<#header>One<#/header><#label top>Start<#tableofcontent>" + std::u16string(50, u'x') +
           u"<#header>Two<#/header>" + std::u16string(50, u'y') + u"<#link label top>back<#/link>" +
           std::u16string(20, u'z') + u"<#link label near>n<#/link><#label near>end";
}

std::string ErrorOf(const TBookText& book) {
    try {
        book.SplitIntoParts();
    } catch (const TBookError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(TextFormat, SqueezesBlanksJoinsHyphensAndLines) {
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"a   b", u"a b"},
        {u"a \t  b", u"a \t b"},
        {u"exam-\nple", u"example"},
        {u"exam-\r\nple", u"exam- ple"},
        {u"a--\nb", u"a-b"},
        {u"one\r\ntwo", u"one two"},
        {u"one\r\n two", u"one\r two"},
        {u"one\r\n   two", u"one\r two"},
        {u"end.\r\n\r\nNext", u"end.  Next"},
        {u"last\r\n", u"last\r\n"},
        {u"one\ntwo\r\r", u"one\ntwo\r\r"},
    };
    TBookConfig config = TextConfig();
    config.FormatEn = true;
    for (const auto& [source, formatted] : cases) {
        SCOPED_TRACE(ToUtf8(source));
        TBookText book(source, config);
        EXPECT_EQ(book.Text, formatted);
        EXPECT_EQ(book.Length, static_cast<int32_t>(formatted.size()));
    }
}

TEST(TextFormat, PositionsFollowTheCharactersTheyName) {
    TBookConfig config = TextConfig();
    config.FormatEn = true;
    TBookText book(u"a   b<#tableofcontent>c<#label x>exam-\nple  <#header>T<#/header>\r\n"
                   u"next<#link label x>L<#/link><#image p>",
                   config);
    // Text: "a bc" + "example " + "T" + " next" + M L M + N.
    EXPECT_EQ(book.Text, WithIds(u"a bcexample T next\2L\2\3", book.FirstLinkId));
    EXPECT_EQ(book.TocPosition, 3);
    ASSERT_EQ(book.Links.size(), 3u);
    EXPECT_EQ(book.Links[0].Position, 12); // header title "T"
    EXPECT_EQ(book.Links[1].Position, 4);  // jump to label x
    EXPECT_EQ(book.Links[2].Position, 21); // the picture
    EXPECT_EQ(book.Text[book.Links[0].Position], u'T');
    EXPECT_EQ(book.Text[book.Links[1].Position], u'e');
    EXPECT_EQ(book.Text[book.Links[2].Position], book.FirstLinkId + 2);
    EXPECT_EQ(book.Links[2].FinalPosition, 21);
}

TEST(TextParts, IsMultipartFollowsThePartOptions) {
    struct TCase {
        int Size, Count, Length;
        bool Multipart;
    };
    const std::vector<TCase> cases = {
        {0, 0, 5000, false}, {1000, 0, 999, false}, {1000, 0, 1000, true}, {100, 2, 150, true},
        {0, 2, 150, false},  {0, 3, 250, true},     {-5, 0, 100, false},   {100, -1, 200, false},
        {0, -1, 200, false}, {10, 1, 100, false},   {10, 3, 100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Size) + " " + std::to_string(c.Count) + " " +
                     std::to_string(c.Length));
        const TBookConfig config = PartConfig(c.Size, c.Count);
        const TBookText book(std::u16string(c.Length, u'a'), config);
        EXPECT_EQ(book.IsMultipart(), c.Multipart);
    }
}

TEST(TextParts, SplitSizesAndFailures) {
    struct TCase {
        int Size, Count, Length;
        std::string Log; // the "Text parts" line, or the error
        size_t Parts;
    };
    const std::vector<TCase> cases = {
        {1000, 0, 1000, "Text parts 1, text part size 1000", 1},
        {100, 2, 150, "Text parts 1, text part size 150", 1},
        {0, 3, 250, "Text parts 3, text part size 99", 3},
        {0, 2, 400, "Text parts 2, text part size 216", 2},
        {50, 2, 400, "Text parts 2, text part size 300", 2},
        {0, 0, 10, "Invalid amout of text parts: 0", 0},
        {0, -2, 10, "Invalid amout of text parts: -2", 0},
        {5, -1, 10, "Invalid amount of text parts: -1", 0},
        {-5, 0, 10, "Invalid size of text part: -5", 0},
        // The most parts a book may have, and one more.
        {3, 0, 3000, "Text parts 1000, text part size 3", 1000},
        {3, 0, 3001,
         "TextPartSize 3 and TextPartCount 0 divide the book's 3001 characters into 1001 parts, "
         "more than the 1000 a book may have: set TextPartSize to 4 or more",
         0},
        {0, 3000, 30000,
         "TextPartSize 0 and TextPartCount 3000 divide the book's 30000 characters into 1154 "
         "parts, more than the 1000 a book may have: set TextPartSize to 30 or more",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Log);
        const TBookConfig config = PartConfig(c.Size, c.Count);
        const TBookText book(std::u16string(c.Length, u'a'), config);
        if (c.Parts == 0) {
            EXPECT_EQ(ErrorOf(book), c.Log);
            continue;
        }
        std::vector<TBookText> parts;
        const std::string log = CaptureLog([&] { parts = book.SplitIntoParts(); });
        EXPECT_NE(log.find(c.Log + "\n"), std::string::npos) << log;
        ASSERT_EQ(parts.size(), c.Parts);
        std::u16string joined;
        for (const auto& part : parts)
            joined += part.Text;
        EXPECT_EQ(joined, book.Text);
    }
}

TEST(TextParts, SinglePartCopiesTheWholeBook) {
    const TBookConfig config = PartConfig(100, 2);
    const TBookText book(u"<#tableofcontent><#header>H<#/header> body <#image p>", config);
    const auto parts = book.SplitIntoParts();
    ASSERT_EQ(parts.size(), 1u);
    const TBookText& part = parts[0];
    EXPECT_EQ(part.Start, 0);
    EXPECT_EQ(part.Head, u"<H>");
    EXPECT_EQ(part.Tail, u"<T>");
    EXPECT_EQ(part.Text, book.Text);
    EXPECT_EQ(part.TocText, book.TocText);
    EXPECT_EQ(part.LastLinkId, book.LastLinkId);
    ASSERT_EQ(part.Links.size(), book.Links.size());
    EXPECT_EQ(part.Links[1].Target, u"Ip");
    EXPECT_FALSE(part.HasOutsideJumps);
}

TEST(TextParts, HelloWorldInThreeParts) {
    const TBookConfig config = PartConfig(8, 0);
    const TBookText book(u"Hello world. This is it.", config);
    EXPECT_TRUE(book.IsMultipart());
    std::vector<TBookText> parts;
    const std::string log = CaptureLog([&] { parts = book.SplitIntoParts(); });
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].Text, u"Hello world. ");
    EXPECT_EQ(parts[1].Text, u"This is it.");
    EXPECT_EQ(parts[2].Text, u"");
    EXPECT_EQ(parts[0].Start, 1);
    EXPECT_EQ(parts[1].Start, 14);
    EXPECT_EQ(parts[2].Start, 25);
    EXPECT_EQ(parts[2].Length, 0);
    EXPECT_EQ(parts[0].Head, u"<H>");
    EXPECT_EQ(parts[1].Head, u"<PH>");
    EXPECT_EQ(parts[1].Tail, u"<PT>");
    EXPECT_EQ(parts[2].Tail, u"<T>");
    EXPECT_NE(log.find("Text parts 3, text part size 8\n"), std::string::npos);
    EXPECT_NE(log.find("Part 1, start 1, size 13\n"), std::string::npos);
    EXPECT_NE(log.find("Part 2, start 14, size 11\n"), std::string::npos);
    EXPECT_NE(log.find("Part 3, start 25, size 0\n"), std::string::npos);
}

TEST(TextParts, CutsAtTheCutCharacters) {
    // With size 4 the search starts at the 5th character of each part.
    struct TCase {
        std::u16string Text;
        std::u16string First;
    };
    const std::vector<TCase> cases = {
        {u"abcdefgh#jklmnopqrstu", u"abcdefgh#j"},
        {u"abcdefg0ijklmnopqrstu", u"abcdefg0i"},
        {u"abcdef1hijklmnopqrstu", u"abcdef1h"},
        {u"abcde!ghijklmnopqrstu", u"abcde!g"},
        {u"abcd?fghijklmnopqrstu", u"abcd?f"},
        {u"abcdefghi\nklmnopqrstu", u"abcde"}, // no cut: the size, one more
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Text));
        const TBookConfig config = PartConfig(4, 0);
        const TBookText book(c.Text, config);
        const auto parts = book.SplitIntoParts();
        ASSERT_GE(parts.size(), 2u);
        EXPECT_EQ(parts[0].Text, c.First);
    }
}

TEST(TextParts, CutInsideAHyperlinkMovesToItsEnd) {
    const TBookConfig config = PartConfig(6, 0);
    const TBookText book(u"abcd<#link http x>linked<#/link> after the link", config);
    const auto parts = book.SplitIntoParts();
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[0].Text, WithIds(u"abcd\1l\1i\1n\1k\1e\1d\1", book.FirstLinkId));
    EXPECT_EQ(parts[1].Text.substr(0, 6), u" after");
    // The link record lies inside the first part and is kept; the second
    // part's copy becomes a jump to its own start.
    EXPECT_EQ(parts[0].Links[0].Kind, 'h');
    EXPECT_EQ(parts[1].Links[0].Kind, 'l');
    EXPECT_EQ(parts[1].Links[0].Position, 0);
    EXPECT_TRUE(parts[1].Links[0].Target.empty());
}

TEST(TextParts, JumpsIntoOtherPartsLeadToThePartLink) {
    const TBookConfig config = PartConfig(40, 0);
    const TBookText book(FourPartSource(), config);
    const auto parts = book.SplitIntoParts();
    ASSERT_EQ(parts.size(), 4u);
    // What each jump of the book shows when it is followed: headers One and
    // Two, the jump to "top" and the jump to "near".
    const std::vector<std::u16string> targets = {u"One", u"Two", u"Start", u"end"};
    ASSERT_EQ(book.Links.size(), targets.size());
    std::vector<int> reached(targets.size(), 0), redirected(targets.size(), 0);

    for (size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        TBookText part = parts[i];
        part.ResolveFinalPositions();
        const std::u16string full = part.FullText();
        for (size_t k = 0; k < targets.size(); ++k) {
            const std::u16string shown = full.substr(part.Links[k].FinalPosition, 10);
            if (shown.starts_with(targets[k])) {
                ++reached[k];
            } else {
                EXPECT_EQ(shown, u"Other part") << "record " << k;
                ++redirected[k];
            }
        }
        if (!part.HasOutsideJumps) {
            EXPECT_EQ(part.Links.size(), book.Links.size());
            continue;
        }
        // The part link: one more id, a record at position 0, and a row of
        // ">" that forms one hyperlink at the end of the tail.
        EXPECT_EQ(part.LastLinkId, book.LastLinkId + 1);
        ASSERT_EQ(part.Links.size(), book.Links.size() + 1);
        const TLinkItem& back = part.Links.back();
        EXPECT_EQ(back.Kind, 'l');
        EXPECT_EQ(back.Id, part.LastLinkId);
        const char16_t m = static_cast<char16_t>(part.LastLinkId);
        const std::u16string link = std::u16string(5, u'\n') + u"Other part  " + m + u'>' + m +
                                    u'>' + m + u'>' + m + u'>' + m + u"      ";
        EXPECT_EQ(part.Tail, (i + 1 == parts.size() ? u"<T>" : u"<PT>") + link);
        // It leads to the table of contents of the later parts and to the
        // start of the text of the first.
        if (i == 0)
            EXPECT_EQ(back.FinalPosition, static_cast<int32_t>(part.Head.size()));
        else
            EXPECT_EQ(full.substr(back.FinalPosition, part.TocText.size()), part.TocText);
    }
    EXPECT_EQ(reached, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(redirected, (std::vector<int>{3, 3, 3, 3}));
    // A header at index 0 of the book stays inside the first part at 0.
    EXPECT_EQ(parts[0].Links[0].Position, 0);
    EXPECT_EQ(parts[0].TocPosition, book.TocPosition);
}

TEST(TextParts, WithoutPartLinkTextEachNoticeNamesThePartItLeadsTo) {
    TBookConfig config = PartConfig(40, 0);
    config.TextPartLink.clear();
    config.BookName = u"Tide";
    const TBookText book(FourPartSource(), config);
    const auto parts = book.SplitIntoParts();
    ASSERT_EQ(parts.size(), 4u);
    // The part of the book that each jump's place lies in.
    auto partOf = [&](int32_t position) {
        int number = 0;
        for (const TBookText& part : parts)
            if (part.Start - 1 <= position) ++number;
        return number;
    };
    const std::u16string sentence = u"This place is in part ";
    size_t distinct = 0; // most parts one part's notices name
    for (size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE("part " + std::to_string(i + 1));
        TBookText part = parts[i];
        if (!part.HasOutsideJumps) continue;
        part.ResolveFinalPositions();
        const std::u16string full = part.FullText();
        std::vector<int> named;
        for (size_t k = 0; k < book.Links.size(); ++k) {
            const int32_t at = part.Links[k].FinalPosition;
            if (!full.substr(at).starts_with(sentence)) continue;
            const int target = partOf(book.Links[k].Position);
            EXPECT_NE(target, static_cast<int>(i + 1));
            const std::u16string number = IntToStr(target);
            const char16_t m = static_cast<char16_t>(part.LastLinkId);
            const std::u16string notice = sentence + number + u" of the book: Tide" + number +
                                          u".  " + m + u'>' + m + u'>' + m + u'>' + m + u'>' + m +
                                          u"      ";
            EXPECT_EQ(full.substr(at, notice.size()), notice) << "record " << k;
            named.push_back(target);
        }
        EXPECT_FALSE(named.empty());
        distinct = std::max(distinct, std::set<int>(named.begin(), named.end()).size());
        // The first notice stands where a configured part link would: five
        // line feeds after the tail.
        const std::u16string tail = i + 1 == parts.size() ? u"<T>" : u"<PT>";
        EXPECT_TRUE(part.Tail.starts_with(tail + std::u16string(5, u'\n') + sentence));
    }
    EXPECT_GE(distinct, 2u); // a part whose jumps lead to two other parts names both
}

TEST(TextParts, PartsAfterTheBookAreUnchanged) {
    const TBookConfig config = PartConfig(10, 0);
    const TBookText book(u"<#header>Head<#/header> some text. More text! End?", config);
    const std::u16string text = book.Text;
    const auto links = book.Links;
    const auto parts = book.SplitIntoParts();
    EXPECT_GT(parts.size(), 1u);
    EXPECT_EQ(book.Text, text);
    EXPECT_EQ(book.Links.size(), links.size());
    EXPECT_EQ(book.Links[0].Position, links[0].Position);
}

TEST(TextParts, PartLinkWithoutRoomFails) {
    // Every code but two is used: two headers take both free codes, so the
    // part link has no code of its own.
    std::u16string text;
    for (int32_t code = 0; code < 0x10000; ++code)
        if (code != 0x1000 && code != 0x1001 && code != '<' && code != '>')
            text += static_cast<char16_t>(code);
    const TBookConfig config = PartConfig(40000, 0);
    const TBookText book(u"<#header>a<#/header>" + text + u"<#header>b<#/header>", config);
    EXPECT_EQ(ErrorOf(book), "Not enough free character codes for link ids: the book needs 3, "
                             "the longest free run holds 2");
}

TEST(TextParts, FirstPartEndingBeforeTheContentsStillReachesItsNotice) {
    const TBookConfig config = PartConfig(20, 0);
    const TBookText book(u"<#header>One<#/header>" + std::u16string(40, u'a') +
                             u"<#tableofcontent><#header>Two<#/header>" + std::u16string(40, u'b'),
                         config);
    auto parts = book.SplitIntoParts();
    ASSERT_GE(parts.size(), 2u);
    TBookText& first = parts[0];
    ASSERT_LT(first.Length, book.TocPosition);
    // The contents follow the part's text, and the position says so.
    EXPECT_EQ(first.TocPosition, first.Length);
    first.ResolveFinalPositions();
    const std::u16string full = first.FullText();
    EXPECT_EQ(full.substr(first.Links[1].FinalPosition, 10), u"Other part");
    EXPECT_EQ(full.substr(first.Links[0].FinalPosition, 3), u"One");
}
