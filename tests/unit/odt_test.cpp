// Word importer on OpenDocument texts the tests assemble from XML parts:
// headings by outline level, lists with their markers, tables cell by cell,
// notes after the body, links and bookmarks, frames with pictures and text
// boxes, the table of contents; the details of meta.xml; and packages that
// are not OpenDocument texts.
#include "core/bObject.h"
#include "core/bVar.h"
#include "formats/OdtDocument.h"
#include "maker/bWord.h"
#include "test_files.h"
#include "text_support.h"
#include "word_support.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

using namespace paginor;
using namespace paginor::testing;

namespace {

const std::string kXml = R"(<?xml version="1.0" encoding="UTF-8"?>)";
const std::string kNamespaces =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
    R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
    R"( xmlns:xlink="http://www.w3.org/1999/xlink")"
    R"( xmlns:dc="http://purl.org/dc/elements/1.1/")"
    R"( xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0")";
const std::string kMimetype = "application/vnd.oasis.opendocument.text";

std::string Tp(const std::string& inner) {
    return "<text:p>" + inner + "</text:p>";
}
std::string Th(int level, const std::string& inner) {
    return "<text:h text:outline-level=\"" + std::to_string(level) + "\">" + inner + "</text:h>";
}

// An ODT package: the body of office:text, the automatic styles, and
// further entries (styles.xml, meta.xml, pictures).
std::string Odt(const std::string& body, const std::string& automaticStyles = "",
                const std::vector<TZipEntry>& more = {}, const std::string& mimetype = kMimetype) {
    std::vector<TZipEntry> entries = {
        {"mimetype", mimetype, true},
        {"content.xml", kXml + "<office:document-content" + kNamespaces +
                            "><office:automatic-styles>" + automaticStyles +
                            "</office:automatic-styles><office:body><office:text>" + body +
                            "</office:text></office:body></office:document-content>"},
    };
    entries.insert(entries.end(), more.begin(), more.end());
    return ZipBytes(entries);
}

const std::string kListStyles =
    "<text:list-style style:name=\"L1\">"
    "<text:list-level-style-bullet text:level=\"1\" text:bullet-char=\"-\"/>"
    "<text:list-level-style-number text:level=\"2\" style:num-format=\"a\" "
    "style:num-suffix=\")\"/></text:list-style>"
    "<text:list-style style:name=\"L2\"><text:list-level-style-number text:level=\"1\" "
    "style:num-format=\"1\" style:num-suffix=\".\"/>"
    "<text:list-level-style-number text:level=\"2\" style:num-format=\"1\" "
    "style:num-suffix=\".\" text:display-levels=\"2\"/></text:list-style>";

class OdtImport : public WordImport {
protected:
    std::string ImportOdt(const std::string& bytes) { return Import(bytes, "book.odt"); }
};

TEST_F(OdtImport, DocumentsBecomeTaggedText) {
    const struct {
        const char* Name;
        std::string Body;
        std::string Expected;
    } cases[] = {
        {"two headings make the table of contents; a list, a note after the body",
         Th(1, "One") +
             Tp("Text<text:note text:id=\"ftn1\" text:note-class=\"footnote\">"
                "<text:note-citation>1</text:note-citation><text:note-body>" +
                Tp("The note.") + "</text:note-body></text:note> goes on.") +
             "<text:list text:style-name=\"L1\"><text:list-item>" + Tp("first") +
             "<text:list><text:list-item>" + Tp("inner") + "</text:list-item><text:list-item>" +
             Tp("inner two") + "</text:list-item></text:list></text:list-item><text:list-item>" +
             Tp("second") + "</text:list-item></text:list>" + Th(2, "Two"),
         "<#tableofcontent>" + Heading(1, "One") +
             P("Text<#link label footnote-1>[1]<#/link> goes on.") + P("- first") + P("a) inner") +
             P("b) inner two") + P("- second") + Heading(2, "Two") +
             P("<#label footnote-1>[1] The note.")},
        {"numbers run on over levels; a list continues its style's numbering",
         "<text:list text:style-name=\"L2\"><text:list-item>" + Tp("a") +
             "<text:list><text:list-item>" + Tp("a.a") +
             "</text:list-item></text:list></text:list-item></text:list>" + Tp("between") +
             "<text:list text:style-name=\"L2\" text:continue-numbering=\"true\"><text:list-item>" +
             Tp("b") + "</text:list-item></text:list>" +
             "<text:list text:style-name=\"L2\"><text:list-item text:start-value=\"7\">" +
             Tp("seven") + "</text:list-item></text:list>",
         P("1. a") + P("1.1. a.a") + P("between") + P("2. b") + P("7. seven")},
        {"the document's own table of contents; headings matched by text",
         "<text:table-of-content><text:index-body><text:index-title>" + Tp("Contents") +
             "</text:index-title>" +
             Tp("<text:a xlink:href=\"#__RefHeading1\">Start<text:tab/>1"
                "</text:a>") +
             "</text:index-body></text:table-of-content>" + Tp("Preface") +
             Th(1, "<text:bookmark-start text:name=\"__RefHeading1\"/>Start"),
         P("Contents") + "<#tableofcontent>" + P("Preface") + Heading(1, "Start")},
        {"links, bookmarks, spaces, tabs, breaks; tables cell by cell; a section",
         Tp("See <text:a xlink:href=\"http://example.com/\">site</text:a>,<text:s text:c=\"3\"/>"
            "<text:a xlink:href=\"#mark\">there</text:a><text:tab/>x<text:line-break/>y"
            "<office:annotation><text:p>hidden remark</text:p></office:annotation>") +
             "<table:table><table:table-row><table:table-cell>" + Tp("A1") +
             "</table:table-cell><table:table-cell>" + Tp("B1") +
             "</table:table-cell></table:table-row><table:table-header-rows><table:table-row>"
             "<table:table-cell>" +
             Tp("A2") + "</table:table-cell></table:table-row></table:table-header-rows>" +
             "</table:table><text:section text:name=\"S\">" +
             Tp("<text:bookmark text:name=\"mark\"/>Marked <text:span>span</text:span>") +
             "</text:section><text:tracked-changes><text:changed-region><text:deletion>" +
             Tp("deleted") + "</text:deletion></text:changed-region></text:tracked-changes>",
         P("See <#link http example.com/>site<#/link>,   <#link label mark>there<#/link>\tx\r\ny") +
             P("A1") + P("B1") + P("A2") + P("<#label mark>Marked span")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImportOdt(Odt(c.Body, kListStyles)), c.Expected) << c.Name;
}

TEST_F(OdtImport, FramesGiveTheirPicturesAndTextBoxes) {
    const std::string png = ReadBytes(kCorpus / "small.png");
    const std::string body =
        Tp("Picture<draw:frame draw:name=\"f1\"><draw:image xlink:href=\"Pictures/a.svg\"/>"
           "<draw:image xlink:href=\"Pictures/a.png\"/><svg:title>noresize</svg:title>"
           "</draw:frame> and box<draw:frame><draw:text-box>" +
           Tp("In the box") + "</draw:text-box></draw:frame>") +
        Tp("<draw:frame><draw:image xlink:href=\"http://example.com/far.png\"/></draw:frame>");
    std::string text;
    const std::string log = CaptureLog([&] {
        text = ImportOdt(Odt(body, "", {{"Pictures/a.png", png}, {"Pictures/a.svg", "<svg/>"}}));
    });
    EXPECT_EQ(text, "Picture and box\r<#image [noresize]" + Picture("0.png") + ">\r\n" +
                        P("In the box") + P(""));
    EXPECT_NE(log.find("http://example.com/far.png"), std::string::npos) << log;
}

TEST_F(OdtImport, DetailsComeFromMeta) {
    auto meta = [](const std::string& inner) {
        return TZipEntry{"meta.xml", kXml + "<office:document-meta" + kNamespaces +
                                         "><office:meta>" + inner +
                                         "</office:meta></office:document-meta>"};
    };
    const struct {
        std::vector<TZipEntry> Entries;
        std::u16string Title, Author;
    } cases[] = {
        {{meta("<dc:title> The  Book </dc:title><dc:creator>Ann Lee</dc:creator>"
               "<meta:initial-creator>First</meta:initial-creator>")},
         u"The Book",
         u"Ann Lee"},
        {{meta("<meta:initial-creator>First Writer</meta:initial-creator>")}, u"", u"First Writer"},
        {{}, u"", u""},
    };
    for (const auto& c : cases) {
        TZipArchive package = TZipArchive::FromBytes(Odt(Tp("x"), "", c.Entries), "book.odt");
        const TWordDocument document = ReadOdtDocument(package);
        EXPECT_EQ(document.Details.Title, c.Title);
        EXPECT_EQ(document.Details.Author, c.Author);
    }
}

TEST_F(OdtImport, PackagesThatAreNoTextFail) {
    const struct {
        std::string Bytes;
        const char* Expected;
    } cases[] = {
        {Odt(Tp("x"), "", {}, "application/vnd.oasis.opendocument.spreadsheet"),
         "book.odt is not an OpenDocument text: its type is "
         "application/vnd.oasis.opendocument.spreadsheet"},
        {ZipBytes({{"mimetype", kMimetype, true}}),
         "book.odt is not an OpenDocument text: it has no content.xml"},
        {ZipBytes({{"content.xml", kXml + "<office:document-content" + kNamespaces + "/>"}}),
         "book.odt is not an OpenDocument text: content.xml has no office:text"},
        {ZipBytes({{"content.xml", kXml + "<office:document-content" + kNamespaces + ">"}}),
         "book.odt, content.xml: XML error"},
    };
    for (const auto& c : cases) {
        const std::string error = ImportError(c.Bytes, "book.odt");
        EXPECT_NE(error.find(c.Expected), std::string::npos) << error;
    }
}

} // namespace
