#include "formats/HtmlDocument.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "platform/Xml.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

namespace paginor {

namespace {

// Where the charset declaration is looked for: the head of any real page.
constexpr size_t kDeclarationScan = 64 * 1024;
// Pictures larger than this are not read from a page's folder.
constexpr uintmax_t kMaxPictureFileSize = uintmax_t{64} << 20;

constexpr std::u16string_view kLineBreak = u"\r\n";

// Elements whose content is not text of the page.
constexpr std::array kSkipped = {"head",   "script", "style",  "template", "noscript",
                                 "svg",    "math",   "iframe", "select",   "textarea",
                                 "canvas", "audio",  "video",  "map"};
// Elements that stand as blocks: each ends the paragraph before it and its
// own text is a paragraph of its own.
constexpr std::array kBlocks = {
    "address", "article", "aside",  "blockquote", "body",    "caption", "center",   "dd",
    "details", "dialog",  "dir",    "div",        "dl",      "dt",      "fieldset", "figcaption",
    "figure",  "footer",  "form",   "h1",         "h2",      "h3",      "h4",       "h5",
    "h6",      "header",  "hgroup", "hr",         "li",      "main",    "menu",     "nav",
    "ol",      "p",       "pre",    "section",    "summary", "table",   "tbody",    "td",
    "tfoot",   "th",      "thead",  "tr",         "ul",      "html"};

// Elements that hold list items.
constexpr std::array kLists = {"ol", "ul", "menu", "dir"};

bool NameIn(const xmlNode* node, const auto& names) {
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char* candidate) { return name == candidate; });
}

// 1 to 6 for h1 to h6, otherwise 0.
int HeadingLevelOf(const xmlNode* node) {
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')
        return name[1] - '0';
    return 0;
}

bool IsCharsetChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == ':';
}

// The value after `key` and "=" (blanks and one quote allowed between), in
// lower case; "" when the text has none.
std::string ValueAfter(std::string_view text, std::string_view key) {
    for (size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        size_t i = at + key.size();
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
            ++i;
        if (i >= text.size() || text[i] != '=') continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '"' || text[i] == '\''))
            ++i;
        size_t end = i;
        while (end < text.size() && IsCharsetChar(text[end]))
            ++end;
        if (end > i) return std::string(text.substr(i, end - i));
    }
    return {};
}

// The charset the page declares, in lower case: the XML declaration's
// encoding, else the first meta element's charset ("<meta charset=...>" or
// the content of an http-equiv Content-Type); "" when it declares none.
std::string DeclaredCharset(std::string_view bytes) {
    const std::string head = LowerAscii(bytes.substr(0, kDeclarationScan));
    if (head.starts_with("<?xml")) {
        const size_t end = head.find("?>");
        const std::string encoding = ValueAfter(head.substr(0, end), "encoding");
        if (!encoding.empty()) return encoding;
    }
    for (size_t meta = head.find("<meta"); meta != std::string::npos;
         meta = head.find("<meta", meta + 1)) {
        const size_t end = head.find('>', meta);
        const std::string charset = ValueAfter(
            std::string_view(head).substr(meta, end == std::string::npos ? end : end - meta),
            "charset");
        if (!charset.empty()) return charset;
    }
    return {};
}

// ----- the walk -----

bool IsCollapsible(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

std::optional<std::string> AttributeOf(const xmlNode* node, const char* name) {
    return TXmlNode(const_cast<xmlNode*>(node)).Attribute(name);
}

// Whether the element's class list holds a Word table-of-contents paragraph
// style: "MsoToc1" to "MsoToc9" (not "MsoTocHeading", the title above it).
bool IsContentsEntry(const xmlNode* node) {
    const auto classes = AttributeOf(node, "class");
    if (!classes) return false;
    const std::string lower = LowerAscii(*classes);
    for (size_t at = lower.find("msotoc"); at != std::string::npos;
         at = lower.find("msotoc", at + 1)) {
        const size_t digit = at + 6;
        if ((at == 0 || lower[at - 1] == ' ') && digit < lower.size() && lower[digit] >= '1' &&
            lower[digit] <= '9')
            return true;
    }
    return false;
}

// Whether a reader never sees the element: the `hidden` attribute, or an
// inline style with "display: none" (a saved page's menus and pop-ups, text
// that Word hides).
bool IsHidden(const xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE) return false;
    if (AttributeOf(node, "hidden")) return true;
    const auto style = AttributeOf(node, "style");
    if (!style) return false;
    std::string compact;
    for (const char c : LowerAscii(*style))
        if (!IsCollapsible(static_cast<unsigned char>(c))) compact += c;
    for (size_t at = compact.find("display:none"); at != std::string::npos;
         at = compact.find("display:none", at + 1))
        if (at == 0 || compact[at - 1] == ';') return true;
    return false;
}

// A whole number attribute (a list's start, an item's value); `fallback`
// when it is missing or not a number.
long NumberAttribute(const xmlNode* node, const char* name, long fallback) {
    const auto value = AttributeOf(node, name);
    if (!value) return fallback;
    const std::string text = TrimControls(*value);
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0' && number > -1000000 && number < 1000000 ? number
                                                                                         : fallback;
}

class THtmlWalker {
public:
    THtmlWalker(TWordDocumentBuilder& builder, const TPictureSource& pictures)
        : Builder(builder), Pictures(pictures) {}

    // Walks the element's subtree in document order without recursion, so a
    // deeply nested page cannot exhaust the stack.
    void Walk(xmlNode* top) {
        xmlNode* node = top;
        for (;;) {
            if (Enter(node)) {
                if (node->children) {
                    node = node->children;
                    continue;
                }
                Leave(node);
            }
            // Up past the elements whose last child this was.
            while (node != top && !node->next) {
                node = node->parent;
                Leave(node);
            }
            if (node == top) return;
            node = node->next;
        }
    }

    void Finish() {
        if (Builder.InHyperlink() && LinkOwner) Builder.EndHyperlink();
        EndBlock();
    }

private:
    // Returns whether the node is entered: its children are walked, and
    // Leave is called for it after them. Only elements are entered.
    bool Enter(xmlNode* node) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            Text(reinterpret_cast<const char*>(node->content));
            return false;
        }
        if (node->type != XML_ELEMENT_NODE) return false;
        if (NameIn(node, kSkipped) || IsHidden(node)) return false;
        const std::string_view name = reinterpret_cast<const char*>(node->name);
        if (name == "br") {
            LineBreak();
            return false;
        }
        if (NameIn(node, kBlocks)) {
            EndBlock();
            InContentsEntry = IsContentsEntry(node);
            if (const int level = HeadingLevelOf(node)) Heading = level;
            if (name == "pre") {
                ++PreDepth;
                PreStart = true;
            }
        }
        if (NameIn(node, kLists)) {
            const auto type = AttributeOf(node, "type");
            Lists.push_back({name == "ol", NumberAttribute(node, "start", 1),
                             type && type->size() == 1 ? type->front() : '1'});
        }
        if (name == "li") ListItem(node);
        if (const auto id = AttributeOf(node, "id")) Builder.AddAnchor(FromUtf8(*id));
        if (name == "img") {
            Picture(node);
            return false;
        }
        if (name == "a") {
            if (const auto anchor = AttributeOf(node, "name")) Builder.AddAnchor(FromUtf8(*anchor));
            if (const auto href = AttributeOf(node, "href"); href && !Builder.InHyperlink()) {
                Space();
                BeginLink(*href);
                LinkOwner = node;
            }
        }
        return true;
    }

    void Leave(xmlNode* node) {
        const std::string_view name = reinterpret_cast<const char*>(node->name);
        if (node == LinkOwner) {
            Builder.EndHyperlink();
            LinkOwner = nullptr;
        }
        if (NameIn(node, kBlocks)) {
            EndBlock();
            if (name == "pre") --PreDepth;
            InContentsEntry = false;
            if (HeadingLevelOf(node)) Heading = 0;
        }
        if (NameIn(node, kLists) && !Lists.empty()) Lists.pop_back();
        if (name == "li") PendingMarker.clear();
    }

    // A list item begins with its bullet or number, as a browser shows it;
    // the marker waits for the item's first text, so an item whose text
    // stands in a paragraph of its own does not leave it on a line alone.
    void ListItem(const xmlNode* node) {
        if (Lists.empty() || !Lists.back().Ordered) {
            PendingMarker = u"\u2022 ";
            return;
        }
        TList& list = Lists.back();
        list.Next = NumberAttribute(node, "value", list.Next);
        PendingMarker = ListItemNumber(list.Next, list.Type) + u". ";
        ++list.Next;
    }

    void BeginLink(const std::string& href) {
        const std::string target = TrimControls(href);
        const size_t hash = target.find('#');
        std::u16string address = FromUtf8(target.substr(0, hash));
        std::u16string anchor;
        if (hash != std::string::npos)
            anchor = FromUtf8(DecodePercentEscapes(target.substr(hash + 1)));
        Builder.BeginHyperlink(std::move(address), std::move(anchor));
    }

    void Picture(const xmlNode* node) {
        const auto source = AttributeOf(node, "src");
        if (!source) return;
        TWordPicture picture;
        picture.Name = TrimControls(*source);
        if (auto bytes = Pictures(picture.Name)) picture.Bytes = std::move(*bytes);
        if (const auto alt = AttributeOf(node, "alt")) picture.AlternativeText = FromUtf8(*alt);
        Builder.SetInTableOfContents(InContentsEntry);
        Builder.AddPicture(std::move(picture));
    }

    // A blank that collapsed whitespace left is written only before the
    // next visible text, and never at the start of a line.
    void Space() {
        if (!PendingSpace) return;
        PendingSpace = false;
        const std::u16string& text = Builder.ParagraphText();
        if (!text.empty() && text.back() != u'\n') Put(u" ");
    }

    void Put(std::u16string_view text) {
        Builder.SetInTableOfContents(InContentsEntry);
        if (!PendingMarker.empty()) {
            Builder.AppendText(PendingMarker);
            PendingMarker.clear();
        }
        Builder.AppendText(text);
    }

    void Text(const char* utf8) {
        const std::u16string text = FromUtf8(WithoutInvisibleMarks(utf8 ? utf8 : ""));
        if (PreDepth > 0) {
            PreText(text);
            return;
        }
        size_t start = 0;
        while (start < text.size()) {
            if (IsCollapsible(text[start])) {
                PendingSpace = true;
                ++start;
                continue;
            }
            size_t end = start;
            while (end < text.size() && !IsCollapsible(text[end]))
                ++end;
            Space();
            Put(std::u16string_view(text).substr(start, end - start));
            start = end;
        }
    }

    // Inside a pre every line is a paragraph and blanks stay; a line break
    // right after the opening tag is not shown, as in a browser.
    void PreText(std::u16string_view text) {
        if (std::exchange(PreStart, false) && !text.empty())
            text.remove_prefix(text.starts_with(u"\r\n") ? 2 : text.front() == u'\n' ? 1 : 0);
        while (!text.empty()) {
            const size_t end = text.find_first_of(u"\r\n");
            Put(text.substr(0, end));
            if (end == std::u16string_view::npos) return;
            const size_t next = text.substr(end, 2) == u"\r\n" ? end + 2 : end + 1;
            Builder.EndParagraph(Heading);
            text.remove_prefix(next);
        }
    }

    void LineBreak() {
        PendingSpace = false;
        Put(kLineBreak);
    }

    void EndBlock() {
        PendingSpace = false;
        if (Builder.ParagraphIsEmpty()) return;
        Builder.EndParagraph(Heading);
    }

    struct TList {
        bool Ordered;
        long Next;
        char Type;
    };

    TWordDocumentBuilder& Builder;
    const TPictureSource& Pictures;
    std::vector<TList> Lists;
    std::u16string PendingMarker;
    const xmlNode* LinkOwner = nullptr;
    bool PendingSpace = false;
    bool InContentsEntry = false;
    int Heading = 0;
    int PreDepth = 0;
    bool PreStart = false;
};

// Word writes "downlevel-revealed" conditional comments around list numbers
// and the like: "<![if !supportLists]>1.<![endif]>". Browsers take "<![" up to
// the next ">" for a comment and show what stands between; libxml2 would show
// the markers as text, so they go. A CDATA section (XHTML) becomes its text,
// which libxml2's HTML parser would show with its markers too; comments are
// passed over whole.
std::string WithoutBogusComments(const std::string& text) {
    std::string out;
    size_t kept = 0, at = 0;
    while ((at = text.find("<!", at)) != std::string::npos) {
        if (text.compare(at, 4, "<!--") == 0) {
            const size_t end = text.find("-->", at + 4);
            if (end == std::string::npos) break;
            at = end + 3;
            continue;
        }
        const bool data = text.compare(at, 9, "<![CDATA[") == 0;
        const size_t end = data ? text.find("]]>", at) : text.find('>', at);
        if (end == std::string::npos) break;
        if (text.compare(at, 3, "<![") == 0) {
            out.append(text, kept, at - kept);
            if (data)
                for (const char c : std::string_view(text).substr(at + 9, end - at - 9))
                    out += c == '<'   ? "&lt;"
                           : c == '>' ? "&gt;"
                           : c == '&' ? "&amp;"
                                      : std::string(1, c);
            kept = end + (data ? 3 : 1);
        }
        at = end + 1;
    }
    if (kept == 0) return text;
    out.append(text, kept, std::string::npos);
    return out;
}

struct THtmlContextDeleter {
    void operator()(htmlParserCtxtPtr context) const { htmlFreeParserCtxt(context); }
};

} // namespace

std::u16string DecodeHtmlPage(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (littleEndian || bytes.starts_with("\xFE\xFF")) {
        if (auto text = DecodeCharsetText(bytes.substr(2), littleEndian ? "UTF-16LE" : "UTF-16BE"))
            return std::move(*text);
    }
    std::string charset = DeclaredCharset(bytes);
    // A page whose declaration could be read in ASCII is not UTF-16, and
    // browsers read Latin-1 and ASCII pages as windows-1252.
    if (charset.starts_with("utf-16") || charset == "utf8") charset = "utf-8";
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii" ||
        charset == "ascii" || charset == "iso8859-1")
        charset = "windows-1252";
    if (!charset.empty())
        if (auto text = DecodeCharsetText(bytes, charset)) return std::move(*text);
    return DecodeUndeclaredText(bytes);
}

// The page's title and author, from its head (or wherever a page without
// one puts its title and meta tags).
TDocumentDetails PageDetails(TXmlNode root) {
    TDocumentDetails details;
    std::u16string metaTitle;
    root.ForEachElement([&](TXmlNode node) {
        if (node.LocalIs("title") && details.Title.empty())
            details.Title = FromUtf8(CollapseBlanks(node.AllText()));
        if (!node.LocalIs("meta")) return;
        const std::string kind = LowerAscii(node.LocalAttribute("name").value_or(""));
        const std::u16string content =
            FromUtf8(CollapseBlanks(node.LocalAttribute("content").value_or("")));
        if (details.Author.empty() &&
            (kind == "author" || kind == "dc.creator" || kind == "dcterms.creator"))
            details.Author = content;
        if (metaTitle.empty() && (kind == "dc.title" || kind == "dcterms.title"))
            metaTitle = content;
    });
    if (details.Title.empty()) details.Title = metaTitle;
    return details;
}

TDocumentDetails ReadHtmlInto(TWordDocumentBuilder& builder, std::string_view bytes,
                              const std::string& name, const TPictureSource& pictures) {
    const std::string text = WithoutBogusComments(ToUtf8(DecodeHtmlPage(bytes)));
    if (text.size() > static_cast<size_t>(INT_MAX))
        throw TBookError("Can't read " + name + ": the page is larger than 2 GB");
    std::unique_ptr<htmlParserCtxt, THtmlContextDeleter> context(htmlNewParserCtxt());
    if (!context) throw TBookError("Can't read " + name + ": can't create the HTML parser");
    // The text is UTF-8 now, whatever the page declares; the parser reads
    // nothing but these bytes. HTML knows no entities but its own, so the
    // parser's limits for XML (nesting depth, text node size) are lifted:
    // they would silently cut a long book or a deeply nested page short.
    const int options = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_IGNORE_ENC | HTML_PARSE_NODEFDTD | XML_PARSE_HUGE;
    xmlDoc* raw = htmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()),
                                     nullptr, "UTF-8", options);
    const TXmlDocument document(raw);
    if (context->disableSAX) {
        // The parser gave up part way (out of memory): the rest would be lost.
        const xmlError* error = xmlCtxtGetLastError(context.get());
        throw TBookError("Can't read " + name + ": " +
                         (error && error->message ? TrimControls(std::string_view(error->message))
                                                  : std::string("the HTML parser stopped")));
    }
    if (!raw || !document.Root()) {
        // An empty page, or one of nothing but blanks, has no paragraphs.
        if (text.find_first_not_of(" \t\r\n") == std::string::npos) return {};
        throw TBookError("Can't read " + name + ": not an HTML page");
    }
    THtmlWalker walker(builder, pictures);
    walker.Walk(document.Root().Raw());
    walker.Finish();
    return PageDetails(document.Root());
}

TWordDocument ReadHtmlDocument(std::string_view bytes, const std::string& name,
                               const TPictureSource& pictures) {
    TWordDocumentBuilder builder;
    const TDocumentDetails details = ReadHtmlInto(builder, bytes, name, pictures);
    TWordDocument document = builder.Finish();
    document.Details = details;
    return document;
}

TPictureSource PicturesBesidePage(const std::filesystem::path& page) {
    namespace fs = std::filesystem;
    const fs::path folder = page.has_parent_path() ? page.parent_path() : fs::path(".");
    const std::string pageName = page.string();
    return [folder, pageName](const std::string& reference) -> std::optional<std::string> {
        std::string target = reference.substr(0, reference.find_first_of("?#"));
        if (target.empty() || HasUriScheme(target)) return std::nullopt;
        target = DecodePercentEscapes(target);
        const auto outside = [&] {
            return TBookError("The picture " + reference + " of " + pageName +
                              " lies outside the page's folder");
        };
        const fs::path relative = fs::path(target).lexically_normal();
        if (relative.is_absolute() || target.find('\0') != std::string::npos ||
            (!relative.empty() && *relative.begin() == ".."))
            throw outside();
        // Symbolic links are followed before the test, so a link beside the
        // page cannot lead out of its folder either.
        std::error_code folderError, fileError, error;
        const fs::path realFolder = fs::weakly_canonical(folder, folderError);
        const fs::path realFile = fs::weakly_canonical(folder / relative, fileError);
        if (folderError || fileError) return std::nullopt;
        const auto mismatch =
            std::mismatch(realFolder.begin(), realFolder.end(), realFile.begin(), realFile.end());
        if (mismatch.first != realFolder.end()) throw outside();
        if (!fs::is_regular_file(realFile, error) ||
            fs::file_size(realFile, error) > kMaxPictureFileSize || error)
            return std::nullopt;
        try {
            return ReadWholeFile(realFile);
        } catch (const TBookError&) {
            return std::nullopt;
        }
    };
}

} // namespace paginor
