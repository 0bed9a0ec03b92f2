#include "maker/bFB2.h"

#include "core/bVar.h"
#include "maker/bImport.h"
#include "platform/PictureConverter.h"
#include "platform/Xml.h"
#include "platform/ZipArchive.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace paginor {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Book text never carries the markup's delimiters: a "<" would open a tag and
// swallow the text up to the next ">", and a lone ">" would be dropped. They
// are shown as the single angle quotation marks instead.
constexpr std::string_view kLessThanShown = "\xE2\x80\xB9";    // U+2039
constexpr std::string_view kGreaterThanShown = "\xE2\x80\xBA"; // U+203A
constexpr size_t kMaxPictureName = 80;

// The binary id an image element refers to: "#id" in its first attribute
// whose name holds "href"; nothing for a picture outside the book.
std::optional<std::string> ImageId(TXmlNode element) {
    if (!element.Is("image") || !element.HasAttributes()) return std::nullopt;
    for (const TXmlAttribute attribute : element.Attributes()) {
        if (attribute.Name().find("href") == std::string::npos) continue;
        const std::string target = attribute.Value();
        if (!target.starts_with('#')) return std::nullopt;
        return target.substr(1);
    }
    return std::nullopt;
}

// FB2's inline (style) elements: their content is text, styled, within a
// paragraph, a verse line, a table cell or another of them.
constexpr std::string_view kInlineElements[] = {"strong",        "emphasis", "style", "a",
                                                "strikethrough", "sub",      "sup",   "code"};
// The elements whose content mixes text and inline elements, besides the
// inline elements themselves (and the header fields whose text is read): a
// blank between two elements inside one of them is a word space.
constexpr std::string_view kMixedContainers[] = {"p",         "v",   "subtitle",   "text-author",
                                                 "td",        "th",  "book-title", "first-name",
                                                 "last-name", "date"};

std::vector<std::string_view> MixedContentElements() {
    std::vector<std::string_view> names(std::begin(kMixedContainers), std::end(kMixedContainers));
    names.insert(names.end(), std::begin(kInlineElements), std::end(kInlineElements));
    return names;
}

// An FB2 error names the line of the element it concerns.
TBookError Fb2Error(TXmlNode node, const std::string& message) {
    return TBookError("FB2 error in line " + std::to_string(node.Line()) + ": " + message);
}

bool IsInline(TXmlNode node) {
    return std::any_of(std::begin(kInlineElements), std::end(kInlineElements),
                       [&](std::string_view name) { return node.Is(name); });
}

// The text of an element whose text is wanted (a header field, a binary):
// its text and CDATA and the text of its inline elements, joined in order.
// Anything else inside it (a paragraph, a picture) cannot be read as its
// text and fails the book.
std::string ElementText(TXmlNode element) {
    std::string text;
    for (const TXmlNode child : element.Children()) {
        if (!child.IsElement())
            text += child.Value();
        else if (IsInline(child))
            text += ElementText(child);
        else
            throw Fb2Error(child, "the element " + element.Name() + " holds the element " +
                                      child.Name() + ", which cannot be read as its text");
    }
    return text;
}

// One import: the converters of the FictionBook elements, appending tagged
// text (UTF-8 until the end) to Output.
class TFictionBookConverter {
public:
    TFictionBookConverter(const TBookObject& log, const std::u16string& pictureDir, TXmlNode root)
        : Log(log), PictureDir(ToUtf8(pictureDir)), Root(root) {
        if (!PictureDir.empty() && PictureDir.back() != '/') PictureDir += '/';
    }

    // BookInfo and SplashFileName from title-info, when there is one.
    void ReadHeader(TXmlNode description, TBookConfig& config);
    // Every body of the book, in order.
    std::string ConvertBodies();

private:
    void ConvertSection(TXmlNode element);
    void ConvertTitle(TXmlNode element);
    void ConvertParagraph(TXmlNode element);
    // The mixed content of a paragraph or a table cell, then a line break.
    void ConvertMixedContent(TXmlNode element);
    void ConvertLink(TXmlNode link);
    void ConvertEpigraph(TXmlNode element);
    void ConvertPoem(TXmlNode element);
    void ConvertCite(TXmlNode element);
    void ConvertTable(TXmlNode element);
    void CollectText(TXmlNode node);
    std::string SaveImageElement(TXmlNode element, std::string_view what = "Picture");
    std::string SavePicture(const std::string& id, std::string_view what);
    std::string SaveCover(TXmlNode image);
    size_t DecodePictureData(TXmlNode binary, const std::string& fileName);

    void AppendText(std::string_view text);
    void AppendImageTag(const std::string& fileName);
    TXmlNode FindBinary(const std::string& id);
    std::string UniquePictureName(const std::string& id);

    const TBookObject& Log;
    std::string PictureDir; // with a trailing "/" unless empty
    TXmlNode Root;
    std::string Output;
    int SectionDepth = 0;
    bool InTitle = false;
    bool BinariesIndexed = false;
    std::unordered_map<std::string, TXmlNode> Binaries; // id -> first binary
    std::unordered_map<std::string, std::string> Saved; // id -> file name
    std::set<std::string> UsedNames;
};

void TFictionBookConverter::ReadHeader(TXmlNode description, TBookConfig& config) {
    const TXmlNode titleInfo = description.Child("title-info");
    if (!titleInfo) return;
    // The details read "title, first last, date"; a part that is missing or
    // blank is left out with its separator.
    const auto join = [](std::string& to, std::string_view separator, TXmlNode part) {
        if (!part) return;
        const std::string text = TrimControls(ElementText(part));
        if (text.empty()) return;
        if (!to.empty()) to += separator;
        to += text;
    };
    std::string info;
    join(info, ", ", titleInfo.Child("book-title"));
    config.BookTitle = FromUtf8(info);
    if (const TXmlNode author = titleInfo.Child("author")) {
        std::string name;
        join(name, " ", author.Child("first-name"));
        join(name, " ", author.Child("last-name"));
        if (!name.empty()) info += (info.empty() ? "" : ", ") + name;
        config.BookAuthor = FromUtf8(name);
    }
    join(info, ", ", titleInfo.Child("date"));
    config.BookInfo = FromUtf8(info);
    if (const TXmlNode image = titleInfo.Child("coverpage").Child("image"))
        config.SplashFileName = FromUtf8(SaveCover(image));
}

// The cover becomes the splash picture as a PNG that fits the smallest screen
// the reader targets: another format, or a larger picture, is converted
// (keeping its proportions); a PNG that fits is kept byte for byte. A cover
// that cannot be had is left out with a level-6 line, so that the book still
// builds, with the splash screen's text alone. Returns "" then.
std::string TFictionBookConverter::SaveCover(TXmlNode image) {
    const std::string source = SaveImageElement(image, "Cover picture");
    if (source.empty()) return {};
    const std::string target = PictureDir + UniquePictureName("splash.png");
    return MakeCoverPicture(Log, source, target, SafeTagArgument(*ImageId(image))) ? target : "";
}

std::string TFictionBookConverter::ConvertBodies() {
    Output.clear();
    SectionDepth = 0;
    InTitle = false;
    for (const TXmlNode child : Root.Children())
        ConvertSection(child);
    return std::move(Output);
}

void TFictionBookConverter::ConvertSection(TXmlNode element) {
    if (!element.Is("section") && !element.Is("body")) return;
    ++SectionDepth;
    if (const auto id = element.Attribute("id")) {
        Output += "<#label " + SafeTagArgument(*id) + ">";
        Output += kLineBreak;
    }
    for (const TXmlNode child : element.Children()) {
        ConvertSection(child);
        if (child.Is("image")) {
            const std::string fileName = SaveImageElement(child);
            if (!fileName.empty()) {
                AppendImageTag(fileName);
                Output += kLineBreak;
            }
        }
        ConvertTitle(child);
        ConvertEpigraph(child);
        ConvertPoem(child);
        ConvertTable(child);
        ConvertCite(child);
        if (!child.Is("title")) ConvertParagraph(child);
    }
    --SectionDepth;
}

void TFictionBookConverter::ConvertTitle(TXmlNode element) {
    if (!element.Is("title") || !element.HasChildren()) return;
    Output += kLineBreak;
    Output += "<#header " + std::to_string(SectionDepth) + ">";
    InTitle = true;
    for (const TXmlNode child : element.Children())
        ConvertParagraph(child);
    if (Output.ends_with(kLineBreak)) Output.resize(Output.size() - kLineBreak.size());
    Output += "<#/header>";
    Output += kLineBreak;
    Output += kLineBreak;
    InTitle = false;
}

// An empty-line between paragraphs, stanzas or verse lines is an empty line
// of its own; one directly after an empty line (a title's, a stanza's end)
// adds nothing, nor does one inside a title.
void TFictionBookConverter::ConvertParagraph(TXmlNode element) {
    if (element.Is("empty-line")) {
        const std::string emptyLine = std::string(kLineBreak) + std::string(kLineBreak);
        if (!InTitle && !Output.empty() && !Output.ends_with(emptyLine)) Output += kLineBreak;
        return;
    }
    if (!element.Is("p") && !element.Is("v") && !element.Is("text-author") &&
        !element.Is("subtitle"))
        return;
    ConvertMixedContent(element);
}

void TFictionBookConverter::ConvertMixedContent(TXmlNode element) {
    for (const TXmlNode child : element.Children()) {
        if (child.Is("a")) {
            if (InTitle)
                CollectText(child);
            else
                ConvertLink(child);
        } else if (child.Is("empty-line")) {
            Output += kLineBreak;
        } else if (child.Is("image")) {
            // A picture cannot stand inside a header: the markup forbids it.
            if (InTitle) continue;
            const std::string fileName = SaveImageElement(child);
            if (!fileName.empty()) AppendImageTag(fileName);
        } else if (child.Is("p")) {
            CollectText(child);
            Output += kLineBreak;
        } else {
            CollectText(child);
        }
    }
    Output += kLineBreak;
}

// A reference inside the book ("#id") becomes a label link, any other the
// web, phone or SMS link DocumentLinkOf makes of it (a web address as the
// file has it), or else plain text. Only the first href attribute counts, so
// the text appears once; an "a" without one keeps its text without a link.
void TFictionBookConverter::ConvertLink(TXmlNode link) {
    for (const TXmlAttribute attribute : link.Attributes()) {
        if (attribute.Name().find("href") == std::string::npos) continue;
        const std::string target = attribute.Value();
        std::string argument;
        if (target.starts_with('#')) {
            argument = "label " + SafeTagArgument(std::string_view(target).substr(1));
        } else if (const auto made = DocumentLinkOf(target)) {
            argument = made->Kind + " " + made->Target;
        } else {
            Log.Log(7, PlainLinkLine(target));
            break;
        }
        Output += "<#link " + argument + ">";
        CollectText(link);
        Output += "<#/link>";
        return;
    }
    CollectText(link);
}

// An epigraph is mostly a quotation: its paragraphs, tables, verse and cites
// are all kept, since dropping a poem quoted at a chapter's head loses text.
void TFictionBookConverter::ConvertEpigraph(TXmlNode element) {
    if (!element.Is("epigraph") || !element.HasChildren()) return;
    for (const TXmlNode child : element.Children()) {
        ConvertParagraph(child);
        ConvertTable(child);
        ConvertPoem(child);
        ConvertCite(child);
        if (child.Is("image")) {
            const std::string fileName = SaveImageElement(child);
            if (!fileName.empty()) {
                Output += kLineBreak;
                AppendImageTag(fileName);
                Output += kLineBreak;
            }
        }
    }
}

// A poem keeps its epigraph and the date under it (a line of its own), like
// the rest of the author's text.
void TFictionBookConverter::ConvertPoem(TXmlNode element) {
    if ((!element.Is("poem") && !element.Is("stanza")) || !element.HasChildren()) return;
    for (const TXmlNode child : element.Children()) {
        if (child.Is("stanza")) {
            ConvertPoem(child);
            Output += kLineBreak;
        }
        if (child.Is("date")) {
            CollectText(child);
            Output += kLineBreak;
        }
        ConvertTitle(child);
        ConvertEpigraph(child);
        ConvertParagraph(child);
    }
}

void TFictionBookConverter::ConvertCite(TXmlNode element) {
    if (!element.Is("cite")) return;
    for (const TXmlNode child : element.Children()) {
        if (child.Is("image")) {
            const std::string fileName = SaveImageElement(child);
            if (!fileName.empty()) {
                AppendImageTag(fileName);
                Output += kLineBreak;
            }
        }
        ConvertPoem(child);
        ConvertTable(child);
        ConvertCite(child);
        ConvertParagraph(child);
    }
}

void TFictionBookConverter::ConvertTable(TXmlNode element) {
    if (!element.Is("table") || !element.HasChildren()) return;
    // A cell holds text with the same inline markup as a paragraph: its
    // styled runs, links and pictures are kept.
    int row = 0;
    for (const TXmlNode tableRow : element.Children()) {
        ++row;
        int column = 0;
        for (const TXmlNode cell : tableRow.Children()) {
            ++column;
            Output += "[" + std::to_string(row) + ", " + std::to_string(column) + "]: ";
            ConvertMixedContent(cell);
        }
    }
}

void TFictionBookConverter::CollectText(TXmlNode node) {
    if (!node.HasChildren()) {
        AppendText(node.Value());
        return;
    }
    for (const TXmlNode child : node.Children())
        CollectText(child);
}

// The picture an image element refers to, saved once per import; "" when
// there is no such binary, or when it holds no picture (told once, at level
// 6, naming it as `what`).
std::string TFictionBookConverter::SaveImageElement(TXmlNode element, std::string_view what) {
    const std::optional<std::string> id = ImageId(element);
    if (!id) return {};
    if (const auto saved = Saved.find(*id); saved != Saved.end()) return saved->second;
    return Saved.emplace(*id, SavePicture(*id, what)).first->second;
}

// Decodes the binary of the id into the picture folder and checks that it is
// a picture (PNG, JPEG, GIF or BMP by its content), so that a broken book
// loses the picture, not the book.
std::string TFictionBookConverter::SavePicture(const std::string& id, std::string_view what) {
    const std::string named = "? " + std::string(what) + " " + SafeTagArgument(id);
    const TXmlNode binary = FindBinary(id);
    if (!binary) {
        Log.Log(6, named + " is left out: the book has no binary of that id");
        return {};
    }
    const std::string fileName = PictureDir + UniquePictureName(id);
    const size_t size = DecodePictureData(binary, fileName);
    try {
        if (size == 0) throw TBookError("its binary is empty");
        TPictureConverter::Inspect(ToPath(FromUtf8(fileName)));
    } catch (const std::exception& e) {
        Log.Log(6, named + " is left out: " + e.what());
        std::error_code ec;
        std::filesystem::remove(ToPath(FromUtf8(fileName)), ec);
        return {};
    }
    return fileName;
}

size_t TFictionBookConverter::DecodePictureData(TXmlNode binary, const std::string& fileName) {
    const std::string bytes = DecodeBase64(ElementText(binary));
    try {
        WriteWholeFile(ToPath(FromUtf8(fileName)), bytes);
    } catch (const TBookError& error) {
        throw Fb2Error(binary, error.what());
    }
    Log.Log(7, "+ Loaded image [" + fileName + "], size [" + std::to_string(bytes.size()) +
                   "] bytes from FB2 file");
    return bytes.size();
}

// Appends a text node. A line break in the XML source is only layout (a
// pretty-printed book wraps and indents its paragraphs), so a run of white
// space that holds one becomes a single blank, or nothing at the start of a
// line; blanks within a line are the author's and stay.
void TFictionBookConverter::AppendText(std::string_view source) {
    constexpr std::string_view kSpace = " \t\r\n";
    const std::string visible = WithoutInvisibleMarks(source);
    std::string_view text = visible;
    while (!text.empty()) {
        const size_t cut = text.find_first_of("<>\r\n");
        if (cut == std::string_view::npos) break;
        if (text[cut] == '<' || text[cut] == '>') {
            Output += text.substr(0, cut);
            Output += text[cut] == '<' ? kLessThanShown : kGreaterThanShown;
            text.remove_prefix(cut + 1);
            continue;
        }
        const size_t runStart = text.find_last_not_of(kSpace, cut);
        const size_t runEnd = text.find_first_not_of(kSpace, cut);
        Output += text.substr(0, runStart == std::string_view::npos ? 0 : runStart + 1);
        if (!Output.empty() && !Output.ends_with('\n')) Output += ' ';
        text.remove_prefix(runEnd == std::string_view::npos ? text.size() : runEnd);
    }
    Output += text;
}

void TFictionBookConverter::AppendImageTag(const std::string& fileName) {
    Output += "<#image " + fileName + ">";
}

TXmlNode TFictionBookConverter::FindBinary(const std::string& id) {
    if (!BinariesIndexed) {
        for (const TXmlNode child : Root.Children()) {
            if (!child.Is("binary")) continue;
            if (const auto binaryId = child.Attribute("id")) Binaries.emplace(*binaryId, child);
        }
        BinariesIndexed = true;
    }
    const auto found = Binaries.find(id);
    return found == Binaries.end() ? TXmlNode() : found->second;
}

// Two ids that sanitise to one name get "-2", "-3", ... before the extension.
std::string TFictionBookConverter::UniquePictureName(const std::string& id) {
    const std::string name = SafePictureName(id);
    if (UsedNames.insert(name).second) return name;
    const size_t dot = name.rfind('.');
    const size_t split = dot == std::string::npos || dot == 0 ? name.size() : dot;
    for (int number = 2;; ++number) {
        std::string candidate =
            name.substr(0, split) + "-" + std::to_string(number) + name.substr(split);
        if (UsedNames.insert(candidate).second) return candidate;
    }
}

} // namespace

std::string DecodeBase64(std::string_view text) {
    static const std::array<int8_t, 256> kValues = [] {
        std::array<int8_t, 256> values{};
        values.fill(-1);
        const std::string_view alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (size_t i = 0; i < alphabet.size(); ++i)
            values[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
        return values;
    }();
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') {
            if (count == 2) {
                out += static_cast<char>(group >> 4);
            } else if (count == 3) {
                out += static_cast<char>(group >> 10);
                out += static_cast<char>((group >> 2) & 0xFF);
            }
            return out;
        }
        const int value = kValues[static_cast<unsigned char>(c)];
        if (value < 0) continue;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++count == 4) {
            out += static_cast<char>(group >> 16);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            count = 0;
        }
    }
    return out;
}

std::string SafePictureName(std::string_view id) {
    std::u16string name = LowerCase(FromUtf8(id));
    for (char16_t& c : name)
        if (c <= 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u'<' || c == u'>' ||
            c == u'[' || c == u']')
            c = u'_';
    for (size_t dots = name.find(u".."); dots != std::u16string::npos; dots = name.find(u".."))
        name[dots] = u'_';
    if (name.empty() || name == u".") name.assign(1, u'_');
    if (name.size() > kMaxPictureName) {
        size_t start = name.size() - kMaxPictureName;
        if (name[start] >= 0xDC00 && name[start] <= 0xDFFF) ++start; // keep pairs whole
        name.erase(0, start);
    }
    return ToUtf8(name);
}

namespace {

// The FB2 document in `bytes` (the whole file as read) becomes tagged text.
std::u16string ConvertFictionBook(const TBookObject& log, TBookConfig& config,
                                  std::string_view bytes, const std::u16string& pictureDir) {
    std::string_view content = bytes;
    if (content.starts_with(kUtf8Mark)) content.remove_prefix(kUtf8Mark.size());
    const TXmlDocument document = TXmlDocument::Parse(
        content,
        {.DropBlankText = true, .MixedContent = MixedContentElements(), .DropComments = true});
    log.Log(7, "+ FB2 file opened, size " + std::to_string(bytes.size()));

    const TXmlNode root = document.Root();
    if (!root.Is("FictionBook"))
        throw Fb2Error(root, "FB2 file does not contian FictionBook element");
    log.Log(7, ".. Decoding book header");
    const TXmlNode description = root.Child("description");
    if (!description) throw Fb2Error(root, "FB2 file does not contian description element");
    TFictionBookConverter converter(log, pictureDir, root);
    converter.ReadHeader(description, config);
    log.Log(7, ".. Decoding book body");
    const std::string text = converter.ConvertBodies();
    log.Log(6, "+ FB2 file decoded");
    return FromUtf8(text);
}

bool IsFictionBookEntry(const std::string& name) {
    return name.size() > 4 && LowerCase(FromUtf8(name.substr(name.size() - 4))) == u".fb2";
}

} // namespace

std::u16string ImportFictionBook(const TBookObject& log, TBookConfig& config,
                                 const std::u16string& fileName, const std::u16string& pictureDir) {
    log.Log(6, ".. Starting XML parser ");
    log.Log(6, ".. Opening file " + ToUtf8(fileName));
    return ConvertFictionBook(log, config, ReadWholeFile(ToPath(fileName)), pictureDir);
}

std::u16string ImportZippedFictionBook(const TBookObject& log, TBookConfig& config,
                                       const std::u16string& fileName,
                                       const std::u16string& pictureDir) {
    log.Log(6, ".. Starting XML parser ");
    log.Log(6, ".. Opening file " + ToUtf8(fileName));
    TZipArchive archive = TZipArchive::Open(ToPath(fileName));
    std::vector<std::string> books;
    for (const std::string& name : archive.Names())
        if (IsFictionBookEntry(name)) books.push_back(name);
    if (books.empty())
        throw TBookError("The archive " + ToUtf8(fileName) + " holds no FB2 book (no .fb2 entry)");
    if (books.size() > 1)
        log.Log(6, "+ The archive holds " + std::to_string(books.size()) +
                       " FB2 books; the first, [" + books.front() + "], is read");
    log.Log(7, ".. Reading [" + books.front() + "] from the archive");
    return ConvertFictionBook(log, config, archive.Read(books.front()), pictureDir);
}

} // namespace paginor
