// EPUB packages: container, package document, metadata, spine, contents from
// the navigation document or the NCX, and every way a book can be broken or
// protected.
#include "core/bObject.h"
#include "epub_fixture.h"
#include "formats/EpubPackage.h"

#include <gtest/gtest.h>

using namespace paginor;
using namespace paginor::testing;

namespace {

TEpubPackage PackageOf(const std::vector<TZipEntry>& entries, const TZipLimits& limits = {}) {
    return TEpubPackage(TZipArchive::FromBytes(EpubBytes(entries), "book.epub", limits));
}

std::string ErrorOf(const std::vector<TZipEntry>& entries, const TZipLimits& limits = {}) {
    try {
        PackageOf(entries, limits);
    } catch (const TBookError& error) {
        return error.what();
    }
    return "(no error)";
}

std::vector<std::string> SpineEntries(const TEpubPackage& package) {
    std::vector<std::string> entries;
    for (const TEpubItem* item : package.Spine())
        entries.push_back(item->Entry);
    return entries;
}

// "depth title -> document#fragment" per line of the contents.
std::vector<std::string> ContentsLines(const TEpubPackage& package) {
    std::vector<std::string> lines;
    for (const TEpubContentsEntry& entry : package.Contents())
        lines.push_back(std::to_string(entry.Depth) + " " + entry.Title + " -> " + entry.Document +
                        (entry.Fragment.empty() ? "" : "#" + entry.Fragment));
    return lines;
}

const std::string kPng = "\x89PNG\r\n\x1a\n";

// An EPUB 3 book: two authors and an illustrator refined by meta elements,
// the cover by its property, a spine in another order than the manifest,
// a non-linear notes page, names with escapes and folders.
std::vector<TZipEntry> Epub3Book() {
    const std::string metadata = R"(<dc:title id="t">  The   River
      Book </dc:title><dc:title>Second title</dc:title>
<dc:creator id="a1">Anna Berg</dc:creator><meta refines="#a1" property="role" scheme="marc:relators">aut</meta>
<dc:creator id="ill">Ivan Painter</dc:creator><meta refines="#ill" property="role" scheme="marc:relators">ill</meta>
<dc:creator>Olga Berg</dc:creator>)";
    const std::string manifest =
        EpubItem("nav", "nav.xhtml", "application/xhtml+xml", R"( properties="nav")") +
        EpubItem("notes", "text/notes.xhtml") + EpubItem("one", "text/chapter%20one.xhtml") +
        EpubItem("two", "text/two.xhtml") +
        EpubItem("cover", "images/cover.png", "image/png", R"( properties="cover-image")");
    const std::string spine =
        EpubItemRef("one") + EpubItemRef("two") + EpubItemRef("notes", R"( linear="no")");
    const std::string nav = EpubNavigation(
        R"(<li><a href="text/chapter%20one.xhtml">One: <span>the   start</span></a>
  <ol><li><a href="text/chapter%20one.xhtml#part2">Part <i>two</i></a></li></ol></li>
<li><span>Later</span><ol><li><a href="text/two.xhtml">Two</a></li></ol></li>
<li><a href="http://example.com/">Web</a></li><li><a href="text/two.xhtml"> </a></li>)");
    return {{"META-INF/container.xml", EpubContainer()},
            {"OEBPS/content.opf", EpubPackageDocument(metadata, manifest, spine)},
            {"OEBPS/nav.xhtml", nav},
            {"OEBPS/text/chapter one.xhtml", EpubPage("<p>One</p>")},
            {"OEBPS/text/two.xhtml", EpubPage("<p>Two</p>")},
            {"OEBPS/text/notes.xhtml", EpubPage("<p id=\"n1\">Note</p>")},
            {"OEBPS/images/cover.png", kPng}};
}

TEST(EpubPackage, ReadsAnEpub3Book) {
    TEpubPackage package = PackageOf(Epub3Book());
    EXPECT_EQ(package.PackageEntry(), "OEBPS/content.opf");
    EXPECT_EQ(package.Title(), "The River Book");
    EXPECT_EQ(package.Authors(), (std::vector<std::string>{"Anna Berg", "Olga Berg"}));
    ASSERT_NE(package.Cover(), nullptr);
    EXPECT_EQ(package.Cover()->Entry, "OEBPS/images/cover.png");
    EXPECT_EQ(package.Cover()->MediaType, "image/png");
    EXPECT_EQ(SpineEntries(package),
              (std::vector<std::string>{"OEBPS/text/chapter one.xhtml", "OEBPS/text/two.xhtml",
                                        "OEBPS/text/notes.xhtml"}));
    EXPECT_EQ(package.ContentsSource(), TEpubContentsSource::Navigation);
    EXPECT_EQ(package.ContentsEntry(), "OEBPS/nav.xhtml");
    // The landmarks nav is passed over; a heading without a link is no
    // entry, but its children keep their depth; links leaving the book and
    // entries without a title are left out.
    EXPECT_EQ(ContentsLines(package),
              (std::vector<std::string>{"1 One: the start -> OEBPS/text/chapter one.xhtml",
                                        "2 Part two -> OEBPS/text/chapter one.xhtml#part2",
                                        "2 Two -> OEBPS/text/two.xhtml"}));
    EXPECT_EQ(package.Read("OEBPS/images/cover.png"), kPng);
    EXPECT_EQ(package.ItemOf("OEBPS/text/two.xhtml")->Id, "two");
    EXPECT_EQ(package.ItemOf("OEBPS/missing.xhtml"), nullptr);
}

// An EPUB 2 book as older tools write it: prefixed package elements, roles
// as attributes, the cover named by a meta element, contents in the NCX the
// spine names.
std::vector<TZipEntry>
Epub2Book(const std::string& coverMeta = R"(<meta name="cover" content="cov"/>)") {
    const std::string opf = R"(<?xml version="1.0"?>
<opf:package xmlns:opf="http://www.idpf.org/2007/opf" version="2.0">
<opf:metadata xmlns:d="http://purl.org/dc/elements/1.1/">
<d:title>Old Book</d:title><d:creator opf:role="aut">Pyotr Ivanov</d:creator>
<d:creator opf:role="trl">Tom Translator</d:creator>)" +
                            coverMeta + R"(</opf:metadata>
<opf:manifest><opf:item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>
<opf:item id="c1" href="Text/c1.html" media-type="application/xhtml+xml"/>
<opf:item id="c2" href="Text/c2.html" media-type="application/xhtml+xml"/>
<opf:item id="cov" href="Images/cover.jpg" media-type="image/jpeg"/></opf:manifest>
<opf:spine toc="ncx"><opf:itemref idref="c1"/><opf:itemref idref="c2"/></opf:spine>
</opf:package>)";
    const std::string ncx = EpubNcx(
        EpubNavPoint("Chapter 1", "Text/c1.html", EpubNavPoint("Section 1.1", "Text/c1.html#s11")) +
        EpubNavPoint("Chapter 2", "Text/c2.html"));
    return {{"META-INF/container.xml", EpubContainer("content.opf")},
            {"content.opf", opf},
            {"toc.ncx", ncx},
            {"Text/c1.html", EpubPage("<p>One</p>")},
            {"Text/c2.html", EpubPage("<p>Two</p>")},
            {"Images/cover.jpg", "\xFF\xD8\xFF"}};
}

TEST(EpubPackage, ReadsAnEpub2BookWithItsNcx) {
    TEpubPackage package = PackageOf(Epub2Book());
    EXPECT_EQ(package.Title(), "Old Book");
    EXPECT_EQ(package.Authors(), std::vector<std::string>{"Pyotr Ivanov"});
    ASSERT_NE(package.Cover(), nullptr);
    EXPECT_EQ(package.Cover()->Entry, "Images/cover.jpg");
    EXPECT_EQ(SpineEntries(package), (std::vector<std::string>{"Text/c1.html", "Text/c2.html"}));
    EXPECT_EQ(package.ContentsSource(), TEpubContentsSource::Ncx);
    EXPECT_EQ(package.ContentsEntry(), "toc.ncx");
    EXPECT_EQ(ContentsLines(package), (std::vector<std::string>{"1 Chapter 1 -> Text/c1.html",
                                                                "2 Section 1.1 -> Text/c1.html#s11",
                                                                "1 Chapter 2 -> Text/c2.html"}));

    // Some tools name the cover by its file rather than its id; a cover that
    // names nothing is no cover.
    EXPECT_EQ(
        PackageOf(Epub2Book(R"(<meta name="cover" content="Images/cover.jpg"/>)")).Cover()->Entry,
        "Images/cover.jpg");
    EXPECT_EQ(PackageOf(Epub2Book(R"(<meta name="cover" content="nothing"/>)")).Cover(), nullptr);
    EXPECT_EQ(PackageOf(Epub2Book("")).Cover(), nullptr);
}

TEST(EpubPackage, FallsBackToTheNcxWhenTheNavigationCannotBeUsed) {
    struct Case {
        const char* Name;
        std::string Navigation;
        std::string Problem;
    };
    const Case cases[] = {
        {"no toc entries", EpubNavigation(""), "OEBPS/nav.xhtml lists no contents"},
        {"no nav at all", EpubPage("<p>Nothing</p>"), "OEBPS/nav.xhtml has no nav element"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TZipEntry> entries = Epub3Book();
        entries[2].Bytes = c.Navigation;
        // Without an NCX the book has no contents.
        TEpubPackage without = PackageOf(entries);
        EXPECT_EQ(without.ContentsSource(), TEpubContentsSource::None);
        EXPECT_TRUE(without.Contents().empty());
        EXPECT_EQ(without.ContentsProblem(), c.Problem);

        entries[1].Bytes = EpubPackageDocument(
            "<dc:title>T</dc:title>",
            EpubItem("nav", "nav.xhtml", "application/xhtml+xml", R"( properties="nav")") +
                EpubItem("one", "text/chapter%20one.xhtml") +
                EpubItem("ncx", "toc.ncx", "application/x-dtbncx+xml"),
            EpubItemRef("one"));
        entries.push_back(
            {"OEBPS/toc.ncx", EpubNcx(EpubNavPoint("From NCX", "text/chapter%20one.xhtml"))});
        TEpubPackage with = PackageOf(entries);
        EXPECT_EQ(with.ContentsSource(), TEpubContentsSource::Ncx);
        EXPECT_EQ(ContentsLines(with),
                  std::vector<std::string>{"1 From NCX -> OEBPS/text/chapter one.xhtml"});
    }
}

TEST(EpubPackage, ReadsANavigationDocumentThatIsNotWellFormed) {
    std::vector<TZipEntry> entries = Epub3Book();
    entries[2].Bytes = "<html><body><nav epub:type=\"toc\"><ol><li><a href=\"text/two.xhtml\">Two"
                       "&nbsp;<br>more</a><li><a href=\"#self\">Here</a></ol></nav>";
    TEpubPackage package = PackageOf(entries);
    EXPECT_EQ(ContentsLines(package),
              (std::vector<std::string>{"1 Two\xC2\xA0more -> OEBPS/text/two.xhtml",
                                        "1 Here -> OEBPS/nav.xhtml#self"}));
}

TEST(EpubPackage, BrokenBooksFailWithOneLine) {
    const std::string manifest = EpubItem("one", "one.xhtml");
    const std::string page = EpubPage("<p>One</p>");
    auto book = [&](const std::string& opf, std::vector<TZipEntry> more = {}) {
        std::vector<TZipEntry> entries = {{"META-INF/container.xml", EpubContainer()},
                                          {"OEBPS/content.opf", opf},
                                          {"OEBPS/one.xhtml", page}};
        entries.insert(entries.end(), more.begin(), more.end());
        return entries;
    };
    const std::string good = EpubPackageDocument("", manifest, EpubItemRef("one"));
    ASSERT_EQ(ErrorOf(book(good)), "(no error)");

    struct Case {
        const char* Name;
        std::vector<TZipEntry> Entries;
        std::string Expected;
    };
    const Case cases[] = {
        {"no container",
         {{"OEBPS/content.opf", good}},
         "book.epub is not an EPUB book: it has no META-INF/container.xml"},
        {"container not XML",
         {{"META-INF/container.xml", "<container>"}},
         "book.epub: META-INF/container.xml: XML error in line 1: Premature end of data in tag "
         "container line 1"},
        {"container without rootfile",
         {{"META-INF/container.xml", "<container><rootfiles/></container>"}},
         "book.epub: META-INF/container.xml names no package document"},
        {"missing package",
         {{"META-INF/container.xml", EpubContainer("OEBPS/book.opf")}},
         "book.epub: the package document OEBPS/book.opf that META-INF/container.xml names is "
         "missing"},
        {"package outside the book",
         {{"META-INF/container.xml", EpubContainer("../content.opf")}, {"../content.opf", good}},
         "book.epub: the package document ../content.opf lies outside the book"},
        {"package not a package", book("<html/>"),
         "book.epub: OEBPS/content.opf is not a package document (no package element)"},
        {"spine names an unknown item",
         book(EpubPackageDocument("", manifest, EpubItemRef("one") + EpubItemRef("two"))),
         "book.epub: the spine names the item \"two\", which the manifest does not list"},
        {"spine names a missing document",
         book(EpubPackageDocument("", manifest + EpubItem("two", "two.xhtml"),
                                  EpubItemRef("one") + EpubItemRef("two"))),
         "book.epub: the spine names the document OEBPS/two.xhtml, which the book does not hold"},
        {"spine names a document outside the book",
         book(EpubPackageDocument("", manifest + EpubItem("x", "../../x.xhtml"), EpubItemRef("x")),
              {{"../x.xhtml", page}}),
         "book.epub: the spine names ../../x.xhtml, which lies outside the book"},
        {"spine names an entry called ../x",
         book(
             EpubPackageDocument("", manifest + EpubItem("x", "a/../../x.xhtml"), EpubItemRef("x")),
             {{"../x.xhtml", page}}),
         "book.epub: the spine names the document x.xhtml, which the book does not hold"},
        {"empty spine", book(EpubPackageDocument("", manifest, "")),
         "book.epub: the spine lists no document"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ErrorOf(c.Entries), c.Expected);
    }
    EXPECT_EQ(ErrorOf({}, {}), "book.epub is not an EPUB book: it has no META-INF/container.xml");
    try {
        TZipArchive::FromBytes(page, "page.epub");
        ADD_FAILURE() << "a web page opened as an archive";
    } catch (const TBookError& error) {
        EXPECT_STREQ(error.what(), "page.epub is not a zip archive");
    }
    // A package document that inflates past the archive's limit is a bomb.
    const std::string bomb = EpubPackageDocument(
        "<dc:title>" + std::string(1 << 20, ' ') + "</dc:title>", manifest, EpubItemRef("one"));
    EXPECT_EQ(ErrorOf(book(bomb), {.MaxEntrySize = 1 << 20}),
              "The entry OEBPS/content.opf of book.epub is too large: it inflates to more than 1 "
              "MiB (a zip bomb?)");
}

// encryption.xml as an encrypting tool writes it.
std::string Encryption(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string xml = R"(<?xml version="1.0"?>
<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container"
 xmlns:enc="http://www.w3.org/2001/04/xmlenc#">)";
    for (const auto& [algorithm, uri] : entries)
        xml += "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"" + algorithm +
               "\"/><enc:CipherData><enc:CipherReference URI=\"" + uri +
               "\"/></enc:CipherData></enc:EncryptedData>";
    return xml + "</encryption>";
}

TEST(EpubPackage, ProtectedBooksAreRefusedButObfuscatedFontsAreNot) {
    const std::string aes = "http://www.w3.org/2001/04/xmlenc#aes128-cbc";
    const std::string protectedMessage =
        "The book book.epub is protected (DRM): its text is encrypted and cannot be read";
    struct Case {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Encrypted;
        std::string Expected;
    };
    const Case cases[] = {
        {"fonts obfuscated",
         {{"http://www.idpf.org/2008/embedding", "OEBPS/fonts/a.otf"},
          {"http://ns.adobe.com/pdf/enc#RC", "OEBPS/fonts/b.otf"}},
         "(no error)"},
        {"a picture encrypted", {{aes, "OEBPS/images/cover.png"}}, "(no error)"},
        {"a spine document encrypted",
         {{"http://www.idpf.org/2008/embedding", "OEBPS/fonts/a.otf"},
          {aes, "OEBPS/text/two.xhtml"}},
         protectedMessage},
        {"the reference written with escapes",
         {{aes, "OEBPS/text/chapter%20one.xhtml"}},
         protectedMessage},
        {"the navigation document encrypted", {{aes, "OEBPS/nav.xhtml"}}, protectedMessage},
        {"the package document encrypted", {{aes, "OEBPS/content.opf"}}, protectedMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TZipEntry> entries = Epub3Book();
        entries.push_back({"META-INF/encryption.xml", Encryption(c.Encrypted)});
        EXPECT_EQ(ErrorOf(entries), c.Expected);
    }
    // Reading an encrypted picture of an open book says the same.
    std::vector<TZipEntry> entries = Epub3Book();
    entries.push_back({"META-INF/encryption.xml", Encryption({{aes, "OEBPS/images/cover.png"}})});
    TEpubPackage package = PackageOf(entries);
    try {
        package.Read("OEBPS/images/cover.png");
        ADD_FAILURE() << "an encrypted entry was read";
    } catch (const TBookError& error) {
        EXPECT_EQ(error.what(), protectedMessage);
    }
}

} // namespace
