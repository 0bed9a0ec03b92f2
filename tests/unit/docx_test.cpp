// Word importer on DOCX packages the tests assemble from XML parts: body
// order, tables, the table-of-contents field and content control, headings,
// hyperlinks through relationships and bookmarks, drawings, notes; and
// packages that are not what they claim.
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bWord.h"
#include "test_files.h"
#include "text_support.h"
#include "word_support.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace paginor;
using namespace paginor::testing;

namespace {

const std::string kNamespaces =
    R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing")"
    R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
    R"( xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture")"
    R"( xmlns:v="urn:schemas-microsoft-com:vml")";
const std::string kXml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const std::string kRelationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string R(const std::string& text) {
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}
std::string Para(const std::string& runs, const std::string& properties = "") {
    return "<w:p>" + (properties.empty() ? "" : "<w:pPr>" + properties + "</w:pPr>") + runs +
           "</w:p>";
}
std::string Styled(const std::string& style, const std::string& text) {
    return Para(R(text), "<w:pStyle w:val=\"" + style + "\"/>");
}
std::string FieldBegin(const std::string& instruction) {
    return "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space="
           "\"preserve\">" +
           instruction + "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>";
}
const std::string kFieldEnd = "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";

std::string Drawing(const std::string& relationship, const std::string& description,
                    const char* placement = "inline") {
    return "<w:r><w:drawing><wp:" + std::string(placement) + "><wp:docPr id=\"1\" name=\"P\"" +
           (description.empty() ? "" : " descr=\"" + description + "\"") +
           "/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"" + relationship +
           "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:" + placement +
           "></w:drawing></w:r>";
}

struct TPart {
    std::string Name;
    std::string Bytes;
};

// A DOCX package: the body, the document's relationships (id -> type,
// target, external) and further parts.
std::string
Docx(const std::string& body,
     const std::vector<std::tuple<std::string, std::string, std::string, bool>>& relationships = {},
     const std::vector<TPart>& parts = {}) {
    std::string rels = kXml + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                              "2006/relationships\">";
    for (const auto& [id, type, target, external] : relationships)
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + kRelationshipType + type +
                "\" Target=\"" + target + "\"" + (external ? " TargetMode=\"External\"" : "") +
                "/>";
    rels += "</Relationships>";
    std::vector<TZipEntry> entries = {
        {"[Content_Types].xml",
         kXml + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels", kXml +
                            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                            "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                            kRelationshipType +
                            "officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml", kXml + "<w:document" + kNamespaces + "><w:body>" + body +
                                  "<w:sectPr/></w:body></w:document>"},
        {"word/_rels/document.xml.rels", rels},
    };
    for (const TPart& part : parts)
        entries.push_back({part.Name, part.Bytes});
    return ZipBytes(entries);
}

const std::string kStyles =
    kXml + "<w:styles" + kNamespaces +
    "><w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Chapter\"><w:name w:val=\"Chapter\"/>"
    "<w:basedOn w:val=\"Heading1\"/></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Titel2\"><w:name w:val=\"Titel 2\"/>"
    "<w:pPr><w:outlineLvl w:val=\"1\"/></w:pPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading4\"><w:name w:val=\"heading 4\"/></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn w:val=\"Loop\"/></w:style>"
    "</w:styles>";

class DocxImport : public WordImport {
protected:
    std::string ImportDocx(const std::string& bytes) { return Import(bytes, "book.docx"); }
};

TEST_F(DocxImport, DocumentsBecomeTaggedText) {
    const std::vector<std::tuple<std::string, std::string, std::string, bool>> relationships = {
        {"rIdStyles", "styles", "styles.xml", false},
        {"rIdWeb", "hyperlink", "http://example.com/a", true},
        {"rIdSafe", "hyperlink", "https://secure.example/x", true},
    };
    const std::vector<TPart> parts = {{"word/styles.xml", kStyles}};
    const std::string tocEntry1 = FieldBegin(" HYPERLINK \\l \"_Toc1\" ") + R("Chapter One") +
                                  "<w:r><w:tab/></w:r>" + FieldBegin(" PAGEREF _Toc1 \\h ") +
                                  R("3") + kFieldEnd + kFieldEnd;
    const struct {
        const char* Name;
        std::string Body;
        std::string Expected;
    } cases[] = {
        {"a table-of-contents field: headings matched in order, its paragraphs dropped",
         Styled("TOCHeading", "Contents") +
             Para(FieldBegin(" TOC \\o \"1-3\" \\h \\z \\u ") + tocEntry1) +
             Para(R("Chapter Two\t5")) + Para(kFieldEnd) + Para(R("Preface")) +
             Para("<w:bookmarkStart w:id=\"0\" w:name=\"_Toc1\"/>" + R("Chapter One") +
                  "<w:bookmarkEnd w:id=\"0\"/>") +
             Para(R("Chapter Three")) + Para(R("Chapter Two")) + Para(R("Chapter One")),
         P("Contents") + "<#tableofcontent>" + P("") + P("Preface") + Heading(1, "Chapter One") +
             P("Chapter Three") + Heading(2, "Chapter Two") + P("Chapter One")},
        {"a table-of-contents content control without a field",
         "<w:sdt><w:sdtPr><w:docPartObj><w:docPartGallery w:val=\"Table of Contents\"/>"
         "</w:docPartObj></w:sdtPr><w:sdtContent>" +
             Para(R("Start 1")) + Para(R("End 2")) + "</w:sdtContent></w:sdt>" + Para(R("End")) +
             Para(R("Start")),
         "<#tableofcontent>" + P("End") + Heading(1, "Start") + ""},
        {"heading styles and outline levels make a table of contents",
         Para(R("Intro")) + Styled("Heading1", "One") + Styled("Chapter", "Two") +
             Styled("Titel2", "Three") + Styled("Heading4", "Minor") + Styled("Loop", "Loop") +
             Para(R("Four"), "<w:outlineLvl w:val=\"2\"/>") +
             Para(R("Body"), "<w:pStyle w:val=\"Heading1\"/><w:outlineLvl w:val=\"9\"/>"),
         "<#tableofcontent>" + P("Intro") + Heading(1, "One") + Heading(2, "Two") +
             Heading(3, "Three") + P("Minor") + P("Loop") + Heading(4, "Four") + P("Body")},
        {"hyperlinks through relationships, bookmarks and fields; two in one paragraph",
         Para(R("See ") + "<w:hyperlink r:id=\"rIdWeb\">" + R("site") + "</w:hyperlink>" +
              R(" and ") + "<w:hyperlink r:id=\"rIdSafe\">" + R("safe") + "</w:hyperlink>" +
              R(", ") + "<w:hyperlink w:anchor=\"Note\">" + R("note") + "</w:hyperlink>" + R(", ") +
              FieldBegin(" HYPERLINK \"http://field.example/\" \\o \"tip\" ") + R("field") +
              kFieldEnd + R(", ") + FieldBegin(" HYPERLINK \\l \"Note\" ") + R("again") +
              kFieldEnd + R(", ") + "<w:hyperlink w:anchor=\"Missing\">" + R("lost") +
              "</w:hyperlink>") +
             Para("<w:bookmarkStart w:id=\"1\" w:name=\"Note\"/>" + R("The note.")),
         P("See <#link http example.com/a>site<#/link> and <#link http "
           "https://secure.example/x>safe<#/link>, <#link label Note>note<#/link>, <#link http "
           "field.example/>field<#/link>, <#link label Note>again<#/link>, lost") +
             P("<#label Note>The note.")},
        {"a link running past its paragraph stays text",
         Para(R("a ") + FieldBegin(" HYPERLINK \"http://x.example/\" ") + R("one")) +
             Para(R("two") + kFieldEnd),
         P("a one") + P("two")},
        {"tables cell by cell; hidden, deleted and instruction text never shows",
         Para(R("Above")) + "<w:tbl><w:tr><w:tc>" + Para(R("A1")) + "</w:tc><w:tc>" +
             Para(R("B1")) + "<w:tbl><w:tr><w:tc>" + Para(R("inner")) +
             "</w:tc></w:tr></w:tbl></w:tc></w:tr>"
             "<w:tr><w:tc>" +
             Para(R("A2")) + "</w:tc></w:tr></w:tbl>" +
             Para(R("x") + "<w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r>" +
                  "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del>" +
                  "<w:ins><w:r><w:t>new</w:t></w:r></w:ins>" +
                  "<w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c&lt;d&gt;</w:t></w:r>" +
                  FieldBegin(" PAGE ") + R("7") + kFieldEnd),
         P("Above") + P("A1") + P("B1") + P("inner") + P("A2") + P("xnewa\tb\r\nc\u2039d\u203A7")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImportDocx(Docx(c.Body, relationships, parts)), c.Expected) << c.Name;
}

// Every picture of a paragraph, in order; what cannot be had (a linked
// picture, a metafile, a part that is no picture) is left out with a line.
TEST_F(DocxImport, DrawingsAreThePicturesOfTheirParagraphs) {
    const std::string png = ReadBytes(kCorpus / "small.png");
    const std::string gif = ReadBytes(kCorpus / "small.gif");
    const std::string jpeg = ReadBytes(kCorpus / "small.jpeg");
    // An EMF record header: type 1, the " EMF" signature at byte 40.
    std::string emf(88, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    const std::string body =
        Para(R("Inline") + Drawing("rIdPng", "A red square")) +
        Para(Drawing("rIdGif", "-resize 5x5", "anchor") + Drawing("rIdPng", "")) +
        Para("<w:r><w:pict><v:shape alt=\"noresize\"><v:imagedata r:id=\"rIdPng\"/></v:shape>"
             "</w:pict></w:r>") +
        Para(Drawing("rIdLinked", "") + Drawing("rIdPng", "")) + Para(Drawing("rIdText", "")) +
        Para(Drawing("rIdEmf", "") + Drawing("rIdJpeg", ""));
    const std::string docx = Docx(body,
                                  {{"rIdPng", "image", "media/image1.png", false},
                                   {"rIdGif", "image", "/word/media/image2.gif", false},
                                   {"rIdLinked", "image", "file:///C:/pictures/linked.png", true},
                                   {"rIdText", "image", "media/notes.png", false},
                                   {"rIdEmf", "image", "media/image3.emf", false},
                                   {"rIdJpeg", "image", "media/image4.jpeg", false}},
                                  {{"word/media/image1.png", png},
                                   {"word/media/image2.gif", gif},
                                   {"word/media/notes.png", "not a picture"},
                                   {"word/media/image3.emf", emf},
                                   {"word/media/image4.jpeg", jpeg}});
    std::string text;
    const std::string log = CaptureLog([&] { text = ImportDocx(docx); });
    EXPECT_EQ(text, "Inline\r<#image " + Picture("0.png") + ">\r\n\r<#image [-resize 5x5]" +
                        Picture("1.png") + "><#image " + Picture("2.png") +
                        ">\r\n\r<#image [noresize]" + Picture("3.png") + ">\r\n\r<#image " +
                        Picture("4.png") + ">\r\n" + P("") + "\r<#image " + Picture("5.jpg") +
                        ">\r\n");
    EXPECT_EQ(ReadBytes(Picture("0.png")), png);
    EXPECT_TRUE(ReadBytes(Picture("1.png")).starts_with("\x89PNG"));
    EXPECT_EQ(ReadBytes(Picture("5.jpg")), jpeg);
    EXPECT_EQ(PictureFiles(),
              (std::vector<std::string>{"0.png", "1.png", "2.png", "3.png", "4.png", "5.jpg"}));
    for (const char* line :
         {"? Picture file:///C:/pictures/linked.png can't be found: left out",
          "? Picture word/media/notes.png can't be read (not a PNG, JPEG, GIF or BMP picture): "
          "left out",
          "? Picture word/media/image3.emf is a Windows metafile (EMF), which Paginor can't "
          "convert: left out",
          "+ MS Word file loaded, total paragpahs 6, pictures 6"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// List paragraphs: numbers and bullets come from the numbering part, as Word
// draws them; levels below a numbered item start again, an instance may
// override its start, a style may carry the list, numId 0 switches it off.
TEST_F(DocxImport, ListParagraphsBeginWithTheirBulletOrNumber) {
    const auto level = [](int index, const std::string& format, const std::string& text,
                          int start = 1) {
        return "<w:lvl w:ilvl=\"" + std::to_string(index) + "\"><w:start w:val=\"" +
               std::to_string(start) + "\"/><w:numFmt w:val=\"" + format +
               "\"/><w:lvlText w:val=\"" + text + "\"/></w:lvl>";
    };
    const std::string numbering =
        kXml + "<w:numbering" + kNamespaces + "><w:abstractNum w:abstractNumId=\"10\">" +
        level(0, "decimal", "%1.") + level(1, "lowerLetter", "%1.%2)") +
        level(2, "upperRoman", "(%3)", 3) +
        "</w:abstractNum><w:abstractNum w:abstractNumId=\"11\">" +
        level(0, "bullet", "\xEF\x82\xB7") + level(1, "none", "") +
        "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"10\"/></w:num>"
        "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"11\"/></w:num>"
        "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"10\"/><w:lvlOverride w:ilvl=\"0\">"
        "<w:startOverride w:val=\"5\"/></w:lvlOverride></w:num>"
        "<w:num w:numId=\"4\"><w:abstractNumId w:val=\"10\"/><w:lvlOverride w:ilvl=\"0\">"
        "<w:startOverride w:val=\"99999999999999999999\"/></w:lvlOverride></w:num></w:numbering>";
    const std::string styles =
        kXml + "<w:styles" + kNamespaces +
        "><w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/>"
        "<w:pPr><w:numPr><w:numId w:val=\"1\"/></w:numPr></w:pPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Steps\"><w:name w:val=\"Steps\"/>"
        "<w:pPr><w:numPr><w:numId w:val=\"1\"/></w:numPr></w:pPr></w:style></w:styles>";
    const auto item = [](const std::string& text, int id, int index) {
        return Para(R(text), "<w:numPr><w:ilvl w:val=\"" + std::to_string(index) +
                                 "\"/><w:numId w:val=\"" + std::to_string(id) + "\"/></w:numPr>");
    };
    const std::string body =
        item("One", 1, 0) + item("sub", 1, 1) + item("deeper", 1, 2) + item("sub two", 1, 1) +
        item("Two", 1, 0) + item("again", 1, 1) + item("dot", 2, 0) + item("unmarked", 2, 1) +
        item("five", 3, 0) + Styled("Steps", "styled") + Styled("Heading1", "Title") +
        Para(R("plain"), "<w:pStyle w:val=\"Steps\"/><w:numPr><w:numId w:val=\"0\"/></w:numPr>") +
        item("unknown list", 9, 0) + item("huge start", 4, 0) + item("counts on", 4, 0);
    const std::string docx = Docx(body,
                                  {{"rIdStyles", "styles", "styles.xml", false},
                                   {"rIdNumbering", "numbering", "numbering.xml", false}},
                                  {{"word/styles.xml", styles}, {"word/numbering.xml", numbering}});
    EXPECT_EQ(ImportDocx(docx),
              "<#tableofcontent>" + P("1. One") + P("1.a) sub") + P("(III) deeper") +
                  P("1.b) sub two") + P("2. Two") + P("2.a) again") + P("\u2022 dot") +
                  P("unmarked") + P("5. five") + P("3. styled") + Heading(1, "Title") + P("plain") +
                  P("unknown list") + P("1. huge start") + P("2. counts on"));
}

// Text boxes (a drawing's, with Word's VML copy for older readers, and a VML
// shape's) are read once, after the paragraph that anchors them; a picture
// in a box is the box paragraph's.
TEST_F(DocxImport, TextBoxesFollowTheirParagraph) {
    const auto box = [](const std::string& content) {
        return "<w:txbxContent>" + content + "</w:txbxContent>";
    };
    const std::string modern =
        "<w:r><mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/"
        "markup-compatibility/2006\"><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor>"
        "<wp:docPr id=\"1\" name=\"Box\"/><a:graphic><a:graphicData><wps:wsp xmlns:wps=\"x\">"
        "<wps:txbx>" +
        box(Para(R("Boxed one")) + Para(R("Boxed two") + Drawing("rIdPng", ""))) +
        "</wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice>"
        "<mc:Fallback><w:pict><v:rect><v:textbox>" +
        box(Para(R("Boxed one")) + Para(R("Boxed two"))) +
        "</v:textbox></v:rect></w:pict></mc:Fallback></mc:AlternateContent></w:r>";
    const std::string old = "<w:r><w:pict><v:shape><v:textbox>" + box(Para(R("Old box"))) +
                            "</v:textbox></v:shape></w:pict></w:r>";
    const std::string body =
        Para(R("Before") + modern + R(" after")) + Para(old + R("Host")) + Para(R("Next"));
    const std::string docx = Docx(body, {{"rIdPng", "image", "media/image1.png", false}},
                                  {{"word/media/image1.png", ReadBytes(kCorpus / "small.png")}});
    EXPECT_EQ(ImportDocx(docx), P("Before after") + P("Boxed one") + "Boxed two\r<#image " +
                                    Picture("0.png") + ">\r\n" + P("Host") + P("Old box") +
                                    P("Next"));
}

TEST_F(DocxImport, NotesFollowTheBodyAndTheirReferencesLeadThere) {
    const std::string notes =
        kXml + "<w:footnotes" + kNamespaces + "><w:footnote w:type=\"separator\" w:id=\"-1\">" +
        Para(R("----")) + "</w:footnote>" + "<w:footnote w:id=\"1\">" +
        Para("<w:r><w:footnoteRef/></w:r>" + R(" First note with a ") +
             "<w:hyperlink r:id=\"rIdNoteWeb\">" + R("link") + "</w:hyperlink>") +
        Para(R("Its second paragraph.")) + "</w:footnote><w:footnote w:id=\"2\">" +
        Para("<w:r><w:footnoteRef/></w:r>" + R(" Second.")) + "</w:footnote></w:footnotes>";
    const std::string noteRelationships =
        kXml +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "relationships\"><Relationship Id=\"rIdNoteWeb\" Type=\"" +
        kRelationshipType +
        "hyperlink\" Target=\"http://n.example/\" TargetMode=\"External\"/>"
        "</Relationships>";
    const std::string body = Para(R("Text") + "<w:r><w:footnoteReference w:id=\"2\"/></w:r>" +
                                  R(" more") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r>") +
                             Para(R("Again") + "<w:r><w:footnoteReference w:id=\"2\"/></w:r>");
    const std::string docx =
        Docx(body, {{"rIdNotes", "footnotes", "footnotes.xml", false}},
             {{"word/footnotes.xml", notes}, {"word/_rels/footnotes.xml.rels", noteRelationships}});
    EXPECT_EQ(ImportDocx(docx),
              P("Text<#link label footnote-1>[1]<#/link> more<#link label footnote-2>[2]<#/link>") +
                  P("Again<#link label footnote-1>[1]<#/link>") +
                  P("<#label footnote-1>[1] Second.") +
                  P("<#label footnote-2>[2] First note with a <#link http n.example/>link"
                    "<#/link>") +
                  P("Its second paragraph."));
}

TEST_F(DocxImport, BadPackagesFailWithOneLine) {
    const std::string path = (Dir / "book.docx").string();
    const std::string body = Para(R("Text"));
    std::string bomb = Docx(body, {{"rIdStyles", "styles", "styles.xml", false}},
                            {{"word/styles.xml", std::string((64 << 20) + 1, ' ')}});
    const struct {
        const char* Name;
        std::string Bytes;
        std::string Error;
    } cases[] = {
        {"not a zip", "PK but not really a zip archive", path + " is not a zip archive"},
        {"a zip bomb", bomb,
         "The entry word/styles.xml of " + path +
             " is too large: it inflates to more than 64 MiB (a zip bomb?)"},
        {"a relationship out of the package",
         Docx(body, {{"rIdEvil", "image", "../../etc/passwd", false}}),
         "The relationship rIdEvil of " + path +
             ", word/document.xml points outside the package: ../../etc/passwd"},
        {"no main document", ZipBytes({{"content.xml", "<office/>"}}),
         path + " is not a Word document: it has no word/document.xml"},
        {"a part that is not XML",
         ZipBytes({{"word/document.xml", "<w:document>\n<w:body></w:document>"}}),
         path + ", word/document.xml: XML error in line 2: Opening and ending tag mismatch: "
                "body line 2 and document"},
        {"a part with a document type declaration",
         ZipBytes({{"word/document.xml", "<!DOCTYPE d [<!ENTITY e SYSTEM \"/etc/passwd\">]>"
                                         "<w:document><w:body>&e;</w:body></w:document>"}}),
         path + ", word/document.xml: XML error in line 1: a document type declaration is not "
                "read"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImportError(c.Bytes, "book.docx"), c.Error) << c.Name;
        EXPECT_TRUE(PictureFiles().empty()) << c.Name;
    }
}

} // namespace

// The core properties' title and creator are the book's details; a package
// without them, or with damaged ones, gives none and still builds.
TEST_F(DocxImport, CorePropertiesGiveTheDetails) {
    const std::string core = [](const std::string& inner) {
        return kXml +
               "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
               "metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" +
               inner + "</cp:coreProperties>";
    }("<dc:title>Harbour Lights</dc:title><dc:creator> Ann  Lee </dc:creator>");
    const struct {
        std::vector<TPart> Parts;
        std::string Expected;
    } cases[] = {
        {{{"docProps/core.xml", core}}, "Harbour Lights, Ann Lee"},
        {{{"docProps/core.xml", "<damaged"}}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        Config.BookInfo.clear();
        ImportDocx(Docx(Para(R("Text")), {}, c.Parts));
        EXPECT_EQ(ToUtf8(Config.BookInfo), c.Expected);
    }
}
