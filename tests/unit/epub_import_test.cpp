// EPUB import: the spine's documents in reading order become one tagged text,
// with headers from the book's table of contents, label links between its
// documents, pictures from the package only, and the book's details and
// cover.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "epub_fixture.h"
#include "maker/bEpub.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

using namespace paginor;
using namespace paginor::testing;
namespace fs = std::filesystem;

namespace {

// A 2x2 PNG: it fits every screen, so it is kept byte for byte.
const std::string kSmallPng(
    "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x02\0\0\0\x02\x08\x02\0\0\0\xfd\xd4\x9as\0\0\0\x10IDATx"
    "\x9c\x63\x38!'\x07\x44\x0c\x10\n\0\x1f&\x04\x11\xa2\x8f\"\xaf\0\0\0\0IEND\xae\x42`\x82",
    73);

struct TImport {
    std::string Text, Log;
    TBookConfig Config;
};

class EpubImport : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Dir / "temp2");
        PictureDir = Dir / "temp2";
    }
    void TearDown() override { SetLogThreshold(0); }

    TImport Import(const std::vector<TZipEntry>& entries) {
        WriteBytes(Dir / "book.epub", EpubBytes(entries));
        TImport result;
        result.Config.BookInfo = u"Configured details";
        result.Config.SplashFileName = u"configured.png";
        std::stringstream captured;
        std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
        SetLogThreshold(7);
        try {
            result.Text = ToUtf8(ImportEpubBook(result.Config, result.Config,
                                                FromPath(Dir / "book.epub"), FromPath(PictureDir)));
        } catch (...) {
            std::cout.rdbuf(old);
            throw;
        }
        std::cout.rdbuf(old);
        result.Log = captured.str();
        return result;
    }

    TTempDir Dir;
    fs::path PictureDir;
};

// Checks that the pieces stand in the text in this order.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const std::string& piece : pieces) {
        const size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos)
            << "missing after position " << at << ": " << piece << "\nin:\n"
            << text;
        at = found + piece.size();
    }
}

// An EPUB 3 book: a title page, the navigation document in the spine, two
// chapters, a notes page kept out of the flow and an SVG drawing as a spine
// item of its own.
std::vector<TZipEntry> Epub3Book() {
    const std::string metadata =
        R"(<dc:title>River Book</dc:title><dc:creator id="a">Anna Berg</dc:creator>
<meta refines="#a" property="role">aut</meta><dc:creator>Olga Berg</dc:creator>)";
    const std::string manifest =
        EpubItem("title", "text/title.xhtml") +
        EpubItem("nav", "nav.xhtml", "application/xhtml+xml", R"( properties="nav")") +
        EpubItem("one", "text/one.xhtml") + EpubItem("two", "text/two.xhtml") +
        EpubItem("notes", "text/notes.xhtml") +
        EpubItem("diagram", "images/diagram.svg", "image/svg+xml") +
        EpubItem("drawing", "images/drawing.svg", "image/svg+xml") +
        EpubItem("pic", "images/pic.png", "image/png") +
        EpubItem("cover", "images/cover.png", "image/png", R"( properties="cover-image")") +
        EpubItem("css", "css/style.css", "text/css");
    const std::string spine = EpubItemRef("title") + EpubItemRef("nav") + EpubItemRef("one") +
                              EpubItemRef("diagram") + EpubItemRef("two") +
                              EpubItemRef("notes", R"( linear="no")");
    const std::string one = EpubPage(
        R"(<section><hgroup><h2>I</h2><p>The Start</p></hgroup>
<p>First paragraph<a href="notes.xhtml#n1" id="r1">[1]</a> of the book.</p>
<p><img src="../images/pic.png" alt="A picture of the river"/></p>
<h3 id="sec2">Second part</h3>
<p>Text of the second part. <a href="#sec2">Here</a>, <a href="two.xhtml">next</a>,
<a href="http://example.com/x">web</a>, <a href="../css/style.css">style</a>.</p>
<p><img src="../images/drawing.svg" alt="drawing"/></p>
<p><img src="../../../outside.png" alt="outside"/></p>
<p><img src="../images/missing.png" alt="missing"/></p></section>)");
    const std::string nav = EpubNavigation(R"(<li><a href="text/one.xhtml">I: The Start</a><ol>
<li><a href="text/one.xhtml#sec2">Second part</a></li></ol></li>
<li><a href="text/two.xhtml">2. Another Title</a></li>
<li><a href="text/two.xhtml#nowhere">Lost anchor</a></li>
<li><a href="text/gone.xhtml">Not in the book</a></li>)");
    return {{"META-INF/container.xml", EpubContainer()},
            {"OEBPS/content.opf", EpubPackageDocument(metadata, manifest, spine)},
            {"OEBPS/nav.xhtml", nav},
            {"OEBPS/text/title.xhtml", EpubPage("<h1>River Book</h1><p>By Anna Berg</p>")},
            {"OEBPS/text/one.xhtml", one},
            {"OEBPS/text/two.xhtml", EpubPage("<h2>Chapter Two</h2><p>Second chapter.</p>")},
            {"OEBPS/text/notes.xhtml",
             EpubPage(R"(<p id="n1">1. The note. <a href="one.xhtml#r1">Back</a></p>)")},
            {"OEBPS/images/diagram.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"},
            {"OEBPS/images/drawing.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"},
            {"OEBPS/images/pic.png", kSmallPng},
            {"OEBPS/images/cover.png", kSmallPng},
            {"OEBPS/css/style.css", "p { margin: 0 }"},
            {"outside.png", kSmallPng}};
}

TEST_F(EpubImport, WalksTheSpineWithContentsLinksAndPictures) {
    const TImport book = Import(Epub3Book());
    const std::string picture = (PictureDir / "0.png").string();
    ExpectInOrder(
        book.Text,
        {// The title page, then the table of contents where the navigation
         // document stood.
         "River Book\r", "By Anna Berg\r", "<#tableofcontent>",
         // The entry's title stands for the heading that spelled it in two
         // lines.
         "<#header toc1>I: The Start\r<#/header>",
         // The note link leads into another document; its target's label
         // stands at the start of the paragraph that holds it.
         "<#label OEBPS/text/one.xhtml#r1>First paragraph<#link label "
         "OEBPS/text/notes.xhtml#n1>[1]<#/link> of the book.",
         "<#image " + picture + ">",
         // An entry into the middle of a document: the heading there gives
         // way to it and its anchor moves along.
         "<#label OEBPS/text/one.xhtml#sec2><#header toc2>Second part\r<#/header>",
         "Text of the second part. <#link label OEBPS/text/one.xhtml#sec2>Here<#/link>, "
         "<#link label OEBPS/text/two.xhtml>next<#/link>, <#link http example.com/x>web<#/link>, "
         "style.",
         // A heading that says something else stays under the entry's title;
         // an entry whose anchor is missing leads to its document's start.
         "<#header toc3>2. Another Title\r<#/header>", "<#header toc4>Lost anchor\r<#/header>",
         "<#label OEBPS/text/two.xhtml>Chapter Two\r", "Second chapter.",
         "<#label OEBPS/text/notes.xhtml#n1>1. The note. <#link label "
         "OEBPS/text/one.xhtml#r1>Back<#/link>"});
    for (const char* gone : {"I\r\nThe Start", "\r\nSecond part\r\n", "Not in the book",
                             "Contents\r", "<#header toc5"})
        EXPECT_EQ(book.Text.find(gone), std::string::npos) << gone;
    EXPECT_EQ(ReadBytes(picture), kSmallPng);
    EXPECT_FALSE(fs::exists(PictureDir / "1.png"));

    for (const char* line :
         {"+ Table of contents from OEBPS/nav.xhtml, 5 entries",
          "? Document OEBPS/images/diagram.svg (image/svg+xml) is not a web page and is left out",
          "? Picture OEBPS/images/drawing.svg is an SVG drawing, which phones cannot show; left "
          "out",
          "? Picture ../../../outside.png of OEBPS/text/one.xhtml is not in the book; left out",
          "? Picture OEBPS/images/missing.png is missing from the book; left out",
          "? Contents entry \"Not in the book\" leads to OEBPS/text/gone.xhtml, which is not in "
          "the "
          "book's text; left out",
          "+ Book details: River Book, Anna Berg, Olga Berg", "+ EPUB book decoded"})
        EXPECT_NE(book.Log.find(line), std::string::npos) << line << "\n" << book.Log;
    // Each left-out picture is told once, by the line above.
    for (const char* told : {"is not available", "Can't find any image"})
        EXPECT_EQ(book.Log.find(told), std::string::npos) << told << "\n" << book.Log;

    EXPECT_EQ(book.Config.BookInfo, u"River Book, Anna Berg, Olga Berg");
    EXPECT_EQ(book.Config.SplashFileName, FromPath(PictureDir / "splash.png"));
    EXPECT_EQ(ReadBytes(PictureDir / "splash.png"), kSmallPng);
}

// An EPUB 2 book: the NCX gives the contents, the guide's contents page gives
// way to them, and the cover is named by a meta element.
std::vector<TZipEntry> Epub2Book(const std::string& cover) {
    const std::string opf = R"(<?xml version="1.0"?>
<package xmlns="http://www.idpf.org/2007/opf" version="2.0"><metadata
 xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:opf="http://www.idpf.org/2007/opf">
<dc:title>Old Book</dc:title><dc:creator opf:role="aut">Pyotr Ivanov</dc:creator>
<meta name="cover" content="cov"/></metadata>
<manifest><item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>
<item id="toc" href="contents.html" media-type="application/xhtml+xml"/>
<item id="c1" href="c1.html" media-type="application/xhtml+xml"/>
<item id="c2" href="c2.html" media-type="application/xhtml+xml"/>
<item id="cov" href="cover.svg" media-type="image/svg+xml"/></manifest>
<spine toc="ncx"><itemref idref="toc"/><itemref idref="c1"/><itemref idref="c2"/></spine>
<guide><reference type="toc" title="Contents" href="contents.html"/></guide></package>)";
    return {
        {"META-INF/container.xml", EpubContainer("content.opf")},
        {"content.opf", opf},
        {"toc.ncx", EpubNcx(EpubNavPoint("Chapter 1", "c1.html") +
                            EpubNavPoint("Chapter 2", "c2.html#start"))},
        {"contents.html", EpubPage(R"(<h1>Contents</h1><p><a href="c1.html">Chapter 1</a></p>)")},
        {"c1.html", EpubPage("<h1>Chapter 1</h1><p>One &amp; only.</p>")},
        {"c2.html", "<html><body><p>Before.</p><h1 id=start>Chapter&nbsp;2</h1><p>Two<br>lines"},
        {"cover.svg", cover}};
}

TEST_F(EpubImport, TakesTheNcxOfAnEpub2Book) {
    const TImport book = Import(Epub2Book("<svg/>"));
    ExpectInOrder(book.Text, {"<#tableofcontent><#header toc1>Chapter 1\r<#/header>", "One & only.",
                              "Before.\r", "<#header toc2>Chapter 2\r<#/header>", "Two\r\nlines"});
    EXPECT_EQ(book.Text.find("Contents"), std::string::npos);
    EXPECT_NE(book.Log.find("+ Table of contents from toc.ncx, 2 entries"), std::string::npos);
    EXPECT_NE(book.Log.find("? Cover picture cover.svg is an SVG drawing, which phones cannot "
                            "show; no splash picture from the book"),
              std::string::npos);
    // A cover that phones cannot show leaves the configured splash picture.
    EXPECT_EQ(book.Config.BookInfo, u"Old Book, Pyotr Ivanov");
    EXPECT_EQ(book.Config.SplashFileName, u"configured.png");
}

TEST_F(EpubImport, ABookWithoutContentsTakesItsHeadings) {
    const std::string opf =
        EpubPackageDocument("", EpubItem("a", "a.xhtml") + EpubItem("b", "b.xhtml"),
                            EpubItemRef("a") + EpubItemRef("b"));
    const TImport book =
        Import({{"META-INF/container.xml", EpubContainer()},
                {"OEBPS/content.opf", opf},
                {"OEBPS/a.xhtml", EpubPage("<h1>Part A</h1><p>Text a.</p><h4>Small</h4>")},
                {"OEBPS/b.xhtml", EpubPage("<h2>Part B</h2><p>Text b.</p>")}});
    ExpectInOrder(book.Text, {"<#tableofcontent><#header toc1>Part A\r<#/header>", "Text a.",
                              "Small\r", "<#header toc2>Part B\r<#/header>", "Text b."});
    EXPECT_NE(book.Log.find("? The book has no table of contents"), std::string::npos);
    EXPECT_NE(book.Log.find("+ The book's headings make its table of contents"), std::string::npos);
    // Without a title or an author the configured details stay.
    EXPECT_EQ(book.Config.BookInfo, u"Configured details");
}

TEST_F(EpubImport, PicturesNeverComeFromOutsideThePackage) {
    std::vector<TZipEntry> entries = Epub3Book();
    // A page names pictures by an absolute path and by a file URL.
    entries[4].Bytes =
        EpubPage(R"(<p><img src="/etc/passwd"/></p><p><img src="file:///etc/passwd"/></p>)");
    const TImport book = Import(entries);
    EXPECT_EQ(book.Text.find("<#image"), std::string::npos);
    EXPECT_NE(book.Log.find("? Picture etc/passwd is missing from the book; left out"),
              std::string::npos);
    EXPECT_NE(book.Log.find("? Picture file:///etc/passwd of OEBPS/text/one.xhtml is not in the "
                            "book; left out"),
              std::string::npos);
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(Dir.Path))
        written.push_back(fs::relative(entry.path(), Dir.Path).string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"book.epub", "temp2", "temp2/splash.png"}));
}

} // namespace
