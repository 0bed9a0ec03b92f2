#include "maker/bEpub.h"

#include "core/bVar.h"
#include "formats/EpubPackage.h"
#include "formats/HtmlDocument.h"
#include "maker/bImport.h"
#include "maker/bWord.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr char16_t kParagraphMark = u'\r';
constexpr std::string_view kSvgMediaType = "image/svg+xml";
// How many of a document's first paragraphs may together spell out the
// title of the contents entry that leads there ("I", "A Letter").
constexpr size_t kMaxTitleParagraphs = 4;

// The label a place in the book is known by: the document's entry name, and
// "#" and the anchor for a place inside it. Anchors are unique only within
// their document, so every one is qualified by it.
std::u16string PlaceName(const std::string& document, std::u16string_view anchor = {}) {
    std::u16string name = FromUtf8(document);
    if (!anchor.empty()) name += u"#" + std::u16string(anchor);
    return name;
}

// The letters and digits of a text, lower-cased: what a title and the
// heading that shows it have in common, whatever their blanks, punctuation
// and splitting into lines.
std::u16string TitleKey(std::u16string_view text) {
    std::u16string key;
    for (const char16_t c : text) {
        const bool ascii =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool punctuation = c < 0xC0 || c == 0xD7 || c == 0xF7 ||
                                 (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) ||
                                 (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF0F);
        if (ascii || !punctuation) key += LowerChar(c);
    }
    return key;
}

// An SVG drawing by its declared type or by its content (markup, where a
// picture file starts with its signature).
bool IsSvgDrawing(const TEpubItem* item, std::string_view bytes) {
    if (item && item->MediaType == kSvgMediaType) return true;
    const size_t first = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return first != std::string_view::npos && bytes[first] == '<';
}

// One import: the spine's documents read and joined into one document of the
// Word document model, with the book's table of contents put in.
class TEpubConverter {
public:
    TEpubConverter(const TBookObject& log, TEpubPackage& package) : Log(log), Package(package) {}

    TWordDocument ReadBook();
    void ReadMetadata(TBookConfig& config, const std::u16string& pictureDir);

private:
    struct TContentsHeading {
        size_t Before; // the paragraph it stands before
        std::u16string Title;
        int Depth;
    };

    void ReadDocument(const std::string& entry);
    std::optional<std::string> Picture(const std::string& document, const std::string& reference);
    void QualifyLinks(TWordParagraph& paragraph, const std::string& document) const;
    std::vector<TContentsHeading> ContentsHeadings() const;
    size_t TitleParagraphs(size_t first, const std::u16string& title) const;
    TWordDocument Assemble(const std::vector<TContentsHeading>& headings) const;

    const TBookObject& Log;
    TEpubPackage& Package;
    std::set<std::string> WebPages;             // the spine's documents read as pages
    std::vector<TWordParagraph> Paragraphs;     // of every document, in reading order
    std::vector<size_t> DocumentOf;             // per paragraph, its document's number
    std::vector<std::u16string> PendingAnchors; // for the next paragraph
    std::optional<size_t> ContentsPlace;        // where the book's contents page stood
    std::map<std::string, std::optional<std::string>> Pictures; // entry -> bytes
};

TWordDocument TEpubConverter::ReadBook() {
    for (const TEpubItem* item : Package.Spine())
        if (TEpubPackage::IsWebPage(item->MediaType)) WebPages.insert(item->Entry);
    const bool replaceContentsPage = !Package.Contents().empty();
    for (const TEpubItem* item : Package.Spine()) {
        if (!TEpubPackage::IsWebPage(item->MediaType)) {
            Log.Log(6, "? Document " + item->Entry + " (" + item->MediaType +
                           ") is not a web page and is left out");
            continue;
        }
        if (replaceContentsPage && item->Entry == Package.ContentsPage()) {
            Log.Log(7, "+ The book's contents page " + item->Entry +
                           " gives way to the table of contents");
            if (!ContentsPlace) ContentsPlace = Paragraphs.size();
            PendingAnchors.push_back(PlaceName(item->Entry));
            continue;
        }
        ReadDocument(item->Entry);
    }
    // Links to documents that ended the book without text lead to its end.
    if (!Paragraphs.empty())
        for (std::u16string& anchor : PendingAnchors)
            Paragraphs.back().Anchors.push_back(std::move(anchor));
    return Assemble(ContentsHeadings());
}

void TEpubConverter::ReadDocument(const std::string& entry) {
    TWordDocument page =
        ReadHtmlDocument(Package.Read(entry), Package.Name() + ": " + entry,
                         [&](const std::string& reference) { return Picture(entry, reference); });
    PendingAnchors.push_back(PlaceName(entry));
    const size_t number = DocumentOf.empty() ? 0 : DocumentOf.back() + 1;
    for (TWordParagraph& paragraph : page.Paragraphs) {
        for (std::u16string& anchor : paragraph.Anchors)
            anchor = PlaceName(entry, anchor);
        paragraph.Anchors.insert(paragraph.Anchors.begin(), PendingAnchors.begin(),
                                 PendingAnchors.end());
        PendingAnchors.clear();
        QualifyLinks(paragraph, entry);
        // A picture the book cannot give has been told already (Picture);
        // it goes, so that it is not told again as missing and a paragraph's
        // first picture is the first that phones can show.
        std::erase_if(paragraph.Pictures,
                      [](const TWordPicture& picture) { return picture.Bytes.empty(); });
        Paragraphs.push_back(std::move(paragraph));
        DocumentOf.push_back(number);
    }
    Log.Log(7, "+ Read " + entry + ": " + std::to_string(page.Paragraphs.size()) + " paragraphs");
}

// The bytes of a picture a document shows, from the package only; nothing
// (with the reason in the log) for a picture elsewhere, missing, encrypted
// or an SVG drawing, which phones cannot show. Each is read once.
std::optional<std::string> TEpubConverter::Picture(const std::string& document,
                                                   const std::string& reference) {
    const std::string path = reference.substr(0, reference.find_first_of("?#"));
    if (path.empty()) return std::nullopt;
    const auto entry = HasUriScheme(path) ? std::nullopt : TZipArchive::ResolveName(document, path);
    if (!entry) {
        Log.Log(6, "? Picture " + reference + " of " + document + " is not in the book; left out");
        return std::nullopt;
    }
    if (const auto known = Pictures.find(*entry); known != Pictures.end()) return known->second;
    std::optional<std::string> bytes;
    if (Package.IsEncrypted(*entry))
        Log.Log(6, "? Picture " + *entry + " is encrypted; left out");
    else if (!(bytes = Package.TryRead(*entry)))
        Log.Log(6, "? Picture " + *entry + " is missing from the book; left out");
    else if (IsSvgDrawing(Package.ItemOf(*entry), *bytes)) {
        Log.Log(6,
                "? Picture " + *entry + " is an SVG drawing, which phones cannot show; left out");
        bytes.reset();
    }
    return Pictures.emplace(*entry, std::move(bytes)).first->second;
}

// Links to the book's own documents become links to places (label links in
// the end); links to other files of the package, which the phone book does
// not hold, become plain text; links with a scheme stay as they are.
void TEpubConverter::QualifyLinks(TWordParagraph& paragraph, const std::string& document) const {
    for (TWordHyperlink& link : paragraph.Hyperlinks) {
        if (link.Address.empty()) {
            if (!link.SubAddress.empty()) link.SubAddress = PlaceName(document, link.SubAddress);
            continue;
        }
        const std::string address = ToUtf8(link.Address);
        if (HasUriScheme(address)) continue;
        const auto target = TZipArchive::ResolveName(document, address);
        link.SubAddress = target && WebPages.contains(*target) ? PlaceName(*target, link.SubAddress)
                                                               : std::u16string();
        link.Address.clear();
    }
}

// The paragraph each entry of the table of contents leads to, in reading
// order (entries leading to one place keep their own order).
std::vector<TEpubConverter::TContentsHeading> TEpubConverter::ContentsHeadings() const {
    std::unordered_map<std::u16string, size_t> places;
    for (size_t i = 0; i < Paragraphs.size(); ++i)
        for (const std::u16string& anchor : Paragraphs[i].Anchors)
            places.emplace(anchor, i);
    std::vector<TContentsHeading> headings;
    for (const TEpubContentsEntry& entry : Package.Contents()) {
        auto place = places.find(PlaceName(entry.Document, FromUtf8(entry.Fragment)));
        if (place == places.end() && !entry.Fragment.empty()) {
            Log.Log(7, "? Contents entry \"" + entry.Title + "\": " + entry.Document +
                           " has no anchor " + entry.Fragment + "; its start is taken");
            place = places.find(PlaceName(entry.Document));
        }
        if (place == places.end()) {
            Log.Log(7, "? Contents entry \"" + entry.Title + "\" leads to " + entry.Document +
                           ", which is not in the book's text; left out");
            continue;
        }
        headings.push_back({place->second, FromUtf8(entry.Title), entry.Depth});
    }
    std::stable_sort(
        headings.begin(), headings.end(),
        [](const TContentsHeading& a, const TContentsHeading& b) { return a.Before < b.Before; });
    return headings;
}

// How many paragraphs from `first` on spell out the title exactly (their
// letters and digits in order, as TitleKey has them), so that the heading put
// in their place shows all their text; 0 when they do not. Only plain text
// of one document counts: a link or a picture is never given up.
size_t TEpubConverter::TitleParagraphs(size_t first, const std::u16string& title) const {
    const std::u16string wanted = TitleKey(title);
    std::u16string spelled;
    for (size_t i = first; i < Paragraphs.size() && i < first + kMaxTitleParagraphs; ++i) {
        const TWordParagraph& paragraph = Paragraphs[i];
        if (DocumentOf[i] != DocumentOf[first] || !paragraph.Hyperlinks.empty() ||
            !paragraph.Pictures.empty())
            return 0;
        spelled += TitleKey(paragraph.Text);
        if (spelled == wanted) return wanted.empty() ? 0 : i - first + 1;
        if (!wanted.starts_with(spelled)) return 0;
    }
    return 0;
}

// The joined document: every paragraph, a heading paragraph for every
// contents entry before the place it leads to (standing in for the
// document's own heading where that says the same), positions counted
// afresh, and the table of contents made of those headings, placed where the
// book's contents page stood or else at the start. A book without contents
// gets one of its headings, as a web page does.
TWordDocument TEpubConverter::Assemble(const std::vector<TContentsHeading>& headings) const {
    TWordDocument book;
    TWordTableOfContents contents;
    contents.Made = true;
    std::optional<size_t> contentsParagraph;
    auto heading = headings.begin();
    for (size_t i = 0; i < Paragraphs.size();) {
        if (ContentsPlace == i && !contentsParagraph) contentsParagraph = book.Paragraphs.size();
        if (heading != headings.end() && heading->Before == i) {
            TWordParagraph title;
            title.Text = heading->Title + kParagraphMark;
            title.End = static_cast<int32_t>(title.Text.size());
            title.HeadingLevel = heading->Depth;
            contents.Entries.push_back(book.Paragraphs.size());
            ++heading;
            // The last heading before a place takes the document's own
            // heading paragraphs when they show the same words; their
            // anchors move to it.
            size_t taken = 0;
            if (heading == headings.end() || heading->Before != i)
                taken = TitleParagraphs(i, title.Text);
            for (size_t j = i; j < i + taken; ++j)
                title.Anchors.insert(title.Anchors.end(), Paragraphs[j].Anchors.begin(),
                                     Paragraphs[j].Anchors.end());
            book.Paragraphs.push_back(std::move(title));
            i += taken;
            continue;
        }
        book.Paragraphs.push_back(Paragraphs[i]);
        ++i;
    }
    // Positions run on from paragraph to paragraph; links move with theirs.
    int32_t position = 0;
    for (TWordParagraph& paragraph : book.Paragraphs) {
        const int32_t shift = position - paragraph.Start;
        paragraph.Start += shift;
        paragraph.End += shift;
        for (TWordHyperlink& link : paragraph.Hyperlinks) {
            link.Start += shift;
            link.End += shift;
        }
        position = paragraph.End;
    }
    if (contents.Entries.empty()) {
        contents = MadeContents(book.Paragraphs);
        contentsParagraph.reset();
        if (!contents.Entries.empty())
            Log.Log(6, "+ The book's headings make its table of contents");
    }
    if (!contents.Entries.empty() && !book.Paragraphs.empty()) {
        const size_t at = contentsParagraph.value_or(0);
        contents.Start = contents.End =
            at < book.Paragraphs.size() ? book.Paragraphs[at].Start : position;
        book.TablesOfContents.push_back(std::move(contents));
    }
    return book;
}

// BookInfo from the title and the authors; the cover as the splash picture,
// a PNG that fits the screen. A cover that cannot be shown leaves the
// configured splash picture in place.
void TEpubConverter::ReadMetadata(TBookConfig& config, const std::u16string& pictureDir) {
    std::string info = Package.Title(), authors;
    for (const std::string& author : Package.Authors()) {
        info += (info.empty() ? "" : ", ") + author;
        authors += (authors.empty() ? "" : ", ") + author;
    }
    config.BookTitle = FromUtf8(Package.Title());
    config.BookAuthor = FromUtf8(authors);
    if (!info.empty()) {
        config.BookInfo = FromUtf8(info);
        Log.Log(7, "+ Book details: " + info);
    }
    const TEpubItem* cover = Package.Cover();
    if (!cover) return;
    const std::string named = "? Cover picture " + cover->Entry;
    std::optional<std::string> bytes;
    if (Package.IsEncrypted(cover->Entry) || !(bytes = Package.TryRead(cover->Entry))) {
        Log.Log(6, named + " can't be read; no splash picture from the book");
        return;
    }
    if (IsSvgDrawing(cover, *bytes)) {
        Log.Log(6, named + " is an SVG drawing, which phones cannot show; no splash picture " +
                       "from the book");
        return;
    }
    const std::string folder = ToUtf8(pictureDir) + "/";
    const std::string source = folder + "cover.source", target = folder + "splash.png";
    WriteWholeFile(ToPath(FromUtf8(source)), *bytes);
    const bool made = MakeCoverPicture(Log, source, target, cover->Entry);
    std::error_code ignored;
    fs::remove(ToPath(FromUtf8(source)), ignored);
    if (made) config.SplashFileName = FromUtf8(target);
}

} // namespace

std::u16string ImportEpubBook(const TBookObject& log, TBookConfig& config,
                              const std::u16string& fileName, const std::u16string& pictureDir) {
    log.Log(6, ".. Opening EPUB book " + ToUtf8(fileName));
    TEpubPackage package = TEpubPackage::Open(ToPath(fileName));
    log.Log(7, "+ Package document " + package.PackageEntry() + ", " +
                   std::to_string(package.Spine().size()) + " documents in reading order");
    switch (package.ContentsSource()) {
    case TEpubContentsSource::Navigation:
    case TEpubContentsSource::Ncx:
        log.Log(6, "+ Table of contents from " + package.ContentsEntry() + ", " +
                       std::to_string(package.Contents().size()) + " entries");
        break;
    case TEpubContentsSource::None:
        log.Log(6,
                "? The book has no table of contents" +
                    (package.ContentsProblem().empty() ? std::string()
                                                       : " (" + package.ContentsProblem() + ")"));
        break;
    }
    if (!package.ContentsProblem().empty() && package.ContentsSource() == TEpubContentsSource::Ncx)
        log.Log(6, "? The navigation document was not used: " + package.ContentsProblem());

    TEpubConverter converter(log, package);
    const TWordDocument book = converter.ReadBook();
    converter.ReadMetadata(config, pictureDir);
    const std::u16string text = ConvertWordDocument(log, config, book, pictureDir);
    log.Log(6, "+ EPUB book decoded");
    return text;
}

} // namespace paginor
