#include "maker/bWord.h"

#include "core/bVar.h"
#include "formats/DocxDocument.h"
#include "formats/HtmlDocument.h"
#include "formats/OdtDocument.h"
#include "maker/bImport.h"
#include "platform/OfficeConverter.h"
#include "platform/PictureConverter.h"

#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

namespace paginor {

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::u16string_view kHttp = u"http://";
constexpr std::u16string_view kHttps = u"https://";
// Book text never carries the markup's delimiters: a "<" would open a tag and
// swallow the text up to the next ">". They are shown as the single angle
// quotation marks, one character for one, so positions stay as they were.
constexpr char16_t kLessThanShown = u'\u2039';
constexpr char16_t kGreaterThanShown = u'\u203A';

enum class TSourceKind { Page, Docx, Odt, Office, Unknown };

bool EndsWith(const std::u16string& lowerName, std::u16string_view extension) {
    return lowerName.size() > extension.size() && lowerName.ends_with(extension);
}

TSourceKind SourceKindOf(const std::u16string& fileName) {
    const std::u16string name = LowerCase(fileName);
    for (const std::u16string_view extension : {u".htm", u".html", u".xhtml"})
        if (EndsWith(name, extension)) return TSourceKind::Page;
    if (EndsWith(name, u".docx")) return TSourceKind::Docx;
    if (EndsWith(name, u".odt")) return TSourceKind::Odt;
    for (const std::u16string_view extension : {u".doc", u".rtf"})
        if (EndsWith(name, extension)) return TSourceKind::Office;
    return TSourceKind::Unknown;
}

TWordDocument ReadWordDocument(const TBookObject& log, const std::u16string& fileName) {
    const fs::path path = ToPath(fileName);
    switch (SourceKindOf(fileName)) {
    case TSourceKind::Page:
        return ReadHtmlDocument(ReadWholeFile(path), path.string(), PicturesBesidePage(path));
    case TSourceKind::Docx: {
        TZipArchive package = TZipArchive::Open(path);
        return ReadDocxDocument(package);
    }
    case TSourceKind::Odt: {
        TZipArchive package = TZipArchive::Open(path);
        return ReadOdtDocument(package);
    }
    case TSourceKind::Office: {
        log.Log(6, ".. Converting " + path.string() + " to DOCX with LibreOffice");
        TZipArchive package =
            TZipArchive::FromBytes(ConvertToDocx(path), path.string() + " (as DOCX)");
        log.Log(7, "+ Converted " + path.string() + " to DOCX");
        return ReadDocxDocument(package);
    }
    case TSourceKind::Unknown:
        break;
    }
    throw TBookError("Can't import " + path.string() + ": not a Word document or web page");
}

std::u16string Shown(std::u16string_view text) {
    std::u16string shown(text);
    for (char16_t& c : shown) {
        if (c == u'<') c = kLessThanShown;
        if (c == u'>') c = kGreaterThanShown;
    }
    return shown;
}

std::u16string SafeArgument(std::u16string_view value) {
    return FromUtf8(SafeTagArgument(ToUtf8(value)));
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && LowerCase(text.substr(0, prefix.size())) == prefix;
}

// A picture's alternative text is taken as its conversion options only when
// it is a rule the picture converter accepts ("noresize" or allowed
// options); a description such as "A map of the town" would otherwise fail
// the book.
bool IsPictureRule(std::u16string_view text) {
    if (text.empty() || text.find_first_of(u"[]") != std::u16string_view::npos) return false;
    if (LowerCase(text) == u"noresize") return true;
    std::vector<std::string> options;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(u' ', start), text.size());
        if (end > start) options.push_back(ToUtf8(text.substr(start, end - start)));
        start = end + 1;
    }
    try {
        TPictureConverter::CheckOptions(options);
        return true;
    } catch (const TBookError&) {
        return false;
    }
}

// "EMF" or "WMF" for a Windows metafile (Word keeps drawings and pasted
// charts as them), which the picture converter cannot read; nullptr for
// anything else.
const char* MetafileKind(std::string_view bytes) {
    constexpr std::string_view kEmfSignature = " EMF";
    constexpr size_t kEmfSignatureAt = 40;
    constexpr std::string_view kPlaceableWmf = "\xD7\xCD\xC6\x9A";
    if (bytes.size() > kEmfSignatureAt + kEmfSignature.size() && bytes.starts_with('\x01') &&
        bytes.substr(kEmfSignatureAt, kEmfSignature.size()) == kEmfSignature)
        return "EMF";
    const bool wmfHeader = bytes.size() >= 18 && (bytes[0] == 1 || bytes[0] == 2) &&
                           bytes[1] == 0 && bytes[2] == 9 && bytes[3] == 0;
    if (bytes.starts_with(kPlaceableWmf) || wmfHeader) return "WMF";
    return nullptr;
}

// One import: the walk over the document's paragraphs.
class TWordConverter {
public:
    TWordConverter(const TBookObject& log, const TBookConfig& config, const TWordDocument& document,
                   const std::u16string& pictureDir)
        : Log(log), Config(config), Document(document), PictureDir(pictureDir) {}

    std::u16string Convert();

private:
    void FindWrittenAnchors();
    bool InContents(const TWordParagraph& paragraph) const {
        return Contents && TWordDocument::InRange(paragraph, *Contents);
    }
    bool MatchesEntry(size_t index, const std::u16string& text) const;
    void NextEntry();
    int ConvertLinks(const TWordParagraph& paragraph, std::u16string& text) const;
    std::u16string SavePicture(const TWordPicture& picture);
    std::u16string StorePicture(const TWordPicture& picture, const std::u16string& base);

    const TBookObject& Log;
    const TBookConfig& Config;
    const TWordDocument& Document;
    const std::u16string& PictureDir;

    const TWordTableOfContents* Contents = nullptr;
    size_t EntryNumber = 1;
    std::u16string EntryText;
    int PictureNumber = 0;
    // Anchors that get a label: those outside the table of contents that an
    // internal link names.
    std::set<std::u16string> WrittenAnchors;
};

std::u16string TWordConverter::Convert() {
    std::u16string result;
    if (!Document.TablesOfContents.empty()) {
        Contents = &Document.TablesOfContents.front();
        EntryNumber = 0;
        NextEntry();
        Log.Log(6, "+ Loaded table of content ");
    }
    FindWrittenAnchors();

    int paragraphCount = 0;
    for (size_t i = 0; i < Document.Paragraphs.size(); ++i) {
        const TWordParagraph& paragraph = Document.Paragraphs[i];
        std::u16string s = Shown(paragraph.Text);
        std::u16string piece;
        std::string note;
        if (Contents && Contents->Start == paragraph.Start) {
            piece = u"<#tableofcontent>";
            note = "Start of table of content";
        }
        // The table of contents' own paragraphs give way to it; its tag stays
        // where it stood, also when its first paragraph is one of them.
        if (InContents(paragraph)) {
            result += piece;
            continue;
        }
        for (const std::u16string& anchor : paragraph.Anchors)
            if (WrittenAnchors.contains(anchor)) piece += u"<#label " + SafeArgument(anchor) + u">";

        bool body = true;
        if (Contents && s.size() >= 2) {
            note = "text";
            if (MatchesEntry(i, s)) {
                const std::u16string number = IntToStr(static_cast<long long>(EntryNumber));
                piece += u"<#header toc" + number + u">" + s + u"<#/header>";
                piece += kLineBreak;
                note = "chapter [" + ToUtf8(number) + "]";
                NextEntry();
                body = false;
            }
        }
        if (body) {
            const int links = ConvertLinks(paragraph, s);
            piece += s;
            if (links > 0) note += ", hyperlinks: " + std::to_string(links);
            // Every picture of the paragraph, in order.
            if (!paragraph.Pictures.empty() && Config.ImageMode != 0) note = "image";
            for (const TWordPicture& picture : paragraph.Pictures) {
                if (Config.ImageMode == 0) break;
                const std::u16string file = SavePicture(picture);
                if (file.empty()) continue;
                const std::u16string rule = TrimControls(picture.AlternativeText);
                piece += IsPictureRule(rule) ? u"<#image [" + rule + u"]" + file + u">"
                                             : u"<#image " + file + u">";
                ++PictureNumber;
            }
        }
        piece += kLineBreak;
        result += piece;
        ++paragraphCount;
        Log.Log(7, "..Paragraph loaded " + std::to_string(i + 1) + "; " +
                       std::to_string(paragraph.Start) + "-" + std::to_string(paragraph.End) +
                       "; size " + std::to_string(piece.size()) + "; " + note);
    }
    Log.Log(6, "+ MS Word file loaded, total paragpahs " + std::to_string(paragraphCount) +
                   ", pictures " + std::to_string(PictureNumber));
    return result;
}

void TWordConverter::FindWrittenAnchors() {
    std::set<std::u16string> named;
    for (const TWordParagraph& paragraph : Document.Paragraphs) {
        if (InContents(paragraph)) continue;
        for (const TWordHyperlink& link : paragraph.Hyperlinks)
            if (link.Address.empty() && !link.SubAddress.empty()) named.insert(link.SubAddress);
    }
    for (const TWordParagraph& paragraph : Document.Paragraphs) {
        if (InContents(paragraph)) continue;
        for (const std::u16string& anchor : paragraph.Anchors)
            if (named.contains(anchor)) WrittenAnchors.insert(anchor);
    }
}

// A table of contents made from the headings names its entry paragraphs
// themselves, so only they are headings; a document's own is matched by text.
bool TWordConverter::MatchesEntry(size_t index, const std::u16string& text) const {
    if (!Contents->Made) return MatchesTocEntry(text, EntryText);
    return EntryNumber <= Contents->Entries.size() && Contents->Entries[EntryNumber - 1] == index;
}

void TWordConverter::NextEntry() {
    ++EntryNumber;
    EntryText.clear();
    if (EntryNumber <= Contents->Entries.size())
        EntryText = Shown(Document.Paragraphs[Contents->Entries[EntryNumber - 1]].Text);
}

// Replaces each hyperlink's text in `text` with its link tag; returns how
// many were converted. `shift` is how much longer the text has grown.
int TWordConverter::ConvertLinks(const TWordParagraph& paragraph, std::u16string& text) const {
    int32_t shift = 0;
    int count = 0;
    for (const TWordHyperlink& link : paragraph.Hyperlinks) {
        if (link.Start < paragraph.Start || link.End > paragraph.End) continue;
        const std::u16string linkText = Shown(link.Text);
        std::u16string tag;
        if (!link.Address.empty())
            tag = MakeLinkTag(link.Address, linkText);
        else if (WrittenAnchors.contains(link.SubAddress))
            tag = u"<#link label " + SafeArgument(link.SubAddress) + u">" + linkText + u"<#/link>";
        else
            continue;
        ++count;
        const size_t position = static_cast<size_t>(link.Start - paragraph.Start + shift);
        if (position > text.size()) continue;
        text.replace(position, std::min(linkText.size(), text.size() - position), tag);
        shift += static_cast<int32_t>(tag.size()) - (link.End - link.Start);
    }
    return count;
}

// The picture as the next numbered PNG or JPEG file of the picture folder;
// "" when it cannot be had in a picture format: it is then left out with a
// line naming it, and the book goes on.
std::u16string TWordConverter::SavePicture(const TWordPicture& picture) {
    const std::u16string base = PictureDir + u"/" + IntToStr(PictureNumber);
    const std::string name = picture.Name.empty() ? "without a name" : picture.Name;
    std::u16string file;
    if (const char* metafile = MetafileKind(picture.Bytes)) {
        Log.Log(6, "? Picture " + name + " is a Windows metafile (" + metafile +
                       "), which Paginor can't convert: left out");
    } else if (!picture.Bytes.empty()) {
        try {
            file = StorePicture(picture, base);
        } catch (const TBookError& error) {
            Log.Log(6, "? Picture " + name + " can't be read (" + error.what() + "): left out");
        }
    } else if (!picture.Name.empty()) {
        Log.Log(6, "? Picture " + name + " can't be found: left out");
    }
    if (file.empty()) Log.Log(7, "- Can't find any image with appropriate format.");
    return file;
}

// Stores PNG and JPEG pictures as they are and converts GIF and BMP ones to
// PNG; raises for anything that is not a picture.
std::u16string TWordConverter::StorePicture(const TWordPicture& picture,
                                            const std::u16string& base) {
    const std::u16string source = base + u".source";
    WriteWholeFile(ToPath(source), picture.Bytes);
    struct TRemover {
        fs::path Path;
        ~TRemover() {
            std::error_code ignored;
            fs::remove(Path, ignored);
        }
    } remover{ToPath(source)};

    const TPictureInfo info = TPictureConverter::Inspect(ToPath(source));
    const bool jpeg = info.Format == TPictureFormat::Jpeg;
    const std::u16string extension = jpeg ? u"jpg" : u"png";
    const std::u16string file = base + u"." + extension;
    if (jpeg || info.Format == TPictureFormat::Png) {
        std::error_code renameError;
        fs::rename(ToPath(source), ToPath(file), renameError);
        if (renameError)
            throw TBookError("Can't create file " + ToUtf8(file) + ": " + renameError.message());
    } else {
        TPictureConverter::MakePhonePng(ToPath(source), ToPath(file));
    }
    std::error_code error;
    const auto size = fs::file_size(ToPath(file), error);
    Log.Log(7, "+ Loaded image [" + std::to_string(PictureNumber) + "." + ToUtf8(extension) +
                   "], size [" + std::to_string(error ? 0 : size) + "] bytes from MS Word");
    return file;
}

} // namespace

bool MatchesTocEntry(std::u16string_view paragraph, std::u16string_view entry) {
    auto solid = [](std::u16string_view text) {
        std::u16string kept;
        for (char16_t c : text)
            if (c > u' ' && c != u'.') kept += c;
        return kept;
    };
    const std::u16string p = solid(paragraph), e = solid(entry);
    return !p.empty() && !e.empty() && p.size() <= e.size() && e.find(p) != std::u16string::npos;
}

std::u16string MakeLinkTag(std::u16string_view address, std::u16string_view text) {
    std::u16string target;
    if (StartsWithIgnoringCase(address, kHttp))
        target = u"http " + SafeArgument(address.substr(kHttp.size()));
    else if (StartsWithIgnoringCase(address, kHttps))
        target = u"http " + SafeArgument(address);
    else
        target = SafeArgument(address);
    return u"<#link " + target + u">" + std::u16string(text) + u"<#/link>";
}

std::u16string ConvertWordDocument(const TBookObject& log, const TBookConfig& config,
                                   const TWordDocument& document,
                                   const std::u16string& pictureDir) {
    return TWordConverter(log, config, document, pictureDir).Convert();
}

std::u16string BookDetails(const TDocumentDetails& details) {
    std::u16string info = TrimControls(details.Title);
    const std::u16string author = TrimControls(details.Author);
    if (!author.empty()) info += (info.empty() ? u"" : u", ") + author;
    return info;
}

std::u16string ImportWordDocument(const TBookObject& log, TBookConfig& config,
                                  const std::u16string& fileName,
                                  const std::u16string& pictureDir) {
    log.Log(6, "..Starting MS Word ");
    const TWordDocument document = ReadWordDocument(log, fileName);
    // The document's details stand in for the default credit; details the
    // configuration gives stay.
    if (const std::u16string info = BookDetails(document.Details);
        !info.empty() && config.BookInfo.empty()) {
        config.BookInfo = info;
        log.Log(7, "+ Book details: " + ToUtf8(info));
    }
    return ConvertWordDocument(log, config, document, pictureDir);
}

} // namespace paginor
