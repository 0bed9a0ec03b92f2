// FB2 importer: tagged text, header, pictures, encodings and hostile files.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bFB2.h"
#include "picture_support.h"
#include "platform/PictureConverter.h"
#include "platform/Xml.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

using namespace paginor;
using paginor::testing::EncodeText;
namespace fs = std::filesystem;

namespace {

const std::string kNamespaces = R"( xmlns="http://www.gribuser.ru/xml/fictionbook/2.0")"
                                R"( xmlns:l="http://www.w3.org/1999/xlink")";

// A complete FB2 document around the given title-info content, body content
// and what follows the body (more bodies, binaries).
std::string Book(const std::string& body, const std::string& after = "",
                 const std::string& titleInfo = "<book-title>T</book-title>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FictionBook" + kNamespaces +
           "><description><title-info>" + titleInfo + "</title-info></description><body>" + body +
           "</body>" + after + "</FictionBook>";
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// A private folder per test, holding the book and its picture folder
// "work/temp2" (two levels deep, so "../../x" has somewhere to escape to).
class Fb2Import : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "paginor-fb2-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        Pictures = Root / "work" / "temp2";
        fs::create_directories(Pictures);
        BookFile = Root / "book.fb2";
        PictureDir = FromPath(Pictures);
    }
    void TearDown() override {
        SetLogThreshold(0);
        fs::remove_all(Root);
    }

    std::string Import(const std::string& bytes) {
        std::ofstream(BookFile, std::ios::binary) << bytes;
        return ToUtf8(ImportFictionBook(Config, Config, FromPath(BookFile), PictureDir));
    }
    std::string ImportError(const std::string& bytes) {
        try {
            Import(bytes);
        } catch (const TBookError& error) {
            return error.what();
        }
        return "(no error)";
    }
    std::string PicturePath(const std::string& name) const {
        return Pictures.string() + "/" + name;
    }
    std::vector<std::string> FilesUnder(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), Root).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path Root, Pictures, BookFile;
    std::u16string PictureDir;
    TBookConfig Config;
};

struct TextCase {
    const char* Name;
    std::string Body;
    std::string Expected;
};

TEST_F(Fb2Import, ConvertsStructureToTaggedText) {
    const std::vector<TextCase> cases = {
        {"internal link", R"(<p>See<a l:href="#note1">[1]</a> later.</p>)",
         "See<#link label note1>[1]<#/link> later.\r\n"},
        {"web link keeps its scheme", R"(<p><a l:href="http://x.example/a?b=1&amp;c">site</a></p>)",
         "<#link http http://x.example/a?b=1&c>site<#/link>\r\n"},
        {"phone and SMS links; other addresses stay plain text, never a picture or file link",
         R"(<p><a l:href="tel:+15550100">call</a> <a l:href="sms:5550100?body=Hi">text</a> )"
         R"(<a l:href="image /etc/passwd">p</a> <a l:href="file:///etc/passwd">f</a></p>)",
         "<#link phone +15550100>call<#/link> <#link sms 5550100:Hi>text<#/link> p f\r\n"},
        {"only the first href counts",
         R"(<p><a l:href="#a" xlink:href="#b" xmlns:xlink="http://www.w3.org/1999/xlink">x</a></p>)",
         "<#link label a>x<#/link>\r\n"},
        {"an a without href keeps its text", R"(<p>a <a>b</a> c</p>)", "a b c\r\n"},
        {"section with id and title",
         R"(<section id="ch1"><title><p>One</p></title><p>Text</p></section>)",
         "<#label ch1>\r\n\r\n<#header 2>One<#/header>\r\n\r\nText\r\n"},
        {"title of two paragraphs", R"(<title><p>Part I</p><p>Chapter 1</p></title>)",
         "\r\n<#header 1>Part I\r\nChapter 1<#/header>\r\n\r\n"},
        {"title with an empty line", R"(<title><p>A</p><empty-line/></title>)",
         "\r\n<#header 1>A<#/header>\r\n\r\n"},
        {"blank title produces nothing", "<title> </title><p>x</p>", "x\r\n"},
        {"link in a title gives its text", R"(<title><p>See <a l:href="#x">this</a></p></title>)",
         "\r\n<#header 1>See this<#/header>\r\n\r\n"},
        {"nested sections count depth",
         R"(<section><section><title><p>Deep</p></title></section></section>)",
         "\r\n<#header 3>Deep<#/header>\r\n\r\n"},
        {"empty paragraph", "<p/><p> </p>", "\r\n\r\n"},
        {"a blank alone between inline elements is a word space",
         "<p><strong>Ivan</strong> <emphasis>Petrovich</emphasis> and  c\n d</p>",
         "Ivan Petrovich and  c d\r\n"},
        {"a pretty-printed blank between inline elements is one blank",
         "<p><strong>a</strong>\n    <emphasis>b</emphasis>\t<a>c</a><!-- x --> <sup>d</sup></p>",
         "a b c d\r\n"},
        {"blanks inside styled runs and at their ends",
         "<p> <emphasis><strong>a</strong> <strong>b</strong></emphasis> </p>", "a b\r\n"},
        {"blanks between blocks are layout",
         "<section>\n  <p>a</p>\n  <p>b</p>\n</section>\n<poem> <stanza> <v>v</v> </stanza> "
         "</poem>",
         "a\r\nb\r\nv\r\n\r\n"},
        {"a title of styled words keeps its spaces",
         "<title><p><strong>Part</strong> <emphasis>One</emphasis></p></title>",
         "\r\n<#header 1>Part One<#/header>\r\n\r\n"},
        {"a CDATA title", "<title><p><![CDATA[Chapter <1>]]></p></title>",
         "\r\n<#header 1>Chapter \xE2\x80\xB9"
         "1\xE2\x80\xBA<#/header>\r\n\r\n"},
        {"a pretty-printed paragraph is one line",
         "<p>\n    First line\r\n\t  of a <emphasis>paragraph</emphasis>\n  </p><p>a  b</p>",
         "First line of a paragraph\r\na  b\r\n"},
        {"empty-line inside a paragraph breaks the line", "<p>x<empty-line/>y</p>", "x\r\ny\r\n"},
        {"empty-line between paragraphs is an empty line",
         "<empty-line/><p>a</p><empty-line/><p>b</p><empty-line/><empty-line/><p>c</p>",
         "a\r\n\r\nb\r\n\r\nc\r\n"},
        {"empty-line in a poem: between verse lines, not doubling a stanza break",
         "<poem><stanza><v>l1</v><empty-line/><v>l2</v></stanza><empty-line/>"
         "<stanza><v>l3</v></stanza></poem><p>prose</p>",
         "l1\r\n\r\nl2\r\n\r\nl3\r\n\r\nprose\r\n"},
        {"empty-line in an epigraph and a cite",
         "<epigraph><p>e1</p><empty-line/><p>e2</p></epigraph>"
         "<cite><p>c1</p><empty-line/><p>c2</p></cite>",
         "e1\r\n\r\ne2\r\nc1\r\n\r\nc2\r\n"},
        {"empty-line between a title's paragraphs adds nothing",
         "<title><p>A</p><empty-line/><p>B</p></title><empty-line/><p>x</p>",
         "\r\n<#header 1>A\r\nB<#/header>\r\n\r\nx\r\n"},
        {"styles and nested paragraphs",
         "<p><strikethrough>s</strikethrough><sup>1</sup><code>c</code><p>in</p>end</p>",
         "s1cin\r\nend\r\n"},
        {"subtitle and text-author", "<subtitle>* * *</subtitle><text-author>W</text-author>",
         "* * *\r\nW\r\n"},
        {"table: one line per cell",
         "<table><tr><th>a</th><td>b</td></tr><tr><td>c</td><td/></tr></table>",
         "[1, 1]: a\r\n[1, 2]: b\r\n[2, 1]: c\r\n[2, 2]: \r\n"},
        {"table cells with styled runs, links and CDATA",
         "<table>\n <tr>\n  <td>plain <strong>bold</strong> cell</td>\n"
         "  <td><emphasis>x</emphasis> <a l:href=\"#n\">note</a><![CDATA[ & more]]></td>\n"
         " </tr>\n</table>",
         "[1, 1]: plain bold cell\r\n[1, 2]: x <#link label n>note<#/link> & more\r\n"},
        {"poem with title, epigraph, stanzas, author and date",
         "<section><poem><title><p>P</p></title><epigraph><p>motto</p></epigraph>"
         "<stanza><v>l1</v><v>l2</v></stanza><stanza><v>l3</v></stanza>"
         "<text-author>A</text-author><date>1900</date></poem></section>",
         "\r\n<#header 2>P<#/header>\r\n\r\nmotto\r\nl1\r\nl2\r\n\r\nl3\r\n\r\nA\r\n1900\r\n"},
        {"epigraph keeps paragraphs, tables, verse and cites",
         "<epigraph><p>E</p><poem><stanza><v>verse</v></stanza></poem>"
         "<cite><p>quoted</p></cite>"
         "<table><tr><td>t</td></tr></table><text-author>W</text-author></epigraph>",
         "E\r\nverse\r\n\r\nquoted\r\n[1, 1]: t\r\nW\r\n"},
        {"cite with poem, nested cite and author",
         "<cite><p>C</p><poem><stanza><v>v</v></stanza></poem><cite><p>in</p></cite>"
         "<text-author>T</text-author></cite>",
         "C\r\nv\r\n\r\nin\r\nT\r\n"},
        {"notes body: labels and links",
         R"(<p>Word<a l:href="#n1" type="note">1</a>.</p></body><body name="notes">)"
         R"(<title><p>Notes</p></title><section id="n1"><p>Note text</p></section>)",
         "Word<#link label n1>1<#/link>.\r\n\r\n<#header 1>Notes<#/header>\r\n\r\n"
         "<#label n1>\r\nNote text\r\n"},
        {"prefixed elements match nothing",
         R"(<fb:section xmlns:fb="http://www.gribuser.ru/xml/fictionbook/2.0"><p>x</p></fb:section>)"
         "<p>y</p>",
         "y\r\n"},
        {"comments are not text", "<p>a<!-- note to self -->b</p>", "ab\r\n"},
        {"soft hyphens and zero-width marks show nothing",
         "<p>Ka&#xAD;ra&#xAD;ndash, zero&#x200B;width, joined&#x2060;\xE2\x80\x94"
         "dash&#xFEFF;</p>",
         "Karandash, zerowidth, joined\xE2\x80\x94"
         "dash\r\n"},
        {"CDATA and character references", "<p><![CDATA[if a&b]]> &#x416;&#1078; &amp;</p>",
         "if a&b \xD0\x96\xD0\xB6 &\r\n"},
        {"angle brackets in text never become markup",
         "<p>a &lt; b &gt; c &lt;#image /etc/passwd&gt;</p>",
         "a \xE2\x80\xB9 b \xE2\x80\xBA c \xE2\x80\xB9#image /etc/passwd\xE2\x80\xBA\r\n"},
        {"ids and targets never end a tag",
         R"(<section id="a&gt;b[1]"><p><a l:href="#a&gt;b[1]">x</a><a l:href="http://h/&lt;&gt;">y</a></p></section>)",
         "<#label a%3Eb%5B1%5D>\r\n<#link label a%3Eb%5B1%5D>x<#/link>"
         "<#link http http://h/%3C%3E>y<#/link>\r\n"},
        {"description and binary produce nothing", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Import(Book(c.Body)), c.Expected);
    }
}

struct HeaderCase {
    const char* Name;
    std::string TitleInfo;
    std::u16string BookInfo;
};

TEST_F(Fb2Import, BuildsBookInfoFromTheHeader) {
    const std::vector<HeaderCase> cases = {
        {"title, author, date",
         "<book-title>River</book-title><author><first-name>Anna</first-name>"
         "<middle-name>M</middle-name><last-name>Berg</last-name></author><date>1999</date>",
         u"River, Anna Berg, 1999"},
        {"last name only",
         "<book-title>River</book-title><author><last-name>Berg</last-name></author>",
         u"River, Berg"},
        {"author without names",
         "<book-title>River</book-title><author><nickname>x</nickname></author>", u"River"},
        {"no book-title", "<author><first-name>Anna</first-name></author>", u"Anna"},
        {"empty and blank parts are left out with their commas",
         "<book-title>River</book-title><author><first-name> </first-name>"
         "<last-name>Berg</last-name></author><date></date>",
         u"River, Berg"},
        {"no author, a blank title, a date", "<book-title> </book-title><date>1999</date>",
         u"1999"},
        {"parts lose their outer blanks",
         "<book-title> River\n</book-title><author><first-name>Anna </first-name></author>"
         "<date> 1999 </date>",
         u"River, Anna, 1999"},
        {"first author only",
         "<author><first-name>A</first-name></author><author><first-name>B</first-name></author>"
         "<book-title>R</book-title>",
         u"R, A"},
        {"entities and CDATA",
         "<book-title><![CDATA[A<B]]></book-title><date>R&amp;D &#x416;</date>",
         u"A<B, R&D \u0416"},
        {"styled runs and CDATA joined in order",
         "<book-title>The <emphasis>Long</emphasis> <![CDATA[<Road>]]></book-title>"
         "<author><first-name><strong>A</strong>nna</first-name><last-name>Berg</last-name>"
         "</author><date><sup>19</sup>99</date>",
         u"The Long <Road>, Anna Berg, 1999"},
        {"empty title-info", "", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Config.BookInfo = u"old";
        Import(Book("<p>x</p>", "", c.TitleInfo));
        EXPECT_EQ(Config.BookInfo, c.BookInfo);
    }

    Config.BookInfo = u"kept";
    Config.SplashFileName = u"kept.png";
    Import("<FictionBook><description/><body><p>x</p></body></FictionBook>");
    EXPECT_EQ(Config.BookInfo, u"kept");
    EXPECT_EQ(Config.SplashFileName, u"kept.png");
}

// The first bytes of a JPEG file ("/9j/" in base64): enough for a binary to
// count as a picture by its content.
const std::string kJpegHead = "\xff\xd8\xff";

struct PictureCase {
    const char* Name;
    std::string Base64;
    std::string Bytes;
};

TEST_F(Fb2Import, DecodesBinariesWithEveryEnding) {
    const std::vector<PictureCase> cases = {
        {"two characters and ==", "YQ==", "a"},
        {"three characters and =", "YWI=", "ab"},
        {"whole groups without =", "YWJjZGVm", "abcdef"},
        {"unfinished group without = is dropped", "YWJjZA", "abc"},
        {"one character before =", "YWJjZ=", "abc"},
        {"split over lines and blanks", "YW\n  Jj\r\nZG\tVm", "abcdef"},
        {"nothing read after the first =", "YQ==YWJj", "a"},
        {"binary bytes", "/w0K//8A", std::string("\xff\x0d\x0a\xff\xff\x00", 6)},
        {"empty binary", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeBase64(c.Base64), c.Bytes);
        // Behind a JPEG's first bytes ("/9j/" is FF D8 FF) the binary is a
        // picture by its content, and its file holds every decoded byte.
        const std::string text = Import(
            Book(R"(<image l:href="#p.png"/>)",
                 R"(<binary id="p.png" content-type="image/png">/9j/)" + c.Base64 + "</binary>"));
        EXPECT_EQ(text, "<#image " + PicturePath("p.png") + ">\r\n");
        EXPECT_EQ(ReadBytes(Pictures / "p.png"), kJpegHead + c.Bytes);
    }
}

TEST_F(Fb2Import, PlacesPicturesWhereTheyStand) {
    const std::string binaries =
        R"(<binary id="a.png">/9j/YQ==</binary><binary id="b.png">/9j/Yg==</binary>)"
        R"(<binary id="a.png">ignored</binary>)";
    const std::string a = "<#image " + PicturePath("a.png") + ">";
    const std::string b = "<#image " + PicturePath("b.png") + ">";
    EXPECT_EQ(Import(Book(R"(<section><image l:href="#a.png"/><p>x<image l:href="#b.png"/>y</p>)"
                          R"(<epigraph><image l:href="#a.png"/></epigraph>)"
                          R"(<cite><image l:href="#b.png"/></cite></section>)",
                          binaries)),
              a + "\r\nx" + b + "y\r\n\r\n" + a + "\r\n" + b + "\r\n");
    EXPECT_EQ(ReadBytes(Pictures / "a.png"), kJpegHead + "a");
    // No picture tag: unknown id, a reference outside the book, no href at all,
    // and a picture inside a header (the markup has no place for it there).
    EXPECT_EQ(Import(Book(R"(<image l:href="#missing"/><image l:href="a.png"/><image id="a.png"/>)"
                          R"(<title><p>T<image l:href="#a.png"/></p></title>)",
                          binaries)),
              "\r\n<#header 1>T<#/header>\r\n\r\n");
}

std::string Base64(const std::string& bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k)
            group =
                group << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0);
        const size_t chars = std::min<size_t>(4, bytes.size() - i + 1);
        for (size_t k = 0; k < 4; ++k)
            out += k < chars ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// Runs the import with the log at level 6 and returns the "? " lines.
std::vector<std::string> ToldLines(const std::function<void()>& import) {
    SetLogThreshold(6);
    ::testing::internal::CaptureStdout();
    import();
    std::istringstream lines(::testing::internal::GetCapturedStdout());
    std::vector<std::string> told;
    for (std::string line; std::getline(lines, line);)
        if (line.find("  ? ") != std::string::npos) told.push_back(line.substr(line.find("? ")));
    return told;
}

// The cover becomes the splash picture as a PNG within the smallest screen
// the reader targets; one that cannot be had is left out with its line.
TEST_F(Fb2Import, CoverBecomesAPngThatFitsTheScreen) {
    std::optional<TPictureConverter> library(std::in_place); // ImageMagick for the drawing
    using paginor::testing::DrawPicture;
    using paginor::testing::TLook;
    DrawPicture(Root / "photo.jpg", "jpeg:", 640, 480, TLook::Photo);
    DrawPicture(Root / "tall.png", "png:", 2000, 3000, TLook::Drawing);
    DrawPicture(Root / "small.png", "png:", 100, 80, TLook::Drawing);
    DrawPicture(Root / "screen.png", "png:", 176, 208, TLook::Drawing);
    DrawPicture(Root / "small.gif", "gif:", 50, 40, TLook::Drawing);

    struct TCoverCase {
        const char* Name;
        std::string Binary;   // the cover's bytes; "-" for no binary at all
        size_t Width, Height; // of the splash picture; 0: none
        bool Kept;            // the very bytes of the binary
        std::string Told;     // the start of the "? " line, when one is expected
    };
    const TCoverCase cases[] = {
        {"JPEG photo", ReadBytes(Root / "photo.jpg"), 176, 132, false, ""},
        {"PNG larger than the screen", ReadBytes(Root / "tall.png"), 139, 208, false, ""},
        {"PNG that fits", ReadBytes(Root / "small.png"), 100, 80, true, ""},
        {"PNG of the screen's size", ReadBytes(Root / "screen.png"), 176, 208, true, ""},
        {"small GIF is not enlarged", ReadBytes(Root / "small.gif"), 50, 40, false, ""},
        {"no binary", "-", 0, 0, false,
         "? Cover picture Cover.JPG is left out: the book has no binary of that id"},
        {"empty binary", "", 0, 0, false,
         "? Cover picture Cover.JPG is left out: its binary is empty"},
        {"not a picture", "asdf\n", 0, 0, false,
         "? Cover picture Cover.JPG is left out: not a PNG, JPEG, GIF or BMP picture"},
        {"damaged JPEG", kJpegHead + "xyz", 0, 0, false,
         "? Cover picture Cover.JPG is left out: Can't convert picture file " +
             PicturePath("cover.jpg") + " -> " + PicturePath("splash.png") + ": "},
    };
    const std::string cover =
        R"(<coverpage><image l:type="simple" l:href="#Cover.JPG"/></coverpage>)";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(Pictures);
        fs::create_directories(Pictures);
        Config.SplashFileName = u"configured.png";
        const std::string binary =
            c.Binary == "-" ? "" : R"(<binary id="Cover.JPG">)" + Base64(c.Binary) + "</binary>";
        const auto told =
            ToldLines([&] { EXPECT_EQ(Import(Book("<p>x</p>", binary, cover)), "x\r\n"); });
        if (c.Width == 0) {
            EXPECT_EQ(Config.SplashFileName, u"");
            ASSERT_EQ(told.size(), 1u);
            EXPECT_EQ(told[0].substr(0, c.Told.size()), c.Told);
            continue;
        }
        EXPECT_EQ(told, std::vector<std::string>{});
        EXPECT_EQ(Config.SplashFileName, FromUtf8(PicturePath("splash.png")));
        const auto splash = paginor::testing::ReadBack(Pictures / "splash.png");
        EXPECT_EQ(splash.Format, "PNG");
        EXPECT_EQ(splash.Width, c.Width);
        EXPECT_EQ(splash.Height, c.Height);
        EXPECT_EQ(ReadBytes(Pictures / "splash.png") == c.Binary, c.Kept);
    }
}

// A picture in the text whose binary is missing, empty or not a picture is
// left out with one line naming it; the text around it stays.
TEST_F(Fb2Import, BrokenPicturesAreLeftOutWithALine) {
    const std::string binaries = R"(<binary id="empty.png"></binary>)"
                                 R"(<binary id="text.png">aGVsbG8=</binary>)"
                                 R"(<binary id="good.jpg">/9j/</binary>)";
    std::string text;
    const auto told = ToldLines([&] {
        text = Import(Book(R"(<p>a<image l:href="#gone.png"/>b<image l:href="#empty.png"/>c</p>)"
                           R"(<p><image l:href="#text.png"/><image l:href="#gone.png"/>d</p>)"
                           R"(<image l:href="#good.jpg"/>)",
                           binaries));
    });
    EXPECT_EQ(text, "abc\r\nd\r\n<#image " + PicturePath("good.jpg") + ">\r\n");
    EXPECT_EQ(told, (std::vector<std::string>{
                        "? Picture gone.png is left out: the book has no binary of that id",
                        "? Picture empty.png is left out: its binary is empty",
                        "? Picture text.png is left out: not a PNG, JPEG, GIF or BMP picture"}));
    EXPECT_EQ(FilesUnder(Pictures), std::vector<std::string>{"work/temp2/good.jpg"});
}

TEST_F(Fb2Import, PictureNamesStayInsideThePictureFolder) {
    const std::string text =
        Import(Book(R"(<image l:href="#../../x"/><image l:href="#/tmp/y"/><image l:href="#A.png"/>)"
                    R"(<image l:href="#a.png"/><image l:href="#A.png"/><image l:href="#.."/>)",
                    R"(<binary id="../../x">/9j/YQ==</binary><binary id="/tmp/y">/9j/Yg==</binary>)"
                    R"(<binary id="A.png">/9j/Yw==</binary><binary id="a.png">/9j/ZA==</binary>)"
                    R"(<binary id="..">/9j/ZQ==</binary>)"));
    EXPECT_EQ(text, "<#image " + PicturePath("_.__._x") + ">\r\n<#image " + PicturePath("_tmp_y") +
                        ">\r\n<#image " + PicturePath("a.png") + ">\r\n<#image " +
                        PicturePath("a-2.png") + ">\r\n<#image " + PicturePath("a.png") +
                        ">\r\n<#image " + PicturePath("_.") + ">\r\n");
    EXPECT_EQ(
        FilesUnder(Root),
        (std::vector<std::string>{"book.fb2", "work/temp2/_.", "work/temp2/_.__._x",
                                  "work/temp2/_tmp_y", "work/temp2/a-2.png", "work/temp2/a.png"}));
    EXPECT_EQ(ReadBytes(Pictures / "a-2.png"), kJpegHead + "d");
}

TEST(Fb2PictureName, ReplacesWhatCouldLeaveTheFolderOrBreakATag) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Cover.JPG", "cover.jpg"},
        {"..", "_."},
        {".", "_"},
        {"", "_"},
        {"a\\b/c", "a_b_c"},
        {"a\tb\x01 c", "a_b__c"},
        {"x<y>[z]", "x_y__z_"},
        {"\xD0\x9A\xD0\xBE\xD1\x82.png", "\xD0\xBA\xD0\xBE\xD1\x82.png"},
        {std::string(100, 'n') + ".png", std::string(76, 'n') + ".png"},
    };
    for (const auto& [id, name] : cases)
        EXPECT_EQ(SafePictureName(id), name) << id;
}

TEST_F(Fb2Import, HonoursTheDeclaredEncoding) {
    const std::string title = "\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0"; // Книга
    const std::string text = "\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82 \xD1\x91\xD0\x81";
    const auto book = [&](const std::string& encoding) {
        return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<FictionBook" + kNamespaces +
               "><description><title-info><book-title>" + title +
               "</book-title></title-info></description><body><p>" + text +
               "</p></body></FictionBook>";
    };
    const std::vector<std::pair<const char*, std::string>> files = {
        {"UTF-8", book("UTF-8")},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + book("utf-8")},
        {"windows-1251", EncodeText(book("windows-1251"), "WINDOWS-1251")},
        {"koi8-r", EncodeText(book("koi8-r"), "KOI8-R")},
        {"UTF-16 with mark", EncodeText(book("UTF-16"), "UTF-16")},
        {"UTF-16BE with mark", "\xFE\xFF" + EncodeText(book("UTF-16"), "UTF-16BE")},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        Config.BookInfo.clear();
        EXPECT_EQ(Import(bytes), text + "\r\n");
        EXPECT_EQ(Config.BookInfo, FromUtf8(title));
    }
}

TEST_F(Fb2Import, LogsEachStep) {
    SetLogThreshold(7);
    ::testing::internal::CaptureStdout();
    const std::string bytes =
        Book(R"(<image l:href="#p.png"/>)", R"(<binary id="p.png">/9j/YWJj</binary>)");
    Import(bytes);
    const std::string log = ::testing::internal::GetCapturedStdout();
    std::vector<std::string> messages;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        messages.push_back(line.substr(line.find("  ") + 2));
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  ".. Starting XML parser ",
                  ".. Opening file " + BookFile.string(),
                  "+ FB2 file opened, size " + std::to_string(bytes.size()),
                  ".. Decoding book header",
                  ".. Decoding book body",
                  "+ Loaded image [" + PicturePath("p.png") + "], size [6] bytes from FB2 file",
                  "+ FB2 file decoded",
              }));
}

struct BadCase {
    const char* Name;
    std::string File;
    std::string Message; // the error holds this
};

TEST_F(Fb2Import, RefusesBadFilesWithClearMessages) {
    // A file the book must never read: if its entity were loaded the import
    // would succeed or show its text.
    const fs::path secret = Root / "secret.dtd";
    std::ofstream(secret) << "<!ENTITY e \"SECRET\">";
    const std::string doctype = "<?xml version=\"1.0\"?>\n<!DOCTYPE FictionBook ";
    const std::string uses = "<FictionBook><description/><body><p>&e;</p></body></FictionBook>";
    std::string bomb = doctype + "[<!ENTITY a0 \"lollollollollol\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]>\n<FictionBook><description/><body><p>&a9;</p></body></FictionBook>";

    const std::vector<BadCase> cases = {
        {"empty file", "", "XML error in line 1: Document is empty"},
        {"not XML", "Just a text file.\n", "XML error in line 1: Start tag expected"},
        {"broken XML", "<FictionBook><description></FictionBook>",
         "XML error in line 1: Opening and ending tag mismatch"},
        {"bytes that are not UTF-8",
         "<FictionBook><description/><body><p>\x93x</p></body></FictionBook>",
         "XML error in line 1: Input is not proper UTF-8, indicate encoding ! Bytes: 0x93"},
        {"a byte windows-1251 does not define",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<FictionBook><description/><body>"
         "<p>a\x98</p></body></FictionBook>",
         "XML error in line 2: input conversion failed due to input error, bytes 0x98"},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-nothing\"?><FictionBook/>",
         "XML error in line 1: Unsupported encoding x-nothing"},
        {"other root", "<?xml version=\"1.0\"?>\n\n<book><description/></book>",
         "FB2 error in line 3: FB2 file does not contian FictionBook element"},
        {"prefixed root",
         "<fb:FictionBook xmlns:fb=\"http://www.gribuser.ru/xml/fictionbook/2.0\"/>",
         "FB2 error in line 1: FB2 file does not contian FictionBook element"},
        {"no description", "\n<FictionBook><body><p>x</p></body></FictionBook>",
         "FB2 error in line 2: FB2 file does not contian description element"},
        {"a header field holding a paragraph", Book("", "", "<book-title>A\n<p>b</p></book-title>"),
         "FB2 error in line 3: the element book-title holds the element p, which cannot be read "
         "as its text"},
        {"a date holding a picture", Book("", "", "<date>\n\n<image l:href=\"#p\"/></date>"),
         "FB2 error in line 4: the element date holds the element image"},
        {"a binary holding an element",
         Book(R"(<image l:href="#p"/>)", "\n<binary id=\"p\">YQ<b>==</b></binary>"),
         "FB2 error in line 3: the element binary holds the element b"},
        {"entity expansion bomb", bomb,
         "Detected an entity reference loop (entity expansion beyond the parser's limits)"},
        {"external entity", doctype + "[<!ENTITY e SYSTEM \"" + secret.string() + "\">]>\n" + uses,
         "XML error in line 3: the external entity &e is not read"},
        {"external parameter entity",
         doctype + "[<!ENTITY % p SYSTEM \"" + secret.string() + "\"> %p;]>\n" + uses,
         "XML error in line 2: the external entity %p is not read"},
        {"external DTD", doctype + "SYSTEM \"" + secret.string() + "\">\n" + uses,
         "XML error in line 3: Entity 'e' not defined"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string message = ImportError(c.File);
        EXPECT_NE(message.find(c.Message), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
        EXPECT_EQ(message.find("SECRET"), std::string::npos);
    }
    EXPECT_EQ(FilesUnder(Root), (std::vector<std::string>{"book.fb2", "secret.dtd"}));

    try {
        ImportFictionBook(Config, Config, FromPath(Root / "missing.fb2"), PictureDir);
        ADD_FAILURE() << "a missing file was imported";
    } catch (const TBookError& error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
}

TEST_F(Fb2Import, ImportsTheComplexSample) {
    const fs::path sample = fs::path(PAGINOR_SOURCE_DIR) / "../../shared/samples/fb2/complex.fb2";
    const fs::path shared = "/work/shared/samples/fb2/complex.fb2";
    const fs::path file = fs::exists(sample) ? sample : shared;
    if (!fs::exists(file)) GTEST_SKIP() << "complex.fb2 is not available";
    const std::string text = Import(ReadBytes(file));

    const std::string churchill =
        "\xD0\xA3\xD0\xB8\xD0\xBD\xD1\x81\xD1\x82\xD0\xBE\xD0\xBD "
        "\xD0\xA7\xD0\xB5\xD1\x80\xD1\x87\xD0\xB8\xD0\xBB\xD0\xBB\xD1\x8C";
    EXPECT_EQ(ToUtf8(Config.BookInfo).substr(0, 13),
              "\xD0\x92\xD1\x82\xD0\xBE\xD1\x80\xD0\xB0\xD1\x8F ");
    EXPECT_NE(ToUtf8(Config.BookInfo).find(", " + churchill + ", 1948-53"), std::string::npos);
    // Its cover binary holds "asdf": no picture, so no splash picture.
    EXPECT_EQ(Config.SplashFileName, u"");

    EXPECT_EQ(text.substr(0, text.find("<#/header>") + 10),
              "\r\n<#header 1>" + churchill + "<#/header>");
    EXPECT_NE(text.find("<#label ID-8>\r\n\r\n<#header 2><#/header>"), std::string::npos);
    EXPECT_NE(text.find("Content\r\n"), std::string::npos); // epigraph paragraph
    // the verse of the poem quoted in the epigraph
    EXPECT_NE(text.find("\xD0\x9F\xD0\xBB\xD0\xB0\xD1\x87\r\n"), std::string::npos);
    EXPECT_NE(text.find("* * *\r\n"), std::string::npos); // subtitle
    EXPECT_TRUE(text.ends_with("yep\r\n"));               // the notes body
    EXPECT_EQ(text.find("body.jpg"), std::string::npos);  // no such binary
    EXPECT_EQ(FilesUnder(Pictures).size(), 0u);
}

} // namespace
