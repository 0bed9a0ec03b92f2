#include "formats/OdtDocument.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "platform/Xml.h"

#include <libxml/tree.h>

#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

namespace {

constexpr std::string_view kOffice[] = {"urn:oasis:names:tc:opendocument:xmlns:office:1.0"};
constexpr std::string_view kStyle[] = {"urn:oasis:names:tc:opendocument:xmlns:style:1.0"};
constexpr std::string_view kText[] = {"urn:oasis:names:tc:opendocument:xmlns:text:1.0"};
constexpr std::string_view kTable[] = {"urn:oasis:names:tc:opendocument:xmlns:table:1.0"};
constexpr std::string_view kDraw[] = {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"};
constexpr std::string_view kSvg[] = {"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"};
constexpr std::string_view kMeta[] = {"urn:oasis:names:tc:opendocument:xmlns:meta:1.0"};
constexpr std::string_view kXlink[] = {"http://www.w3.org/1999/xlink"};
constexpr std::string_view kXml[] = {"http://www.w3.org/XML/1998/namespace"};
constexpr std::string_view kDublinCore[] = {"http://purl.org/dc/elements/1.1/"};

constexpr std::string_view kMimetypeEntry = "mimetype";
constexpr std::string_view kContentEntry = "content.xml";
constexpr std::string_view kStylesEntry = "styles.xml";
constexpr std::string_view kMetaEntry = "meta.xml";
// Text documents, their templates and master documents.
constexpr std::string_view kTextMimetypes[] = {"application/vnd.oasis.opendocument.text",
                                               "application/vnd.oasis.opendocument.text-template",
                                               "application/vnd.oasis.opendocument.text-master"};

constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::u16string_view kDefaultBullet = u"\u2022";
constexpr int kListLevels = 10;
constexpr int kMaxStyleDepth = 32; // parent chains longer than this are cycles
constexpr long kMaxSpaces = 1000;  // text:s c="..." beyond this is damage

std::u16string Utf16(const std::optional<std::string>& text) {
    return text ? FromUtf8(*text) : std::u16string();
}

// "1" in text:c or text:start-value, kept within sensible bounds.
long Count(const std::optional<std::string>& text, long fallback, long largest) {
    if (!text) return fallback;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    return end != text->c_str() && value >= 0 && value <= largest ? value : fallback;
}

// How one level of a list style writes its items' markers.
struct TListLevel {
    bool Bullet = true;
    std::u16string BulletChar{kDefaultBullet};
    char Format = 0; // ListItemNumber's type letter; 0 for no number
    std::u16string Prefix, Suffix;
    int DisplayLevels = 1;
    long Start = 1;
};
using TListStyle = std::array<TListLevel, kListLevels>;

struct TParagraphStyle {
    std::string Parent;
    int OutlineLevel = 0; // 0 when the style sets none
};

// One list being walked: its style and the number its items have reached.
struct TOpenList {
    std::string Style;
    long Number = 0;
};

enum class TNoteKind { Foot, End };

// The anchor of a note, named as DOCX notes are, so that books from either
// format link their notes alike.
std::u16string NoteAnchor(TNoteKind kind, int number) {
    return (kind == TNoteKind::Foot ? u"footnote-" : u"endnote-") + IntToStr(number);
}

// A note's body, kept after the block that holds it has gone, with what its
// paragraph in the notes shows first.
struct TNote {
    TNoteKind Kind;
    int Number;
    std::u16string Mark;
    const xmlNode* Body;
};

struct TNodeDeleter {
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};

class TOdtReader {
public:
    explicit TOdtReader(TZipArchive& package) : Package(package) {}

    TWordDocument Read();

private:
    void CheckMimetype();
    TXmlDocument ReadPart(std::string_view part);
    void ReadStyles(TXmlNode styles);
    void ReadMeta(TWordDocument& document);
    void Body();

    void Blocks(TXmlNode parent);
    void Block(TXmlNode block);
    void List(TXmlNode list);
    void ListItem(TXmlNode item, bool header);
    void Table(TXmlNode table);
    void Paragraph(TXmlNode paragraph, int headingLevel);
    void EndParagraph(int headingLevel);
    int HeadingLevel(TXmlNode heading) const;
    void Inline(TXmlNode parent);
    void Link(TXmlNode link);
    void Frame(TXmlNode frame);
    void Note(TXmlNode note);
    void Notes(TNoteKind kind);
    std::u16string ListMarker();

    TZipArchive& Package;
    TWordDocumentBuilder Builder;
    std::map<std::string, TParagraphStyle> ParagraphStyles;
    std::map<std::string, TListStyle> ListStyles;

    std::vector<TOpenList> OpenLists;
    // Numbers a later list may continue: by list style, and by xml:id.
    std::map<std::string, long> LastNumberOfStyle, LastNumberOfList;
    // The marker the next paragraph begins with (a list item's, a note's).
    std::u16string PendingMarker;
    std::vector<TXmlNode> TextBoxes; // of the current paragraph, read after it

    int NoteCount[2] = {0, 0};
    std::vector<TNote> NotesFound;
    // The notes' bodies, copied out of the blocks, which the stream frees.
    TXmlDocument NoteHolder{xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"))};
    std::vector<std::unique_ptr<xmlNode, TNodeDeleter>> NoteBodies;
};

void TOdtReader::CheckMimetype() {
    const auto mimetype = Package.TryRead(kMimetypeEntry);
    if (!mimetype) return; // optional; content.xml decides
    const std::string type = CollapseBlanks(*mimetype);
    for (const std::string_view text : kTextMimetypes)
        if (type == text) return;
    throw TBookError(Package.Name() + " is not an OpenDocument text: its type is " +
                     (type.empty() ? std::string("empty") : type));
}

TXmlDocument TOdtReader::ReadPart(std::string_view part) {
    const std::string bytes = Package.Read(part);
    try {
        return TXmlDocument::Parse(bytes);
    } catch (const TBookError& error) {
        throw TBookError(Package.Name() + ", " + std::string(part) + ": " + error.what());
    }
}

// Paragraph styles (their outline levels) and list styles, from
// office:styles and office:automatic-styles alike.
void TOdtReader::ReadStyles(TXmlNode styles) {
    for (const TXmlNode style : styles.Children()) {
        const std::string name = style.AttributeIn(kStyle, "name").value_or("");
        if (name.empty()) continue;
        if (style.IsIn(kStyle, "style") &&
            style.AttributeIn(kStyle, "family").value_or("") == "paragraph") {
            TParagraphStyle& paragraph = ParagraphStyles[name];
            paragraph.Parent = style.AttributeIn(kStyle, "parent-style-name").value_or("");
            paragraph.OutlineLevel = static_cast<int>(
                Count(style.AttributeIn(kStyle, "default-outline-level"), 0, kListLevels));
        } else if (style.IsIn(kText, "list-style")) {
            TListStyle& list = ListStyles[name];
            for (const TXmlNode level : style.Children()) {
                const long number = Count(level.AttributeIn(kText, "level"), 0, kListLevels);
                if (number < 1) continue;
                TListLevel& item = list[number - 1];
                if (level.IsIn(kText, "list-level-style-bullet")) {
                    const std::u16string bullet = Utf16(level.AttributeIn(kText, "bullet-char"));
                    item.BulletChar = bullet.empty() ? std::u16string(kDefaultBullet) : bullet;
                } else if (level.IsIn(kText, "list-level-style-number")) {
                    item.Bullet = false;
                    const std::string format = level.AttributeIn(kStyle, "num-format").value_or("");
                    item.Format = format.empty() ? 0 : format.front();
                    item.Prefix = Utf16(level.AttributeIn(kStyle, "num-prefix"));
                    item.Suffix = Utf16(level.AttributeIn(kStyle, "num-suffix"));
                    item.DisplayLevels = static_cast<int>(
                        Count(level.AttributeIn(kText, "display-levels"), 1, kListLevels));
                    item.Start = Count(level.AttributeIn(kText, "start-value"), 1, 1000000);
                } else if (level.IsIn(kText, "list-level-style-image")) {
                    item.BulletChar = kDefaultBullet;
                }
            }
        }
    }
}

// The title and author; none when meta.xml is missing or damaged, which
// costs the details only, never the book.
void TOdtReader::ReadMeta(TWordDocument& document) {
    if (!Package.Contains(kMetaEntry)) return;
    try {
        const TXmlDocument meta = ReadPart(kMetaEntry);
        const TXmlNode details = meta.Root().ChildIn(kOffice, "meta");
        auto text = [&](TXmlNamespaces uris, std::string_view local) {
            return FromUtf8(CollapseBlanks(details.ChildIn(uris, local).AllText()));
        };
        document.Details.Title = text(kDublinCore, "title");
        document.Details.Author = text(kDublinCore, "creator");
        if (document.Details.Author.empty())
            document.Details.Author = text(kMeta, "initial-creator");
    } catch (const TBookError&) {
        document.Details = {};
    }
}

TWordDocument TOdtReader::Read() {
    CheckMimetype();
    if (!Package.Contains(kContentEntry))
        throw TBookError(Package.Name() + " is not an OpenDocument text: it has no " +
                         std::string(kContentEntry));
    if (Package.Contains(kStylesEntry)) {
        const TXmlDocument styles = ReadPart(kStylesEntry);
        for (const TXmlNode part : styles.Root().Children())
            if (part.IsIn(kOffice, "styles") || part.IsIn(kOffice, "automatic-styles"))
                ReadStyles(part);
    }
    Body();
    Notes(TNoteKind::Foot);
    Notes(TNoteKind::End);
    TWordDocument document = Builder.Finish();
    ReadMeta(document);
    return document;
}

// Whether the children of this element are the body's blocks: office:text
// and the sections in it, which are walked as they stream so that a book in
// one section never stands in memory as one tree.
bool HoldsBodyBlocks(const xmlNode* node) {
    for (; node; node = node->parent) {
        const TXmlNode view(node);
        if (view.IsIn(kOffice, "text")) return true;
        if (!view.IsIn(kText, "section")) return false;
    }
    return false;
}

void TOdtReader::Body() {
    TZipEntryReader entry = Package.OpenEntry(kContentEntry);
    bool body = false;
    try {
        TXmlStream stream([&entry](char* buffer, size_t size) { return entry.Read(buffer, size); });
        while (stream.NextElement()) {
            const TXmlNode node = stream.Node();
            if (stream.Depth() == 1 && node.IsIn(kOffice, "automatic-styles")) {
                ReadStyles(stream.Expand());
            } else if (stream.Depth() == 2 && node.IsIn(kOffice, "text")) {
                body = true;
            } else if (stream.Depth() >= 3 && HoldsBodyBlocks(node.Raw()->parent)) {
                if (node.IsIn(kText, "section")) {
                    if (const auto name = node.AttributeIn(kText, "name"))
                        Builder.AddAnchor(FromUtf8(*name));
                    continue; // its blocks come one by one
                }
                Block(stream.Expand());
            }
        }
    } catch (const TBookError& error) {
        const std::string message = error.what();
        if (!message.starts_with("XML error")) throw;
        throw TBookError(Package.Name() + ", " + std::string(kContentEntry) + ": " + message);
    }
    if (!body)
        throw TBookError(Package.Name() + " is not an OpenDocument text: " +
                         std::string(kContentEntry) + " has no office:text");
}

void TOdtReader::Blocks(TXmlNode parent) {
    for (const TXmlNode child : parent.Children())
        Block(child);
}

void TOdtReader::Block(TXmlNode block) {
    if (!block.IsElement()) return;
    if (block.IsIn(kText, "p")) {
        Paragraph(block, 0);
    } else if (block.IsIn(kText, "h")) {
        Paragraph(block, HeadingLevel(block));
    } else if (block.IsIn(kText, "list")) {
        List(block);
    } else if (block.IsIn(kTable, "table")) {
        Table(block);
    } else if (block.IsIn(kText, "section") || block.IsIn(kText, "index-title")) {
        Blocks(block);
    } else if (block.IsIn(kText, "table-of-content")) {
        // Its title ("Contents") stays a paragraph before it; only the
        // entries are the table of contents.
        for (const TXmlNode child : block.ChildIn(kText, "index-body").Children()) {
            if (child.IsIn(kText, "index-title")) {
                Blocks(child);
                continue;
            }
            Builder.SetInTableOfContents(true);
            Block(child);
        }
        Builder.SetInTableOfContents(false);
    } else if (block.InNamespace(kText) && block.LocalName().ends_with("-index")) {
        // Other indexes (of pictures, tables, words) read as their text.
        Blocks(block.ChildIn(kText, "index-body"));
    } else if (block.IsIn(kText, "bookmark") || block.IsIn(kText, "bookmark-start")) {
        if (const auto name = block.AttributeIn(kText, "name")) Builder.AddAnchor(FromUtf8(*name));
    } else if (block.IsIn(kDraw, "frame") || block.IsIn(kDraw, "a")) {
        // A frame anchored to the page: a paragraph of its own.
        if (block.IsIn(kDraw, "frame"))
            Frame(block);
        else
            Inline(block);
        EndParagraph(0);
    }
    // tracked changes, forms, declarations and page breaks show nothing.
}

int TOdtReader::HeadingLevel(TXmlNode heading) const {
    if (const auto level = heading.AttributeIn(kText, "outline-level"))
        return static_cast<int>(Count(level, 1, kListLevels));
    std::string name = heading.AttributeIn(kText, "style-name").value_or("");
    for (int depth = 0; depth < kMaxStyleDepth && !name.empty(); ++depth) {
        const auto found = ParagraphStyles.find(name);
        if (found == ParagraphStyles.end()) break;
        if (found->second.OutlineLevel > 0) return found->second.OutlineLevel;
        name = found->second.Parent;
    }
    return 1;
}

void TOdtReader::List(TXmlNode list) {
    TOpenList open;
    open.Style = list.AttributeIn(kText, "style-name")
                     .value_or(OpenLists.empty() ? "" : OpenLists.back().Style);
    const bool top = OpenLists.empty();
    if (top) {
        if (const auto from = list.AttributeIn(kText, "continue-list")) {
            const auto found = LastNumberOfList.find(*from);
            if (found != LastNumberOfList.end()) open.Number = found->second;
        } else if (list.AttributeIn(kText, "continue-numbering") == "true") {
            open.Number = LastNumberOfStyle[open.Style];
        }
    }
    OpenLists.push_back(open);
    for (const TXmlNode item : list.Children()) {
        if (item.IsIn(kText, "list-item"))
            ListItem(item, false);
        else if (item.IsIn(kText, "list-header"))
            ListItem(item, true);
    }
    if (top) {
        LastNumberOfStyle[OpenLists.back().Style] = OpenLists.back().Number;
        if (const auto id = list.AttributeIn(kXml, "id"))
            LastNumberOfList[*id] = OpenLists.back().Number;
    }
    OpenLists.pop_back();
}

// An item's first paragraph begins with its marker; a list header has none.
void TOdtReader::ListItem(TXmlNode item, bool header) {
    if (!header) {
        TOpenList& list = OpenLists.back();
        const auto& style = ListStyles[list.Style];
        const TListLevel& level = style[std::min<size_t>(OpenLists.size(), kListLevels) - 1];
        if (const auto start = item.AttributeIn(kText, "start-value"))
            list.Number = Count(start, level.Start, 1000000);
        else
            list.Number = list.Number == 0 ? level.Start : list.Number + 1;
        PendingMarker = ListMarker();
    }
    Blocks(item);
    PendingMarker.clear();
}

// The marker of the current item: its level's bullet, or its number after
// those of the levels above as many as the style displays ("2.1.").
std::u16string TOdtReader::ListMarker() {
    const size_t depth = std::min<size_t>(OpenLists.size(), kListLevels);
    const TListLevel& level = ListStyles[OpenLists.back().Style][depth - 1];
    if (level.Bullet) return level.BulletChar.empty() ? u"" : level.BulletChar + u" ";
    if (level.Format == 0) return {};
    std::u16string number;
    const size_t shown = std::min<size_t>(static_cast<size_t>(level.DisplayLevels), depth);
    for (size_t i = depth - shown; i < depth; ++i) {
        if (!number.empty()) number += u".";
        const TListLevel& upper = ListStyles[OpenLists[i].Style][i];
        number += ListItemNumber(OpenLists[i].Number, upper.Format ? upper.Format : '1');
    }
    return level.Prefix + number + level.Suffix + u" ";
}

void TOdtReader::Table(TXmlNode table) {
    for (const TXmlNode child : table.Children()) {
        if (child.IsIn(kTable, "table-cell"))
            Blocks(child);
        else if (child.IsIn(kTable, "table-row") || child.IsIn(kTable, "table-rows") ||
                 child.IsIn(kTable, "table-header-rows") || child.IsIn(kTable, "table-row-group"))
            Table(child);
    }
}

void TOdtReader::Paragraph(TXmlNode paragraph, int headingLevel) {
    // A heading keeps its text as it is: table-of-contents entries are
    // matched against it.
    if (headingLevel == 0 && !PendingMarker.empty()) Builder.AppendText(PendingMarker);
    PendingMarker.clear();
    Inline(paragraph);
    EndParagraph(headingLevel);
}

// Ends the paragraph; the text boxes met in it follow it.
void TOdtReader::EndParagraph(int headingLevel) {
    Builder.EndParagraph(headingLevel);
    const std::vector<TXmlNode> boxes = std::move(TextBoxes);
    TextBoxes.clear();
    for (const TXmlNode box : boxes)
        Blocks(box);
}

void TOdtReader::Inline(TXmlNode parent) {
    for (const TXmlNode child : parent.Children()) {
        const xmlElementType type = child.Raw()->type;
        if (type == XML_TEXT_NODE || type == XML_CDATA_SECTION_NODE) {
            Builder.AppendText(FromUtf8(child.Value()));
            continue;
        }
        if (!child.IsElement()) continue;
        if (child.IsIn(kText, "s")) {
            Builder.AppendText(std::u16string(
                static_cast<size_t>(Count(child.AttributeIn(kText, "c"), 1, kMaxSpaces)), u' '));
        } else if (child.IsIn(kText, "tab")) {
            Builder.AppendText(u"\t");
        } else if (child.IsIn(kText, "line-break")) {
            Builder.AppendText(kLineBreak);
        } else if (child.IsIn(kText, "a")) {
            Link(child);
        } else if (child.IsIn(kText, "bookmark") || child.IsIn(kText, "bookmark-start") ||
                   child.IsIn(kText, "reference-mark") ||
                   child.IsIn(kText, "reference-mark-start")) {
            if (const auto name = child.AttributeIn(kText, "name"))
                Builder.AddAnchor(FromUtf8(*name));
        } else if (child.IsIn(kText, "note")) {
            Note(child);
        } else if (child.IsIn(kDraw, "frame")) {
            Frame(child);
        } else if (child.IsIn(kDraw, "a")) {
            Inline(child);
        } else if (child.InNamespace(kDraw)) {
            // A drawing shape's own paragraphs, as a text box's.
            TextBoxes.push_back(child);
        } else if (child.IsIn(kOffice, "annotation") || child.IsIn(kText, "hidden-text") ||
                   child.IsIn(kText, "number") || child.IsIn(kText, "note-citation") ||
                   child.IsIn(kText, "tracked-changes")) {
            continue;
        } else {
            // Spans, fields, ruby, meta: their text shows.
            Inline(child);
        }
    }
}

void TOdtReader::Link(TXmlNode link) {
    const std::string href = link.AttributeIn(kXlink, "href").value_or("");
    std::u16string address, anchor;
    if (href.starts_with('#'))
        anchor = FromUtf8(href.substr(1));
    else
        address = FromUtf8(href);
    const bool opened = !Builder.InHyperlink() && (!address.empty() || !anchor.empty());
    if (opened) Builder.BeginHyperlink(address, anchor);
    Inline(link);
    if (opened) Builder.EndHyperlink();
}

// A frame's picture (the first that is not a drawing, when it offers
// several) and its text box.
void TOdtReader::Frame(TXmlNode frame) {
    TXmlNode image;
    for (const TXmlNode child : frame.Children()) {
        if (child.IsIn(kDraw, "text-box")) TextBoxes.push_back(child);
        if (!child.IsIn(kDraw, "image")) continue;
        const std::string href = LowerAscii(child.AttributeIn(kXlink, "href").value_or(""));
        if (!image || (image.AttributeIn(kXlink, "href").value_or("").ends_with(".svg") &&
                       !href.ends_with(".svg")))
            image = child;
    }
    if (!image) return;
    TWordPicture picture;
    std::string text = CollapseBlanks(frame.ChildIn(kSvg, "title").AllText());
    if (text.empty()) text = CollapseBlanks(frame.ChildIn(kSvg, "desc").AllText());
    picture.AlternativeText = FromUtf8(text);
    const std::string href = image.AttributeIn(kXlink, "href").value_or("");
    picture.Name = href.empty() ? "a picture of " + Package.Name() : href;
    if (!href.empty() && !HasUriScheme(href))
        if (const auto entry = TZipArchive::ResolveName(std::string(kContentEntry), href))
            picture.Bytes = Package.TryRead(*entry).value_or("");
    Builder.AddPicture(std::move(picture));
}

// The citation links to the note, whose body is kept for the notes after
// the body.
void TOdtReader::Note(TXmlNode note) {
    const TNoteKind kind =
        note.AttributeIn(kText, "note-class") == "endnote" ? TNoteKind::End : TNoteKind::Foot;
    const int number = ++NoteCount[static_cast<int>(kind)];
    std::u16string citation =
        FromUtf8(CollapseBlanks(note.ChildIn(kText, "note-citation").AllText()));
    if (citation.empty()) citation = IntToStr(number);
    const bool link = !Builder.InHyperlink();
    if (link) Builder.BeginHyperlink(u"", NoteAnchor(kind, number));
    Builder.AppendText(u"[" + citation + u"]");
    if (link) Builder.EndHyperlink();
    const TXmlNode body = note.ChildIn(kText, "note-body");
    if (!body) return;
    xmlNode* copy = xmlDocCopyNode(body.Raw(), NoteHolder.Raw(), 1);
    if (!copy) throw TBookError("Out of memory while reading the notes of " + Package.Name());
    NoteBodies.emplace_back(copy);
    NotesFound.push_back({kind, number, u"[" + citation + u"] ", copy});
}

void TOdtReader::Notes(TNoteKind kind) {
    for (const TNote& note : NotesFound) {
        if (note.Kind != kind) continue;
        Builder.AddAnchor(NoteAnchor(kind, note.Number));
        PendingMarker = note.Mark;
        OpenLists.clear();
        Blocks(TXmlNode(note.Body));
        PendingMarker.clear();
    }
}

} // namespace

TWordDocument ReadOdtDocument(TZipArchive& package) {
    return TOdtReader(package).Read();
}

} // namespace paginor
