// Word importer on web pages: the paragraph walk (table of contents,
// headings, links, pictures), the HTML back end (charsets, blocks, anchors)
// and pages that name files they must not reach.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "formats/HtmlDocument.h"
#include "maker/bWord.h"
#include "test_files.h"
#include "text_support.h"
#include "word_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace paginor;
using namespace paginor::testing;
namespace fs = std::filesystem;

namespace {

std::string Page(const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><title>Book</title></head><body>\n" + body +
           "\n</body></html>\n";
}

TEST(WordWalk, MatchesTocEntriesWithoutBlanksDotsAndControls) {
    const struct {
        const char16_t* Paragraph;
        const char16_t* Entry;
        bool Matches;
    } cases[] = {
        {u"Chapter One\r", u"Chapter One\t5\r", true},
        {u"Chapter One\r", u"Chapter One.........5\r", true},
        {u"1.2 Getting started\r", u"12 Getting started\t9\r", true},
        {u"One\r", u"Chapter One\t5\r", true}, // a part of the entry is enough
        {u"Chapter One and more\r", u"Chapter One\r", false},
        {u"chapter one\r", u"Chapter One\r", false},
        {u"\r", u"Chapter One\r", false},
        {u"Chapter One\r", u" \t.\r", false},
        {u"...\r", u"...\r", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesTocEntry(c.Paragraph, c.Entry), c.Matches)
            << ToUtf8(c.Paragraph) << " / " << ToUtf8(c.Entry);
}

TEST(WordWalk, LinkTagsWriteWebAddressesForTheReader) {
    const struct {
        const char16_t* Address;
        const char* Tag;
    } cases[] = {
        {u"http://example.com/a", "<#link http example.com/a>t<#/link>"},
        {u"HTTP://Example.com/B", "<#link http Example.com/B>t<#/link>"},
        {u"https://secure.example/x", "<#link http https://secure.example/x>t<#/link>"},
        {u"mailto:ann@example.com", "<#link mailto:ann@example.com>t<#/link>"},
        {u"notes.html", "<#link notes.html>t<#/link>"},
        {u"http://x.example/?a=<b>[c]", "<#link http x.example/?a=%3Cb%3E%5Bc%5D>t<#/link>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(MakeLinkTag(c.Address, u"t")), c.Tag) << ToUtf8(c.Address);
}

TEST_F(WordImport, PagesBecomeTaggedText) {
    const struct {
        const char* Name;
        std::string Body;
        std::string Expected;
    } cases[] = {
        {"a Word table of contents: headings matched in order, its paragraphs dropped",
         "<p class=MsoTocHeading>Contents</p>\n"
         "<p class=MsoToc1><a href=\"#_Toc1\">Chapter One<span>.....</span>3</a></p>\n"
         "<p class=\"MsoToc2 Extra\"><a href=\"#_Toc2\">Chapter Two\t5</a></p>\n"
         "<p class=MsoNormal>Preface</p><h1><a name=\"_Toc1\"></a>Chapter One</h1>"
         "<p>Text one.</p><h1>Chapter Three</h1><h1 id=\"_Toc2\">Chapter Two</h1>"
         "<p>Chapter One</p>",
         P("Contents") + "<#tableofcontent>" + P("Preface") + Heading(1, "Chapter One") +
             P("Text one.") + P("Chapter Three") + Heading(2, "Chapter Two") + P("Chapter One")},
        {"headings make a table of contents when the page has none",
         "<p>I</p><h1>Part One</h1><p>Text</p><h2>Section</h2><h4>Minor</h4><h3>I</h3><h2></h2>",
         "<#tableofcontent>" + P("I") + Heading(1, "Part One") + P("Text") + Heading(2, "Section") +
             P("Minor") + Heading(3, "I")},
        {"no table of contents and no headings: no tags", "<p>One</p><h5>Small</h5>",
         P("One") + P("Small")},
        {"web links of every form, four in one paragraph",
         "<p>See <a href=\"http://example.com/a\">site</a>, <a href=\"HTTP://Example.com/B\">big"
         "</a>, <a href=\"https://secure.example/x\">safe</a> and <a href=\"notes.html\">notes"
         "</a>.</p>",
         P("See <#link http example.com/a>site<#/link>, <#link http Example.com/B>big<#/link>, "
           "<#link http https://secure.example/x>safe<#/link> and <#link notes.html>notes"
           "<#/link>.")},
        {"internal links lead to labels; a link to no anchor stays text",
         "<p>Text<a href=\"#n1\">[1]</a> and <a href=\"#nowhere\">lost</a>.</p>"
         "<p id=\"n1\">[1] The note.</p><p><a name=\"unused\">Plain</a></p>",
         P("Text<#link label n1>[1]<#/link> and lost.") + P("<#label n1>[1] The note.") +
             P("Plain")},
        {"a link running past its paragraph stays text",
         "<pre><a href=\"http://x.example/\">one\ntwo</a></pre><p><a href=\"\">empty</a></p>",
         P("one") + P("two") + P("empty")},
        {"Word's list markers and conditional comments",
         "<!--[if gte mso 9]><xml><w:WordDocument></w:WordDocument></xml><![endif]-->"
         "<p class=MsoListParagraph><![if !supportLists]><span style='mso-list:Ignore'>1."
         "<span>&nbsp;</span></span><![endif]>First<o:p></o:p></p>"
         "<p><![CDATA[kept<]]>x</p>",
         P("1.\u00A0First") + P("kept\u2039x")},
        {"blocks, line breaks, pre lines, scripts, styles and entities",
         "<style>p { color: red }</style><script>var x = '<p>no</p>';</script>"
         "<p>Line one<br>line   two &amp; &lt;three&gt;&nbsp;</p><pre>a  b\n\nc</pre>"
         "<ul><li>item <b>bold</b><i> italic</i></li></ul>"
         "<table><tr><td>c1</td><th>c2</th></tr></table><blockquote>quote</blockquote>",
         "Line one\r\nline two & \u2039three\u203A\u00A0\r\r\n" + P("a  b") + P("") + P("c") +
             P("\u2022 item bold italic") + P("c1") + P("c2") + P("quote")},
        {"list items begin with their bullet or number, also when the text is in a paragraph",
         "<ol><li>One</li><li><p>Two</p><ul><li>dot</li><li></li></ul></li></ol>"
         "<ol start=\"4\" type=\"a\"><li>d</li><li value=\"27\">aa</li></ol>"
         "<ol type=\"I\" start=\"3\"><li>iii</li><li>iv</li></ol><ul><li><b>bold</b> x</li></ul>"
         "<li>stray</li>",
         P("1. One") + P("2. Two") + P("\u2022 dot") + P("d. d") + P("aa. aa") + P("III. iii") +
             P("IV. iv") + P("\u2022 bold x") + P("\u2022 stray")},
        {"hidden elements and marks that show nothing are left out",
         "<div style=\"DISPLAY : None\">Menu</div><p hidden>Secret</p>"
         "<p>Soft&shy;ly, zero&#8203;width, joined&#8288;word\uFEFF<span "
         "style='color:red;display:none'>gone</span> end</p><p style=\"mso-display:none\">shown</p>"
         "<pre>\n  kept\n</pre>",
         P("Softly, zerowidth, joinedword end") + P("shown") + P("  kept")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Import(Page(c.Body)), c.Expected) << c.Name;
}

TEST_F(WordImport, LogLinesFollowTheWalk) {
    const std::string log = CaptureLog(
        [&] { Import(Page("<h1>Head</h1><p>See <a href=\"http://a.example\">a</a></p>")); });
    EXPECT_NE(log.find("  ..Starting MS Word \n"), std::string::npos) << log;
    EXPECT_NE(log.find("  + Loaded table of content \n"), std::string::npos) << log;
    EXPECT_NE(log.find("  ..Paragraph loaded 1; 0-5; size 50; chapter [1]\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("  ..Paragraph loaded 2; 5-11; size 38; text, hyperlinks: 1\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  + MS Word file loaded, total paragpahs 2, pictures 0\n"),
              std::string::npos)
        << log;
}

TEST_F(WordImport, EveryPictureOfAParagraphIsStoredAsPngOrJpeg) {
    CopyPicture("small.png", "red.png");
    CopyPicture("small.jpeg", "pics/photo.jpg");
    CopyPicture("small.gif", "pics/moving.gif");
    CopyPicture("small.png", "blue.png");
    const std::string page = Page("<p>First <img src=\"red.png\" alt=\"A red square\"> and "
                                  "<img src=\"blue.png\"></p>"
                                  "<p><img src=\"pics/photo.jpg\" alt=\" -resize 10x10 \"></p>"
                                  "<p><img src=\"pics/moving.gif\" alt=\"noresize\"></p>"
                                  "<p><img src=\"pics/missing.png\"><img src=\"blue.png\"></p>");
    std::string text;
    const std::string log = CaptureLog([&] { text = Import(page); });
    EXPECT_EQ(text, "First and\r<#image " + Picture("0.png") + "><#image " + Picture("1.png") +
                        ">\r\n\r<#image [-resize 10x10]" + Picture("2.jpg") +
                        ">\r\n\r<#image [noresize]" + Picture("3.png") + ">\r\n\r<#image " +
                        Picture("4.png") + ">\r\n");
    EXPECT_EQ(ReadBytes(Picture("0.png")), ReadBytes(kCorpus / "small.png"));
    EXPECT_EQ(ReadBytes(Picture("2.jpg")), ReadBytes(kCorpus / "small.jpeg"));
    // The GIF became a PNG; the missing picture left nothing behind, and the
    // picture after it is kept.
    EXPECT_TRUE(ReadBytes(Picture("3.png")).starts_with("\x89PNG"));
    EXPECT_EQ(PictureFiles(),
              (std::vector<std::string>{"0.png", "1.png", "2.jpg", "3.png", "4.png"}));
    const std::string size = std::to_string(fs::file_size(kCorpus / "small.png"));
    EXPECT_NE(log.find("  + Loaded image [0.png], size [" + size + "] bytes from MS Word\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("  - Can't find any image with appropriate format.\n"), std::string::npos);
    EXPECT_NE(log.find("  + MS Word file loaded, total paragpahs 4, pictures 5\n"),
              std::string::npos);

    // ImageMode 0: no image tags, no files, no pictures counted.
    fs::remove_all(Pictures);
    fs::create_directories(Pictures);
    Config.ImageMode = 0;
    std::string quiet;
    const std::string quietLog = CaptureLog([&] { quiet = Import(page); });
    EXPECT_EQ(quiet, P("First and") + P("") + P("") + P(""));
    EXPECT_TRUE(PictureFiles().empty());
    EXPECT_NE(quietLog.find("total paragpahs 4, pictures 0\n"), std::string::npos);
}

TEST_F(WordImport, WhatIsNotAPictureIsLeftOut) {
    WriteBytes(Dir / "notes.png", "These are notes, not a picture.");
    std::string text;
    const std::string log = CaptureLog([&] {
        text = Import(Page("<p>a<img src=\"notes.png\"></p><p><img src=\"http://x.example/p.png\">"
                           "<img src=\"data:image/png;base64,AAAA\"></p>"));
    });
    EXPECT_EQ(text, P("a") + P(""));
    EXPECT_TRUE(PictureFiles().empty());
    EXPECT_NE(log.find("? Picture notes.png can't be read (not a PNG, JPEG, GIF or BMP picture): "
                       "left out"),
              std::string::npos)
        << log;
}

TEST_F(WordImport, PicturesOutsideThePageFolderFailTheBook) {
    fs::create_directories(Dir / "pages");
    fs::create_symlink("/etc/passwd", Dir / "pages" / "link.png");
    CopyPicture("small.png", "outside.png");
    for (const std::string reference : {"../../etc/passwd", "/etc/passwd", "sub/../../outside.png",
                                        "link.png", "%2e%2e/outside.png"}) {
        const std::string page = Page("<p><img src=\"" + reference + "\"></p>");
        EXPECT_EQ(ImportError(page, "pages/page.html"), "The picture " + reference + " of " +
                                                            (Dir / "pages" / "page.html").string() +
                                                            " lies outside the page's folder")
            << reference;
        EXPECT_TRUE(PictureFiles().empty()) << reference;
    }
}

TEST(HtmlPage, CharsetFromMarkDeclarationOrDetection) {
    const std::string russian = "Жили-были дед да баба, и была у них курочка Ряба. Снесла курочка "
                                "яичко, да не простое, а золотое.";
    const std::string meta1251 = "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=windows-1251\">";
    const struct {
        const char* Name;
        std::string Bytes;
        std::string Text; // what the page must hold, in UTF-8
    } cases[] = {
        {"undeclared windows-1251 is detected", EncodeText("<p>" + russian + "</p>", "CP1251"),
         russian},
        {"http-equiv declaration", EncodeText(meta1251 + "<p>Дед и баба</p>", "CP1251"),
         "Дед и баба"},
        {"meta charset", EncodeText("<meta charset='koi8-r'><p>Курочка</p>", "KOI8-R"), "Курочка"},
        {"XML declaration",
         EncodeText("<?xml version=\"1.0\" encoding=\"windows-1251\"?><html><p>Ряба</p></html>",
                    "CP1251"),
         "Ряба"},
        {"a byte-order mark wins over a declaration", "\xEF\xBB\xBF" + meta1251 + "<p>Золотое</p>",
         "Золотое"},
        {"UTF-16 with its mark", "\xFF\xFE" + EncodeText("<p>Яичко</p>", "UTF-16LE"), "Яичко"},
        {"Latin-1 is read as windows-1252", "<meta charset=iso-8859-1><p>\x93quoted\x94</p>",
         "“quoted”"},
        {"a false declaration gives way to detection",
         "<meta charset=utf-8>" + EncodeText("<p>" + russian + "</p>", "CP1251"), russian},
    };
    for (const auto& c : cases)
        EXPECT_NE(ToUtf8(DecodeHtmlPage(c.Bytes)).find(c.Text), std::string::npos) << c.Name;
}

TEST(HtmlPage, DeepNestingAndEmptyPagesAreHarmless) {
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<div><span>";
    deep += "deep text";
    const auto noPictures = [](const std::string&) { return std::optional<std::string>(); };
    const TWordDocument nested = ReadHtmlDocument(deep, "deep.html", noPictures);
    ASSERT_FALSE(nested.Paragraphs.empty());
    EXPECT_EQ(nested.Paragraphs.back().Text, u"deep text\r");
    for (const std::string empty : {"", "  \n", "<html></html>"})
        EXPECT_TRUE(ReadHtmlDocument(empty, "empty.html", noPictures).Paragraphs.empty()) << empty;
}

} // namespace

// A page's details become BookInfo as "title, author", skipping what is
// empty; a BookInfo the configuration sets stays.
TEST_F(WordImport, PageDetailsBecomeTheBookInfo) {
    const struct {
        std::string Head;
        std::u16string Configured;
        std::u16string Expected;
    } cases[] = {
        {"<title> The   Harbour </title><meta name=\"Author\" content=\"Ann Lee\">", u"",
         u"The Harbour, Ann Lee"},
        {"<meta name=\"DC.title\" content=\"Dublin\"><meta name=\"dc.creator\" content=\"J. J.\">",
         u"", u"Dublin, J. J."},
        {"<title></title><meta name=\"author\" content=\"Only Author\">", u"", u"Only Author"},
        {"<title>Untold</title>", u"", u"Untold"},
        {"", u"", u""},
        {"<title>The Harbour</title>", u"Set by me", u"Set by me"},
    };
    for (const auto& c : cases) {
        Config.BookInfo = c.Configured;
        Import("<html><head>" + c.Head + "</head><body><p>Text</p></body></html>");
        EXPECT_EQ(ToUtf8(Config.BookInfo), ToUtf8(c.Expected)) << c.Head;
    }
}
