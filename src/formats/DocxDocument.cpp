#include "formats/DocxDocument.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "platform/Xml.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

namespace {

// Namespaces, transitional and strict.
constexpr std::string_view kWordNamespaces[] = {
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
    "http://purl.oclc.org/ooxml/wordprocessingml/main"};
constexpr std::string_view kRelationshipNamespaces[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};
constexpr std::string_view kMathNamespaces[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/math",
    "http://purl.oclc.org/ooxml/officeDocument/math"};
constexpr std::string_view kCompatibilityNamespace[] = {
    "http://schemas.openxmlformats.org/markup-compatibility/2006"};

constexpr std::string_view kDublinCore[] = {"http://purl.org/dc/elements/1.1/"};

constexpr std::string_view kPackageRelationships = "_rels/.rels";
constexpr std::string_view kDefaultCorePart = "docProps/core.xml";
constexpr std::string_view kDefaultMainPart = "word/document.xml";
// Word's own bookmark of the last edit, in nearly every document.
constexpr std::u16string_view kLastEditBookmark = u"_GoBack";
// The gallery a table-of-contents content control belongs to.
constexpr std::string_view kContentsGallery = "Table of Contents";
constexpr int kMaxStyleDepth = 32; // basedOn chains longer than this are cycles
constexpr int kBodyOutlineLevel = 9;

// The heading level of an outline level (0 for the top): 1 for the top, 0
// for body text.
int OutlineHeading(int outlineLevel) {
    return outlineLevel >= 0 && outlineLevel < kBodyOutlineLevel ? outlineLevel + 1 : 0;
}

constexpr std::u16string_view kLineBreak = u"\r\n";

bool IsElement(const xmlNode* node) {
    return TXmlNode(node).IsElement();
}

// A WordprocessingML element with this local name.
bool IsW(const xmlNode* node, std::string_view local) {
    return TXmlNode(node).IsIn(kWordNamespaces, local);
}

bool IsLocal(const xmlNode* node, std::string_view local) {
    return TXmlNode(node).LocalIs(local);
}

// The value of the attribute with this local name in one of the namespaces.
std::optional<std::string> AttributeIn(const xmlNode* node, std::string_view local,
                                       TXmlNamespaces uris) {
    return TXmlNode(node).AttributeIn(uris, local);
}

// w:val, w:id, w:name and the like.
std::optional<std::string> WAttribute(const xmlNode* node, std::string_view local) {
    return AttributeIn(node, local, kWordNamespaces);
}

// An attribute without a namespace (docPr's descr, VML's alt).
std::optional<std::string> PlainAttribute(const xmlNode* node, std::string_view local) {
    return TXmlNode(node).PlainAttribute(local);
}

const xmlNode* ChildW(const xmlNode* node, std::string_view local) {
    return TXmlNode(node).ChildIn(kWordNamespaces, local).Raw();
}

// The first element of the subtree (the node itself included) with this
// local name.
const xmlNode* FindLocal(const xmlNode* node, std::string_view local) {
    return TXmlNode(node).FindLocal(local).Raw();
}

// Whether the node lies in a text box of the shape `top` (whose paragraphs
// are read on their own).
bool InTextBox(const xmlNode* node, const xmlNode* top) {
    for (const xmlNode* up = node->parent; up && up != top; up = up->parent)
        if (IsW(up, "txbxContent")) return true;
    return false;
}

// "on" unless w:val says "false", "0" or "off".
bool IsOn(const xmlNode* property) {
    if (!property) return false;
    const auto value = WAttribute(property, "val");
    return !value || (*value != "false" && *value != "0" && *value != "off");
}

// The text an element holds, all text nodes joined.
std::string TextOf(const xmlNode* node) {
    return TXmlNode(node).ChildText();
}

// The words of a field instruction: quoted stretches are one word.
std::vector<std::string> InstructionWords(std::string_view instruction) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < instruction.size()) {
        if (static_cast<unsigned char>(instruction[i]) <= ' ') {
            ++i;
            continue;
        }
        std::string word;
        if (instruction[i] == '"') {
            const size_t end = instruction.find('"', i + 1);
            word = instruction.substr(
                i + 1, (end == std::string_view::npos ? instruction.size() : end) - i - 1);
            i = end == std::string_view::npos ? instruction.size() : end + 1;
        } else {
            while (i < instruction.size() && static_cast<unsigned char>(instruction[i]) > ' ')
                word += instruction[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

struct TRelationship {
    std::string Type;   // the last step of the type URI ("image", "hyperlink")
    std::string Target; // the part's entry name, or the address of an external target
    bool External = false;
};
using TRelationships = std::map<std::string, TRelationship>;

// A paragraph's list: the numbering instance and its level (0 to 8).
struct TListReference {
    std::string NumberingId;
    int Level = 0;
};

struct TStyle {
    std::string Name;
    std::string BasedOn;
    int OutlineLevel = -1; // 0 for the top level; -1 when the style sets none
    std::optional<TListReference> List;
};

constexpr int kListLevels = 9;

// One numbering instance of the numbering part: how each level writes its
// number ("decimal", "lowerRoman", "bullet", ...; "%1." with the levels'
// numbers), where it starts, and the numbers given so far.
struct TNumbering {
    struct TLevel {
        std::string Format = "decimal";
        std::string Text;
        long Start = 1;
        long Current = 0;
        bool Started = false;
    };
    std::array<TLevel, kListLevels> Levels;
};

// A numPr element's list; none when it has no numbering id or the id "0",
// which switches numbering off.
std::optional<TListReference> ListReference(const xmlNode* numberingProperties) {
    const auto id = WAttribute(ChildW(numberingProperties, "numId"), "val");
    if (!id || id->empty() || *id == "0") return std::nullopt;
    const auto level = WAttribute(ChildW(numberingProperties, "ilvl"), "val");
    const int value = level ? std::atoi(level->c_str()) : 0;
    return TListReference{*id, value >= 0 && value < kListLevels ? value : 0};
}

// A list level's start; 1 when it is not a number of a sensible size, so
// that counting on from it cannot overflow.
long ListStart(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && value > -1000000 && value < 1000000 ? value : 1;
}

// A level's number in its format; the letters of ListItemNumber's types.
std::u16string FormattedNumber(long number, std::string_view format) {
    if (format == "decimalZero" && number >= 0 && number < 10) return u"0" + IntToStr(number);
    const char type = format == "lowerLetter"   ? 'a'
                      : format == "upperLetter" ? 'A'
                      : format == "lowerRoman"  ? 'i'
                      : format == "upperRoman"  ? 'I'
                                                : '1';
    return ListItemNumber(number, type);
}

enum class TFieldKind { Other, Hyperlink, Contents };

struct TField {
    std::string Instruction;
    bool Separated = false;
    TFieldKind Kind = TFieldKind::Other;
    bool OpenedLink = false;
};

enum class TNoteKind { Foot, End };

struct TNote {
    TNoteKind Kind;
    std::string Id;
    int Number;
};

// The anchor of a note: its kind and number, so that a document names its
// notes alike however its package numbers them inside.
std::u16string NoteAnchor(TNoteKind kind, int number) {
    return (kind == TNoteKind::Foot ? u"footnote-" : u"endnote-") + IntToStr(number);
}

class TDocxReader {
public:
    explicit TDocxReader(TZipArchive& package) : Package(package) {}

    TWordDocument Read();

private:
    TXmlDocument ReadPart(const std::string& part);
    TRelationships ReadRelationships(const std::string& part);
    std::string MainPart();
    std::optional<std::string> RelatedPart(const TRelationships& relationships,
                                           std::string_view type) const;
    void ReadStyles(const TRelationships& relationships);
    template <class TPick>
    auto FromStyles(std::string id, TPick pick) const -> decltype(pick(TStyle()));
    int StyleLevel(const std::string& id) const;
    int HeadingLevel(const xmlNode* paragraph) const;
    void ReadNumbering(const TRelationships& relationships);
    std::optional<TListReference> ListOf(const xmlNode* paragraph) const;
    std::u16string ListMarker(const TListReference& list);

    void Body(TZipEntryReader entry);
    void Blocks(const xmlNode* parent);
    void Block(const xmlNode* block);
    void Bookmark(const xmlNode* start);
    void ContentControl(const xmlNode* sdt, bool inParagraph);
    void Table(const xmlNode* table);
    void Paragraph(const xmlNode* paragraph);
    void Inline(const xmlNode* parent);
    void Run(const xmlNode* run);
    void Hyperlink(const xmlNode* link);
    void SimpleField(const xmlNode* field);
    void FieldChar(const xmlNode* fieldChar);
    void BeginFieldResult(TField& field);
    void EndField(const TField& field);
    void Drawing(const xmlNode* drawing);
    void VmlPicture(const xmlNode* picture);
    void QueueTextBoxes(const xmlNode* shape);
    void AddPicture(const std::optional<std::string>& relationshipId, std::string description);
    void NoteReference(const xmlNode* reference, TNoteKind kind);
    void Notes(TNoteKind kind, const std::string& relationshipType);
    TDocumentDetails Details();
    void Text(std::u16string_view text);
    // Whether the walk stands in the instruction of a field, which never shows.
    bool InFieldInstruction() const;

    TZipArchive& Package;
    TWordDocumentBuilder Builder;
    std::map<std::string, TStyle> Styles;
    std::map<std::string, TNumbering> Numberings;  // by numbering instance id
    const TRelationships* Relationships = nullptr; // of the part being walked
    std::string PartName;
    TRelationships DocumentRelationships;

    std::vector<TField> Fields;
    int ContentsDepth = 0; // table-of-contents fields and controls open
    std::vector<TNote> NotesReferenced;
    std::map<std::string, int> NoteNumbers[2];
    const TNote* CurrentNote = nullptr;
    // Text boxes met in the current paragraph, read after it.
    std::vector<const xmlNode*> TextBoxes;
};

TXmlDocument TDocxReader::ReadPart(const std::string& part) {
    const std::string bytes = Package.Read(part);
    try {
        return TXmlDocument::Parse(bytes);
    } catch (const TBookError& error) {
        throw TBookError(Package.Name() + ", " + part + ": " + error.what());
    }
}

// The relationships of a part ("word/document.xml" -> its
// "word/_rels/document.xml.rels"); none when it has no such part.
TRelationships TDocxReader::ReadRelationships(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string name = part.substr(folder.size());
    const std::string relationshipsPart =
        part.empty() ? std::string(kPackageRelationships) : folder + "_rels/" + name + ".rels";
    TRelationships relationships;
    if (!Package.Contains(relationshipsPart)) return relationships;
    const TXmlDocument document = ReadPart(relationshipsPart);
    for (const TXmlNode node : document.Root().Children()) {
        if (!IsLocal(node.Raw(), "Relationship")) continue;
        const auto id = node.Attribute("Id");
        const auto type = node.Attribute("Type");
        const auto target = node.Attribute("Target");
        if (!id || !type || !target) continue;
        TRelationship relationship;
        relationship.Type = type->substr(type->rfind('/') + 1);
        relationship.External = node.Attribute("TargetMode") == "External";
        if (relationship.External) {
            relationship.Target = *target;
        } else {
            // An internal target is a part of this package: one that leads
            // out of it is refused, whatever it is for.
            if (target->empty() || HasUriScheme(*target)) continue;
            const auto entry = TZipArchive::ResolveName(part, *target);
            if (!entry)
                throw TBookError("The relationship " + *id + " of " + Package.Name() + ", " +
                                 (part.empty() ? "the package" : part) +
                                 " points outside the package: " + *target);
            relationship.Target = *entry;
        }
        relationships.emplace(*id, std::move(relationship));
    }
    return relationships;
}

std::string TDocxReader::MainPart() {
    if (auto part = RelatedPart(ReadRelationships(""), "officeDocument")) return std::move(*part);
    if (Package.Contains(kDefaultMainPart)) return std::string(kDefaultMainPart);
    throw TBookError(Package.Name() + " is not a Word document: it has no " +
                     std::string(kDefaultMainPart));
}

// The part of the first relationship of this type that the package holds
// ("officeDocument", "styles", "numbering", "footnotes").
std::optional<std::string> TDocxReader::RelatedPart(const TRelationships& relationships,
                                                    std::string_view type) const {
    for (const auto& [id, relationship] : relationships)
        if (relationship.Type == type && !relationship.External &&
            Package.Contains(relationship.Target))
            return relationship.Target;
    return std::nullopt;
}

void TDocxReader::ReadStyles(const TRelationships& relationships) {
    if (const auto part = RelatedPart(relationships, "styles")) {
        const TXmlDocument document = ReadPart(*part);
        for (const TXmlNode node : document.Root().Children()) {
            if (!IsW(node.Raw(), "style")) continue;
            const auto styleId = WAttribute(node.Raw(), "styleId");
            if (!styleId) continue;
            TStyle style;
            if (const auto name = WAttribute(ChildW(node.Raw(), "name"), "val"))
                style.Name = LowerAscii(*name);
            if (const auto basedOn = WAttribute(ChildW(node.Raw(), "basedOn"), "val"))
                style.BasedOn = *basedOn;
            const xmlNode* properties = ChildW(node.Raw(), "pPr");
            if (const auto level = WAttribute(ChildW(properties, "outlineLvl"), "val"))
                style.OutlineLevel = std::atoi(level->c_str());
            style.List = ListReference(ChildW(properties, "numPr"));
            Styles.emplace(*styleId, std::move(style));
        }
    }
}

// What `pick` finds first in the style and the styles it is based on, in
// turn; nothing when it finds nothing there.
template <class TPick>
auto TDocxReader::FromStyles(std::string id, TPick pick) const -> decltype(pick(TStyle())) {
    for (int depth = 0; depth < kMaxStyleDepth && !id.empty(); ++depth) {
        const auto found = Styles.find(id);
        if (found == Styles.end()) break;
        if (auto picked = pick(found->second)) return picked;
        id = found->second.BasedOn;
    }
    return {};
}

// The heading level a paragraph style gives (1 for the top), 0 for body
// text: its outline level, else a name "heading N", through its basedOn chain.
int TDocxReader::StyleLevel(const std::string& id) const {
    return FromStyles(id,
                      [](const TStyle& style) -> std::optional<int> {
                          if (style.OutlineLevel >= 0) return OutlineHeading(style.OutlineLevel);
                          if (style.Name.starts_with("heading ")) {
                              const int level = std::atoi(style.Name.c_str() + 8);
                              if (level >= 1 && level <= kBodyOutlineLevel) return level;
                          }
                          return std::nullopt;
                      })
        .value_or(0);
}

int TDocxReader::HeadingLevel(const xmlNode* paragraph) const {
    const xmlNode* properties = ChildW(paragraph, "pPr");
    if (const auto level = WAttribute(ChildW(properties, "outlineLvl"), "val"))
        return OutlineHeading(std::atoi(level->c_str()));
    if (const auto style = WAttribute(ChildW(properties, "pStyle"), "val"))
        return StyleLevel(*style);
    return 0;
}

// The numbering part: its abstract numberings' levels, and the numbering
// instances that use them (with their start overrides).
void TDocxReader::ReadNumbering(const TRelationships& relationships) {
    if (const auto part = RelatedPart(relationships, "numbering")) {
        const TXmlDocument document = ReadPart(*part);
        const auto readLevels = [](const xmlNode* parent, TNumbering& numbering) {
            for (const xmlNode* child = parent->children; child; child = child->next) {
                if (!IsW(child, "lvl")) continue;
                const int index = std::atoi(WAttribute(child, "ilvl").value_or("0").c_str());
                if (index < 0 || index >= kListLevels) continue;
                TNumbering::TLevel& level = numbering.Levels[index];
                if (const auto format = WAttribute(ChildW(child, "numFmt"), "val"))
                    level.Format = *format;
                if (const auto text = WAttribute(ChildW(child, "lvlText"), "val"))
                    level.Text = *text;
                if (const auto start = WAttribute(ChildW(child, "start"), "val"))
                    level.Start = ListStart(*start);
            }
        };
        std::map<std::string, TNumbering> abstract;
        for (const TXmlNode node : document.Root().Children()) {
            if (!IsW(node.Raw(), "abstractNum")) continue;
            if (const auto abstractId = WAttribute(node.Raw(), "abstractNumId"))
                readLevels(node.Raw(), abstract[*abstractId]);
        }
        for (const TXmlNode node : document.Root().Children()) {
            if (!IsW(node.Raw(), "num")) continue;
            const auto numberingId = WAttribute(node.Raw(), "numId");
            const auto abstractId = WAttribute(ChildW(node.Raw(), "abstractNumId"), "val");
            if (!numberingId || !abstractId) continue;
            const auto found = abstract.find(*abstractId);
            TNumbering numbering = found == abstract.end() ? TNumbering() : found->second;
            for (const xmlNode* child = node.Raw()->children; child; child = child->next) {
                if (!IsW(child, "lvlOverride")) continue;
                const int index = std::atoi(WAttribute(child, "ilvl").value_or("0").c_str());
                if (index < 0 || index >= kListLevels) continue;
                if (ChildW(child, "lvl")) {
                    TNumbering replaced;
                    readLevels(child, replaced);
                    numbering.Levels[index] = replaced.Levels[index];
                }
                if (const auto start = WAttribute(ChildW(child, "startOverride"), "val"))
                    numbering.Levels[index].Start = ListStart(*start);
            }
            Numberings.emplace(*numberingId, std::move(numbering));
        }
    }
}

// The paragraph's own list, else its style's (through the styles it is
// based on).
std::optional<TListReference> TDocxReader::ListOf(const xmlNode* paragraph) const {
    const xmlNode* properties = ChildW(paragraph, "pPr");
    if (const xmlNode* own = ChildW(properties, "numPr")) {
        auto list = ListReference(own);
        // A numPr with only a level takes the list from the style.
        if (list || WAttribute(ChildW(own, "numId"), "val")) return list;
    }
    return FromStyles(WAttribute(ChildW(properties, "pStyle"), "val").value_or(""),
                      [](const TStyle& style) { return style.List; });
}

// The next number of the list's level as the level writes it ("3.", "b)",
// "1.2."), or a bullet; the levels below start again. Empty when the
// document has no such list.
std::u16string TDocxReader::ListMarker(const TListReference& list) {
    const auto found = Numberings.find(list.NumberingId);
    if (found == Numberings.end()) return {};
    auto& levels = found->second.Levels;
    TNumbering::TLevel& level = levels[list.Level];
    level.Current = level.Started ? level.Current + 1 : level.Start;
    level.Started = true;
    for (int below = list.Level + 1; below < kListLevels; ++below)
        levels[below].Started = false;
    if (level.Format == "bullet") return u"\u2022";
    if (level.Format == "none") return {};
    std::u16string marker;
    const std::string& text = level.Text;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const TNumbering::TLevel& named = levels[text[i + 1] - '1'];
            marker += FormattedNumber(named.Started ? named.Current : named.Start, named.Format);
            ++i;
        } else {
            const size_t end = text.find('%', i + 1);
            marker += FromUtf8(text.substr(i, end == std::string::npos ? end : end - i));
            i = (end == std::string::npos ? text.size() : end) - 1;
        }
    }
    return TrimControls(marker);
}

TWordDocument TDocxReader::Read() {
    PartName = MainPart();
    DocumentRelationships = ReadRelationships(PartName);
    ReadStyles(DocumentRelationships);
    ReadNumbering(DocumentRelationships);
    Relationships = &DocumentRelationships;
    Body(Package.OpenEntry(PartName));
    Notes(TNoteKind::Foot, "footnotes");
    Notes(TNoteKind::End, "endnotes");
    TWordDocument document = Builder.Finish();
    document.Details = Details();
    return document;
}

// The title and author of the core properties (dc:title, dc:creator),
// which Word, LibreOffice and Google Docs all write; none when the part is
// missing or damaged.
TDocumentDetails TDocxReader::Details() {
    std::string part = RelatedPart(ReadRelationships(""), "core-properties")
                           .value_or(std::string(kDefaultCorePart));
    TDocumentDetails details;
    if (!Package.Contains(part)) return details;
    try {
        const TXmlDocument core = ReadPart(part);
        auto text = [&](std::string_view local) {
            return FromUtf8(CollapseBlanks(core.Root().ChildIn(kDublinCore, local).AllText()));
        };
        details.Title = text("title");
        details.Author = text("creator");
    } catch (const TBookError&) {
        // Damaged properties cost the details only, never the book.
    }
    return details;
}

// The main document is read block by block as it streams: a long book never
// stands in memory as one tree.
void TDocxReader::Body(TZipEntryReader entry) {
    bool body = false;
    try {
        TXmlStream stream([&entry](char* buffer, size_t size) { return entry.Read(buffer, size); });
        while (stream.NextElement()) {
            const xmlNode* node = stream.Node().Raw();
            if (stream.Depth() == 1 && IsW(node, "body"))
                body = true;
            else if (stream.Depth() == 2 && IsW(node->parent, "body"))
                Block(stream.Expand().Raw());
        }
    } catch (const TBookError& error) {
        // Messages of the walk itself name their package already.
        const std::string message = error.what();
        if (!message.starts_with("XML error")) throw;
        throw TBookError(Package.Name() + ", " + PartName + ": " + message);
    }
    if (!body)
        throw TBookError(Package.Name() + " is not a Word document: " + PartName + " has no body");
}

// Block-level content: paragraphs, tables, content controls.
void TDocxReader::Blocks(const xmlNode* parent) {
    for (const xmlNode* child = parent->children; child; child = child->next)
        Block(child);
}

void TDocxReader::Block(const xmlNode* block) {
    if (IsW(block, "p")) {
        Paragraph(block);
    } else if (IsW(block, "tbl")) {
        Table(block);
    } else if (IsW(block, "sdt")) {
        ContentControl(block, false);
    } else if (IsW(block, "customXml") || IsW(block, "ins") || IsW(block, "moveTo")) {
        Blocks(block);
    } else if (IsW(block, "bookmarkStart")) {
        Bookmark(block);
    } else if (IsLocal(block, "AlternateContent") &&
               XmlInNamespace(block->ns, kCompatibilityNamespace)) {
        if (const xmlNode* choice = FindLocal(block, "Choice")) Blocks(choice);
    }
}

void TDocxReader::Bookmark(const xmlNode* start) {
    const auto name = WAttribute(start, "name");
    if (name && FromUtf8(*name) != kLastEditBookmark) Builder.AddAnchor(FromUtf8(*name));
}

// A content control. One of the table-of-contents gallery is the table of
// contents when no table-of-contents field inside it says so already.
void TDocxReader::ContentControl(const xmlNode* sdt, bool inParagraph) {
    const xmlNode* content = ChildW(sdt, "sdtContent");
    if (!content) return;
    const xmlNode* gallery = FindLocal(ChildW(sdt, "sdtPr"), "docPartGallery");
    bool contents = false;
    if (gallery && WAttribute(gallery, "val") == kContentsGallery) {
        contents = true;
        // The first field instruction inside tells whether a field marks it.
        const xmlNode* instruction = FindLocal(content, "instrText");
        std::string instructions = instruction ? TextOf(instruction) : "";
        if (const xmlNode* simple = FindLocal(content, "fldSimple"))
            instructions += WAttribute(simple, "instr").value_or("");
        const auto words = InstructionWords(instructions);
        if (!words.empty() && words.front() == "TOC") contents = false;
    }
    if (contents && ContentsDepth++ == 0) Builder.SetInTableOfContents(true);
    if (inParagraph)
        Inline(content);
    else
        Blocks(content);
    if (contents && --ContentsDepth == 0) Builder.SetInTableOfContents(false);
}

void TDocxReader::Table(const xmlNode* table) {
    for (const xmlNode* child = table->children; child; child = child->next) {
        if (IsW(child, "tc")) {
            Blocks(child);
        } else if (IsW(child, "tr") || IsW(child, "customXml")) {
            Table(child);
        } else if (IsW(child, "sdt")) {
            if (const xmlNode* content = ChildW(child, "sdtContent")) Table(content);
        }
    }
}

void TDocxReader::Paragraph(const xmlNode* paragraph) {
    // A list paragraph begins with its bullet or number, which Word draws
    // from the numbering part; a heading keeps its text as it is, since
    // a table of contents' entries are matched against it.
    const int level = HeadingLevel(paragraph);
    if (const auto list = ListOf(paragraph); list && level == 0) {
        const std::u16string marker = ListMarker(*list);
        if (!marker.empty()) Text(marker + u" ");
    }
    Inline(paragraph);
    Builder.EndParagraph(level);
    // A text box's paragraphs follow the paragraph that anchors it (boxes
    // in them follow in turn).
    const std::vector<const xmlNode*> boxes = std::move(TextBoxes);
    TextBoxes.clear();
    for (const xmlNode* box : boxes)
        Blocks(box);
}

// Inline content: runs and what groups them.
void TDocxReader::Inline(const xmlNode* parent) {
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (!IsElement(child)) continue;
        if (IsW(child, "r") ||
            (IsLocal(child, "r") && XmlInNamespace(child->ns, kMathNamespaces))) {
            Run(child);
        } else if (IsW(child, "hyperlink")) {
            Hyperlink(child);
        } else if (IsW(child, "fldSimple")) {
            SimpleField(child);
        } else if (IsW(child, "bookmarkStart")) {
            Bookmark(child);
        } else if (IsW(child, "sdt")) {
            ContentControl(child, true);
        } else if (IsW(child, "del") || IsW(child, "moveFrom") || IsW(child, "pPr") ||
                   IsW(child, "rPr")) {
            continue;
        } else if (IsLocal(child, "AlternateContent") &&
                   XmlInNamespace(child->ns, kCompatibilityNamespace)) {
            if (const xmlNode* choice = FindLocal(child, "Choice")) Inline(choice);
        } else {
            // ins, smartTag, customXml, dir, bdo, moveTo, math: their runs count.
            Inline(child);
        }
    }
}

bool TDocxReader::InFieldInstruction() const {
    return std::any_of(Fields.begin(), Fields.end(),
                       [](const TField& field) { return !field.Separated; });
}

void TDocxReader::Run(const xmlNode* run) {
    if (IsOn(ChildW(ChildW(run, "rPr"), "vanish"))) return; // hidden text
    for (const xmlNode* child = run->children; child; child = child->next) {
        if (!IsElement(child)) continue;
        const std::string_view name = XmlView(child->name);
        if (name == "t") {
            Text(FromUtf8(TextOf(child)));
        } else if (!IsW(child, name)) {
            if (IsLocal(child, "AlternateContent")) {
                if (const xmlNode* choice = FindLocal(child, "Choice")) Run(choice);
            }
        } else if (name == "tab" || name == "ptab") {
            Text(u"\t");
        } else if (name == "br" || name == "cr") {
            Text(kLineBreak);
        } else if (name == "noBreakHyphen") {
            Text(u"-");
        } else if (name == "instrText") {
            if (!Fields.empty() && !Fields.back().Separated)
                Fields.back().Instruction += TextOf(child);
        } else if (name == "fldChar") {
            FieldChar(child);
        } else if (name == "drawing") {
            Drawing(child);
            QueueTextBoxes(child);
        } else if (name == "pict" || name == "object") {
            VmlPicture(child);
            QueueTextBoxes(child);
        } else if (name == "footnoteReference") {
            NoteReference(child, TNoteKind::Foot);
        } else if (name == "endnoteReference") {
            NoteReference(child, TNoteKind::End);
        } else if ((name == "footnoteRef" || name == "endnoteRef") && CurrentNote) {
            Text(u"[" + IntToStr(CurrentNote->Number) + u"]");
        }
    }
}

// Text shows unless it stands in the instruction of a field.
void TDocxReader::Text(std::u16string_view text) {
    if (!InFieldInstruction()) Builder.AppendText(text);
}

void TDocxReader::Hyperlink(const xmlNode* link) {
    std::u16string address;
    if (const auto id = AttributeIn(link, "id", kRelationshipNamespaces)) {
        const auto found = Relationships->find(*id);
        if (found != Relationships->end() && found->second.External)
            address = FromUtf8(found->second.Target);
    }
    const std::u16string anchor = FromUtf8(WAttribute(link, "anchor").value_or(""));
    const bool opened = !Builder.InHyperlink() && (!address.empty() || !anchor.empty());
    if (opened) Builder.BeginHyperlink(address, anchor);
    Inline(link);
    if (opened) Builder.EndHyperlink();
}

void TDocxReader::SimpleField(const xmlNode* field) {
    TField simple;
    simple.Instruction = WAttribute(field, "instr").value_or("");
    BeginFieldResult(simple);
    Inline(field);
    EndField(simple);
}

void TDocxReader::FieldChar(const xmlNode* fieldChar) {
    const std::string type = WAttribute(fieldChar, "fldCharType").value_or("");
    if (type == "begin") {
        Fields.emplace_back();
    } else if (type == "separate" && !Fields.empty() && !Fields.back().Separated) {
        BeginFieldResult(Fields.back());
    } else if (type == "end" && !Fields.empty()) {
        EndField(Fields.back());
        Fields.pop_back();
    }
}

// The field's result begins: a hyperlink field opens its link, a
// table-of-contents field its table of contents.
void TDocxReader::BeginFieldResult(TField& field) {
    field.Separated = true;
    const std::vector<std::string> words = InstructionWords(field.Instruction);
    if (words.empty()) return;
    if (words.front() == "TOC") {
        field.Kind = TFieldKind::Contents;
        if (ContentsDepth++ == 0) Builder.SetInTableOfContents(true);
        return;
    }
    if (words.front() != "HYPERLINK") return;
    field.Kind = TFieldKind::Hyperlink;
    std::string address, anchor;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "\\l" && i + 1 < words.size()) {
            anchor = words[++i];
        } else if ((words[i] == "\\o" || words[i] == "\\t") && i + 1 < words.size()) {
            ++i;
        } else if (!words[i].starts_with('\\') && address.empty()) {
            address = words[i];
        }
    }
    if (Builder.InHyperlink() || (address.empty() && anchor.empty())) return;
    Builder.BeginHyperlink(FromUtf8(address), FromUtf8(anchor));
    field.OpenedLink = true;
}

void TDocxReader::EndField(const TField& field) {
    if (field.OpenedLink) Builder.EndHyperlink();
    if (field.Kind == TFieldKind::Contents && --ContentsDepth == 0)
        Builder.SetInTableOfContents(false);
}

void TDocxReader::Drawing(const xmlNode* drawing) {
    const xmlNode* properties = FindLocal(drawing, "docPr");
    std::string description = PlainAttribute(properties, "descr").value_or("");
    const xmlNode* blip = FindLocal(drawing, "blip");
    // A shape or chart without a picture; a text box's picture is its own.
    if (!blip || InTextBox(blip, drawing)) return;
    auto id = AttributeIn(blip, "embed", kRelationshipNamespaces);
    if (!id) id = AttributeIn(blip, "link", kRelationshipNamespaces);
    AddPicture(id, std::move(description));
}

void TDocxReader::QueueTextBoxes(const xmlNode* shape) {
    for (const xmlNode* child = shape->children; child; child = child->next) {
        if (IsW(child, "txbxContent"))
            TextBoxes.push_back(child);
        else if (IsElement(child))
            QueueTextBoxes(child);
    }
}

void TDocxReader::VmlPicture(const xmlNode* picture) {
    const xmlNode* data = FindLocal(picture, "imagedata");
    if (!data || InTextBox(data, picture)) return;
    const xmlNode* shape = FindLocal(picture, "shape");
    AddPicture(AttributeIn(data, "id", kRelationshipNamespaces),
               PlainAttribute(shape, "alt").value_or(""));
}

// The picture a relationship names: the bytes of its media part; none for
// one that lies outside the package (a linked picture).
void TDocxReader::AddPicture(const std::optional<std::string>& relationshipId,
                             std::string description) {
    if (InFieldInstruction()) return;
    TWordPicture picture;
    picture.AlternativeText = FromUtf8(description);
    if (relationshipId) {
        const auto found = Relationships->find(*relationshipId);
        if (found != Relationships->end()) {
            picture.Name = found->second.Target;
            if (!found->second.External)
                picture.Bytes = Package.TryRead(found->second.Target).value_or("");
        }
    }
    Builder.AddPicture(std::move(picture));
}

void TDocxReader::NoteReference(const xmlNode* reference, TNoteKind kind) {
    const auto id = WAttribute(reference, "id");
    if (!id) return;
    auto& numbers = NoteNumbers[static_cast<int>(kind)];
    auto [found, added] = numbers.emplace(*id, static_cast<int>(numbers.size()) + 1);
    if (added) NotesReferenced.push_back({kind, *id, found->second});
    const std::u16string number = IntToStr(found->second);
    const std::u16string anchor = NoteAnchor(kind, found->second);
    const bool link = !Builder.InHyperlink();
    if (link) Builder.BeginHyperlink(u"", anchor);
    Text(u"[" + number + u"]");
    if (link) Builder.EndHyperlink();
}

// The notes of one kind that the text refers to, in the order of their
// first reference, each a paragraph or more after the body with its anchor.
void TDocxReader::Notes(TNoteKind kind, const std::string& relationshipType) {
    std::vector<const TNote*> wanted;
    for (const TNote& note : NotesReferenced)
        if (note.Kind == kind) wanted.push_back(&note);
    if (wanted.empty()) return;
    const auto part = RelatedPart(DocumentRelationships, relationshipType);
    if (!part) return;
    const TRelationships partRelationships = ReadRelationships(*part);
    const TXmlDocument document = ReadPart(*part);
    std::map<std::string, const xmlNode*> notes;
    for (const TXmlNode node : document.Root().Children())
        if (const auto noteId = WAttribute(node.Raw(), "id"); noteId && node.IsElement())
            notes.emplace(*noteId, node.Raw());
    Relationships = &partRelationships;
    Fields.clear();
    for (const TNote* note : wanted) {
        const auto found = notes.find(note->Id);
        if (found == notes.end()) continue;
        CurrentNote = note;
        Builder.AddAnchor(NoteAnchor(kind, note->Number));
        Blocks(found->second);
        Fields.clear();
    }
    CurrentNote = nullptr;
    Relationships = &DocumentRelationships;
}

} // namespace

TWordDocument ReadDocxDocument(TZipArchive& package) {
    return TDocxReader(package).Read();
}

} // namespace paginor
