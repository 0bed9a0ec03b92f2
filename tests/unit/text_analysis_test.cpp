// Analysis of tagged text: link ids, the records, labels, the table of
// contents, and what the midlet writer reads.
#include "text_support.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace paginor;
using namespace std::string_literals;
using paginor::testing::CaptureLog;
using paginor::testing::TextConfig;
using paginor::testing::WithIds;

namespace {

struct TRecord {
    char Kind;
    std::u16string Target;
    int32_t Position;
};

void ExpectRecords(const TBookText& book, const std::vector<TRecord>& expected) {
    ASSERT_EQ(book.Links.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("record " + std::to_string(k));
        EXPECT_EQ(book.Links[k].Kind, expected[k].Kind);
        EXPECT_EQ(book.Links[k].Target, WithIds(expected[k].Target, book.FirstLinkId));
        EXPECT_EQ(book.Links[k].Position, expected[k].Position);
        EXPECT_EQ(book.Links[k].Id, book.FirstLinkId + static_cast<int32_t>(k));
    }
    EXPECT_EQ(book.LastLinkId, book.FirstLinkId + static_cast<int32_t>(expected.size()) - 1);
}

} // namespace

TEST(TextAnalysis, WorkedExampleFromSourceToFinalPositions) {
    const TBookConfig config = TextConfig();
    TBookText book(u"<#tableofcontent>\r\n<#header 1>One<#/header>\r\n"
                   u"See <#link label x>here<#/link>.\r\n<#label X>Two",
                   config);
    // The source uses nothing above 'x', so ids start right after it.
    EXPECT_EQ(book.FirstLinkId, 0x79);
    EXPECT_EQ(book.Text, WithIds(u"\r\nOne\r\nSee \2h\2e\2r\2e\2.\r\nTwo", book.FirstLinkId));
    EXPECT_EQ(book.Length, 26);
    EXPECT_EQ(book.TocText, WithIds(u"\1O\1n\1e\1\n", book.FirstLinkId));
    EXPECT_EQ(book.TocPosition, 0);
    ExpectRecords(book, {{'t', u"\1O\1n\1e\1\n", 2}, {'l', u"#x", 23}});

    book.ResolveFinalPositions();
    EXPECT_EQ(book.Links[0].FinalPosition, 10);
    EXPECT_EQ(book.Links[1].FinalPosition, 31);
    const std::u16string full = book.FullText();
    EXPECT_EQ(full[10], u'O');
    EXPECT_EQ(full[31], u'T');
    // Running it again gives the same answer.
    book.ResolveFinalPositions();
    EXPECT_EQ(book.Links[1].FinalPosition, 31);
}

// The text of a link as the analysis writes it: its id character before
// every character and after the last.
std::u16string Linked(std::u16string_view text, char16_t id) {
    std::u16string out(1, id);
    for (char16_t c : text)
        out.append({c, id});
    return out;
}

const std::u16string kLetters = u"abcdefghijklmnopqrstuvwxyz";

TEST(TextAnalysis, TagsBecomeLinkIdCharactersAndRecords) {
    struct TCase {
        std::u16string Source;
        std::u16string Text; // \1, \2 ... stand for FirstLinkId, FirstLinkId + 1 ...
        std::vector<TRecord> Records;
    };
    const std::vector<TCase> cases = {
        {u"ab<#link http x>cd<#/link>e", u"ab\1c\1d\1e", {{'h', u"hx", 2}}},
        {u"<#link http x><#/link>", u"\1", {{'h', u"hx", 0}}},
        {u"a<#image p.png>b", u"a\1b", {{'I', u"Ip.png", 1}}},
        {u"<#LINK HTTP Host/Page>x<#/LINK>", u"\1x\1", {{'h', u"hhost/page", 0}}},
        {u"x<#link http>y<#/link>", u"x\1y\1", {{'h', u"hhttp", 1}}},
        {u"<#image [-resize 100x80>] c:\\pics\\p1.png>",
         u"\1",
         {{'I', u"I[-resize 100x80>] c:\\pics\\p1.png", 0}}},
        {u"<#image>", u"\1", {{'I', u"I#image", 0}}},
        {u"<#link phone +1 555>call<#/link>", u"\1c\1a\1l\1l\1", {{'p', u"p+1 555", 0}}},
        {u"<#link sms 555:Hi  there>s<#/link>", u"\1s\1", {{'s', u"s555:hi  there", 0}}},
        {u"<#link file /a/B.txt>f<#/link>", u"\1f\1", {{'f', u"f/a/b.txt", 0}}},
        {u"<#link image pic.png>p<#/link>", u"\1p\1", {{'i', u"ipic.png", 0}}},
        {u"<#link label nowhere>n<#/link>", u"\1n\1", {{'#', u"#nowhere", 0}}},
        {u"<\t#link\thttp x >t<#/link>", u"t", {}}, // a tab does not end a name
        {u"a < b and c > d", u"a  d", {}},
        {u"a > b", u"a  b", {}},
        {u"<b>bold</b> <p>and<#note>", u"bold and", {}},
        {u"<label x>y", u"y", {}},
        {u"keep [brackets] here", u"keep [brackets] here", {}},
        {u"cut <#image never closed", u"cut ", {}},
        {u"<x [>] <#image a>", u"\1", {{'I', u"Ia", 0}}},
        {u"a<#image x><#link http y>b<#/link><#image z>",
         u"a\1\2b\2\3",
         {{'I', u"Ix", 1}, {'h', u"hy", 2}, {'I', u"Iz", 5}}},
        // The text is written over the source while it stays behind the
        // reading; a link longer than the room its tags left catches up, and
        // the rest (a title, a picture, more text) is written elsewhere.
        {u"<#link http x>" + kLetters + u"<#/link><#header 1> Tail <#/header><#image p>end",
         Linked(kLetters, u'\2') + u" Tail \3end",
         {{'t', Linked(u"Tail", u'\1') + u"\n", 53}, {'h', u"hx", 0}, {'I', u"Ip", 59}}},
        {u"<#header 1>Long title<#/header><#link http x>" + kLetters + u"<#/link>",
         u"Long title" + Linked(kLetters, u'\2'),
         {{'t', Linked(u"Long title", u'\1') + u"\n", 0}, {'h', u"hx", 10}}},
    };
    const TBookConfig config = TextConfig();
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Source));
        TBookText book(c.Source, config);
        EXPECT_EQ(book.Text, WithIds(c.Text, book.FirstLinkId));
        EXPECT_EQ(book.Length, static_cast<int32_t>(book.Text.size()));
        ExpectRecords(book, c.Records);
        EXPECT_EQ(book.Text.find_first_of(u"<"), std::u16string::npos);
    }
}

TEST(TextAnalysis, HeadersMakeTitlesAndTableOfContents) {
    struct TCase {
        std::u16string Source;
        std::u16string Text;
        std::u16string Toc;
        std::vector<TRecord> Records;
    };
    const std::vector<TCase> cases = {
        {u"<#header 1>Chapter  One<#/header>",
         u"Chapter  One",
         u"\1C\1h\1a\1p\1t\1e\1r\1 \1O\1n\1e\1\n",
         {{'t', u"\1C\1h\1a\1p\1t\1e\1r\1 \1O\1n\1e\1\n", 0}}},
        // The lines of a title join with one blank, however many blanks and
        // line breaks stand between them; blanks at its ends go.
        {u"x<#header>\r\n A\r\nB \r\n\r\n C\r\n<#/header>",
         u"x\r\n A\r\nB \r\n\r\n C\r\n",
         u"\1A\1 \1B\1 \1C\1\n",
         {{'t', u"\1A\1 \1B\1 \1C\1\n", 1}}},
        {u"<#header><#/header>", u"", u"\1\n", {{'t', u"\1\n", 0}}},
        // A closing tag without an open header: the title runs from the
        // latest header, or from the start of the text.
        {u"<#header 1>A<#/header>B<#/header>",
         u"AB",
         u"\1A\1\n\2A\2B\2\n",
         {{'t', u"\1A\1\n", 0}, {'t', u"\2A\2B\2\n", 0}}},
        {u"AB<#/header>C", u"ABC", u"\1A\1B\1\n", {{'t', u"\1A\1B\1\n", 0}}},
        // Header ids come first, even for a link before the first header.
        {u"<#link http a>L<#/link> <#header>H<#/header><#image p>",
         u"\2L\2 H\3",
         u"\1H\1\n",
         {{'t', u"\1H\1\n", 4}, {'h', u"ha", 0}, {'I', u"Ip", 5}}},
    };
    const TBookConfig config = TextConfig();
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Source));
        TBookText book(c.Source, config);
        EXPECT_EQ(book.Text, WithIds(c.Text, book.FirstLinkId));
        EXPECT_EQ(book.TocText, WithIds(c.Toc, book.FirstLinkId));
        ExpectRecords(book, c.Records);
    }
}

TEST(TextAnalysis, LabelsResolveLinksInAnyCaseAndScript) {
    struct TCase {
        std::u16string Source;
        char Kind;
        int32_t Position;
    };
    const std::vector<TCase> cases = {
        {u"x<#link label b>y<#/link>z<#label B>", 'l', 5},
        {u"<  #label   Chapter Two  >ab<#link label CHAPTER TWO>c<#/link>", 'l', 0},
        {u"<#label \u0413\u041B\u0410\u0412\u0410 \u041E\u0434\u0438\u043D>ab"
         u"<#link label \u0433\u043B\u0430\u0432\u0430 \u043E\u0414\u0418\u041D>c<#/link>",
         'l', 0},
        {u"ab<#link label \u039F\u0394\u039F\u03A3>c<#/link><#label \u03BF\u03B4\u03BF\u03C2>", 'l',
         5},
        {u"ab<#link label \u03BF\u03B4\u03BF\u03C2>c<#/link><#label \u039F\u03B4\u03BF\u03C3>", 'l',
         5},
        {u"a<#label one>b<#label ONE>c<#link label One>d<#/link>", 'l', 1},
        {u"x<#link label missing>y<#/link><#label other>", '#', 1},
    };
    const TBookConfig config = TextConfig();
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Source));
        TBookText book(c.Source, config);
        ASSERT_EQ(book.Links.size(), 1u); // labels are not kept
        EXPECT_EQ(book.Links[0].Kind, c.Kind);
        EXPECT_EQ(book.Links[0].Position, c.Position);
        EXPECT_EQ(book.Links[0].FinalPosition, c.Position);
    }
}

TEST(TextAnalysis, NestingErrorsQuoteTheTag) {
    struct TCase {
        std::u16string Source;
        std::string Message;
    };
    const std::u16string longTail(100, u'z');
    const std::vector<TCase> cases = {
        {u"<#header 1>A<#header 2>B<#/header>", "Tag is not closed: #header 2>B<#/header>"},
        {u"<#link label x>see <#label y> here<#/link>",
         "Tag is not closed: #label y> here<#/link>"},
        {u"a << b >", "Tag is not closed: < b >"},
        {u"<#link http a>x<#image p>y<#/link>", "Tag is not closed: #image p>y<#/link>"},
        {u"<#link http a><#link http b>y", "Tag is not closed: #link http b>y"},
        {u"<#header>x<#link http a>", "Tag is not closed: #link http a>"},
        {u"<#header>x<#tableofcontent>", "Tag is not closed: #tableofcontent>"},
        {u"<#link http a>x<#header>", "Tag is not closed: #header>"},
        {u"<#header>a<#header>b\r\nc", "Tag is not closed: #header>b  c"},
        {u"<x [>" + longTail, ""}, // a bracketed ">" does not close: the rest goes
        {u"<a [b <c>", "Tag is not closed: a [b <c>"},
        {u"<#header 1>A<#header 2>" + longTail,
         "Tag is not closed: #header 2>" + std::string(60, 'z')},
    };
    const TBookConfig config = TextConfig();
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Source));
        if (c.Message.empty()) {
            EXPECT_NO_THROW(TBookText(c.Source, config));
            continue;
        }
        try {
            TBookText book(c.Source, config);
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()), c.Message);
        }
    }
}

TEST(TextAnalysis, ClosingTagsAreAllowedAnywhere) {
    const TBookConfig config = TextConfig();
    // "#/header" ends the nesting of an open link, so a picture may follow;
    // every link keeps its own id.
    TBookText book(u"<#link http a>x<#/header><#image p>y<#/link>z", config);
    EXPECT_EQ(book.Text, WithIds(u"\2x\3\2y\2z", book.FirstLinkId));
    ExpectRecords(book, {{'t', u"\1\2\1x\1\n", 0}, {'h', u"ha", 0}, {'I', u"Ip", 2}});
}

TEST(TextAnalysis, UnknownLinkKindsAndStrayClosersSpendNoIds) {
    const TBookConfig config = TextConfig();
    TBookText book(u"ab<#link wap x>cd<#/link>e<#/link><#link http y>f<#/link>", config);
    EXPECT_EQ(book.Text, WithIds(u"abcde\1f\1", book.FirstLinkId));
    ExpectRecords(book, {{'h', u"hy", 5}});
    // The highest link id in the text is the last one a record carries.
    EXPECT_EQ(*std::max_element(book.Text.begin(), book.Text.end()), book.LastLinkId);
}

TEST(TextAnalysis, LinkLeftOpenAtTheEndIsClosed) {
    const TBookConfig config = TextConfig();
    TBookText book(u"a<#link http x>bc", config);
    EXPECT_EQ(book.Text, WithIds(u"a\1b\1c\1", book.FirstLinkId));
}

TEST(TextAnalysis, TableOfContentsPlace) {
    const TBookConfig config = TextConfig();
    TBookText plain(u"no tags at all", config);
    EXPECT_TRUE(plain.Links.empty());
    EXPECT_EQ(plain.LastLinkId, plain.FirstLinkId - 1);
    EXPECT_TRUE(plain.TocText.empty());
    EXPECT_EQ(plain.TocPosition, 0);

    TBookText several(u"ab<#tableofcontent>cd<#tableofcontent>e", config);
    EXPECT_EQ(several.TocPosition, 4);

    // A header right at the table of contents leads to its heading, behind
    // the contents (a web page or EPUB that opens with a heading); a label
    // there leads to the contents' first character.
    TBookConfig withHead = TextConfig();
    withHead.TextHead = u"HEAD";
    withHead.TextTail = u"TAIL";
    TBookText book(u"intro <#tableofcontent><#label top><#header>T<#/header> text"
                   u"<#link label top>up<#/link>",
                   withHead);
    EXPECT_EQ(book.TocPosition, 6);
    const std::u16string full = book.FullText();
    EXPECT_EQ(full.substr(0, 10 + book.TocText.size() + 6),
              u"HEADintro " + book.TocText + u"T text");
    book.ResolveFinalPositions();
    EXPECT_EQ(full[book.Links[0].FinalPosition], u'T');
    EXPECT_EQ(book.Links[1].FinalPosition, 4 + 6);
}

TEST(TextAnalysis, FullTextPutsTheContentsAfterAShortText) {
    const TBookConfig config = TextConfig();
    TBookText part(config);
    part.Text = u"abc";
    part.TocText = u"T\n";
    part.TocPosition = 10;
    EXPECT_EQ(part.FullText(), u"abcT\n");
}

TEST(TextAnalysis, FirstLinkIdIsTheStartOfTheLongestFreeRun) {
    const TBookConfig config = TextConfig();
    // All codes but two equal runs: the lower one wins.
    std::u16string text;
    for (int32_t code = 0; code < 0x10000; ++code)
        if ((code < 0x100 || code >= 0x200) && (code < 0x300 || code >= 0x400))
            text += static_cast<char16_t>(code);
    TBookConfig untagged = config;
    untagged.TagsForced = false;
    EXPECT_EQ(TBookText(text, untagged).FirstLinkId, 0x100);
    // A run may start at 0.
    std::u16string high;
    for (int32_t code = 0x4000; code < 0x10000; ++code)
        high += static_cast<char16_t>(code);
    EXPECT_EQ(TBookText(high, untagged).FirstLinkId, 0);
    // The run above the highest code used may end at U+FFFF.
    EXPECT_EQ(TBookText(u"\u0100", untagged).FirstLinkId, 0x101);
}

TEST(TextAnalysis, LinkIdsAvoidTheHeadTailAndPartTexts) {
    const std::u16string source = u"<#header 1>One<#/header>See <#link http x.org>this<#/link>.";
    const char16_t chosen = static_cast<char16_t>(TBookText(source, TextConfig()).FirstLinkId);
    std::u16string TBookConfig::*const keys[] = {
        &TBookConfig::TextHead, &TBookConfig::TextTail, &TBookConfig::TextPartHead,
        &TBookConfig::TextPartTail, &TBookConfig::TextPartLink};
    for (const auto key : keys) {
        SCOPED_TRACE(ToUtf8(std::u16string(1, chosen)));
        TBookConfig config = TextConfig();
        // The texts hold the id the source alone would give, and the next one.
        config.*key = u"y" + std::u16string(1, chosen) + static_cast<char16_t>(chosen + 1);
        const TBookText book(source, config);
        ASSERT_EQ(book.Links.size(), 2u);
        for (char16_t c : config.*key)
            EXPECT_TRUE(c < book.FirstLinkId || c > book.LastLinkId) << static_cast<int>(c);
        // The characters stay text: the fonts carry them.
        TBookConfig headed = config;
        headed.TextHead = config.*key;
        const TBookText shown(source, headed);
        EXPECT_NE(shown.BuildCharset().find(chosen), std::u16string::npos);
    }
}

TEST(TextAnalysis, TooFewFreeCodesForTheLinkIdsFail) {
    const TBookConfig config = TextConfig();
    std::u16string crowded;
    for (int32_t code = 0; code < 0x10000; ++code)
        if (code != 0x1000 && code != 0x1001 && code != '<' && code != '>')
            crowded += static_cast<char16_t>(code);
    crowded += u"<#image a><#image b>";
    TBookText fits(crowded, config);
    EXPECT_EQ(fits.FirstLinkId, 0x1000);
    EXPECT_EQ(fits.LastLinkId, 0x1001);
    try {
        TBookText book(crowded + u"<#image c>", config);
        ADD_FAILURE() << "no error";
    } catch (const TBookError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Not enough free character codes for link ids: the book needs 3, "
                  "the longest free run holds 2");
    }
}

TEST(TextAnalysis, EmptySourceFails) {
    const TBookConfig config = TextConfig();
    try {
        TBookText book(u"", config);
        ADD_FAILURE() << "no error";
    } catch (const TBookError& error) {
        EXPECT_EQ(std::string(error.what()), "Length of source text is 0");
    }
}

TEST(TextAnalysis, CharsetCountsFullTextWithoutLinkIds) {
    TBookConfig config = TextConfig();
    config.TextHead = u"AA";
    config.TextTail = u"B";
    TBookText book(u"<#header>ab<#/header>b<#link http x>c<#/link>", config);
    // FullText: "AA" + toc (M a M b M LF) + "abb" + N c N + "B": b three
    // times, A and a twice, the rest once; equal counts go in code order.
    EXPECT_EQ(book.BuildCharset(), u"bAa\nBc");
    // A head character that falls in the id range counts as a link id.
    config.TextHead = WithIds(u"\2", book.FirstLinkId);
    EXPECT_EQ(book.BuildCharset().find(config.TextHead), std::u16string::npos);
}

TEST(TextAnalysis, LabelLinksThatLeadNowhereAreTold) {
    const TBookConfig config = TextConfig();
    auto told = [&](const std::u16string& source) {
        const std::string log = CaptureLog([&] { TBookText book(source, config); });
        std::vector<std::string> lines;
        for (size_t at = log.find("  ? "); at != std::string::npos; at = log.find("  ? ", at + 1))
            lines.push_back(log.substr(at + 2, log.find('\n', at) - at - 2));
        return lines;
    };
    const std::string nowhere = " leads nowhere: the book has no label of that name";
    EXPECT_EQ(told(u"<#link label Here>x<#/link> <#label HERE>"), std::vector<std::string>{});
    EXPECT_EQ(told(u"<#link label Here>x<#/link> <#link label Nowhere>y<#/link><#label here>"),
              std::vector<std::string>{"? Link to label nowhere" + nowhere});
    std::u16string many;
    for (char16_t n = u'1'; n <= u'7'; ++n)
        many += u"<#link label note"s + n + u">[" + n + u"]<#/link> ";
    const std::vector<std::string> lines = told(many);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "? Link to label note5" + nowhere);
    EXPECT_EQ(lines[5], "? 7 label links in all lead nowhere");
}

TEST(TextAnalysis, LogsTheAnalysis) {
    TBookConfig config = TextConfig();
    config.TextHead = u"ab";
    const std::string log = CaptureLog([&] {
        TBookText book(u"<#header 1>One<#/header>x<#link http Host>w<#/link><#label Z>", config);
        book.BuildCharset();
    });
    EXPECT_NE(log.find(".. Processing source text; text size 61, head size 2, tail size 0\n"),
              std::string::npos);
    EXPECT_NE(log.find("  First link id 0079, size 65415\n"), std::string::npos);
    EXPECT_NE(log.find(".. Processing tags in text\n"), std::string::npos);
    EXPECT_NE(log.find("   0t:00000079:0:"), std::string::npos);
    EXPECT_NE(log.find("   1h:0000007A:4:hhost\n"), std::string::npos);
    EXPECT_NE(log.find("   2*:00000000:7:#z\n"), std::string::npos);
    EXPECT_NE(log.find("+ Charset created, total 8 unique chars\n"), std::string::npos);
}
