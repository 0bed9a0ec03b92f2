#include "maker/bSources.h"

#include "core/bVar.h"
#include "platform/ZipArchive.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>

namespace paginor {

namespace {

constexpr const char16_t* kWordExtensions[] = {u".doc", u".htm", u".html", u".docx",
                                               u".odt", u".rtf", u".xhtml"};
constexpr const char16_t* kZippedFictionBookExtensions[] = {u".fb2.zip", u".fbz"};
// How much of a file's start the sniffing reads: an XML declaration, a
// doctype and comments before the first element fit well within it.
constexpr std::streamsize kSniffBytes = 4096;

bool HasAnyExtension(const std::u16string& name, const auto& extensions) {
    return std::any_of(std::begin(extensions), std::end(extensions),
                       [&](const char16_t* ext) { return HasExtension(ext, name); });
}

std::optional<TSourceKind> KindByExtension(const std::u16string& name) {
    if (HasAnyExtension(name, kWordExtensions)) return TSourceKind::Word;
    if (HasExtension(u".fb2", name)) return TSourceKind::FictionBook;
    if (HasAnyExtension(name, kZippedFictionBookExtensions)) return TSourceKind::ZippedFictionBook;
    if (HasExtension(u".epub", name)) return TSourceKind::Epub;
    if (HasExtension(u".txt", name)) return TSourceKind::Text;
    return std::nullopt;
}

// A zip archive by what it holds: the mimetype entry of an EPUB or an ODT,
// a Word document's main part, or an FB2 book.
std::optional<TSniffedSource> SniffZip(const std::u16string& path, std::string_view start) {
    // The mimetype entry comes first and stored, so its name and value stand
    // at a fixed place; an archive written otherwise is opened.
    constexpr std::string_view kEpubStart = "mimetypeapplication/epub+zip";
    if (start.size() > 30 && start.substr(30).starts_with(kEpubStart))
        return TSniffedSource{TSourceKind::Epub, u""};
    try {
        TZipArchive archive = TZipArchive::Open(ToPath(path));
        if (archive.Contains("META-INF/container.xml") &&
            archive.TryRead("mimetype").value_or("") == "application/epub+zip")
            return TSniffedSource{TSourceKind::Epub, u""};
        if (archive.Contains("word/document.xml"))
            return TSniffedSource{TSourceKind::Word, u".docx"};
        if (archive.TryRead("mimetype").value_or("") == "application/vnd.oasis.opendocument.text")
            return TSniffedSource{TSourceKind::Word, u".odt"};
        const auto& names = archive.Names();
        if (std::any_of(names.begin(), names.end(), [](const std::string& name) {
                return HasExtension(u".fb2", FromUtf8(name));
            }))
            return TSniffedSource{TSourceKind::ZippedFictionBook, u""};
    } catch (const std::exception&) {
        // A damaged archive is no book this can tell.
    }
    return std::nullopt;
}

// The first element's name of an XML or HTML text (after a byte-order mark,
// blanks, the declaration, a doctype and comments), lower-cased; "!doctype
// html" stands for itself.
std::string FirstElement(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    for (;;) {
        const size_t open = text.find('<');
        if (open == std::string_view::npos) return "";
        text.remove_prefix(open + 1);
        if (text.starts_with("?") || text.starts_with("!--")) {
            const size_t close = text.find('>');
            if (close == std::string_view::npos) return "";
            text.remove_prefix(close + 1);
            continue;
        }
        const size_t end = text.find_first_of(" \t\r\n>/");
        const std::string name = LowerAscii(text.substr(0, end));
        if (name != "!doctype") return name;
        const std::string rest = LowerAscii(text.substr(end, 6));
        if (rest.find("html") != std::string::npos) return "!doctype html";
        text.remove_prefix(end);
    }
}

} // namespace

bool HasExtension(const std::u16string& extension, const std::u16string& name) {
    return name.size() > extension.size() &&
           LowerCase(name.substr(name.size() - extension.size())) == LowerCase(extension);
}

bool HasSourceExtension(const std::u16string& name) {
    return HasAnyExtension(name, kSourceExtensions);
}

std::optional<TSniffedSource> SniffSource(const std::u16string& path) {
    std::ifstream file(ToPath(path), std::ios::binary);
    std::string start(kSniffBytes, '\0');
    file.read(start.data(), kSniffBytes);
    start.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    if (start.starts_with("PK\x03\x04")) return SniffZip(path, start);
    if (start.starts_with("{\\rtf")) return TSniffedSource{TSourceKind::Word, u".rtf"};
    if (start.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return TSniffedSource{TSourceKind::Word, u".doc"};
    const std::string element = FirstElement(start);
    if (element == "fictionbook" || element.ends_with(":fictionbook"))
        return TSniffedSource{TSourceKind::FictionBook, u""};
    if (element == "html" || element == "!doctype html")
        return TSniffedSource{TSourceKind::Word, u".html"};
    return std::nullopt;
}

TSourceKind SourceKindOf(const std::u16string& path) {
    if (const auto kind = KindByExtension(path)) return *kind;
    const auto sniffed = SniffSource(path);
    return sniffed && sniffed->WantedExtension.empty() ? sniffed->Kind : TSourceKind::Text;
}

std::u16string BookNameOf(const std::u16string& fileName) {
    if (HasExtension(u".fb2.zip", fileName)) return fileName.substr(0, fileName.size() - 8);
    const size_t dot = fileName.rfind(u'.');
    return dot != std::u16string::npos && dot >= 1 ? fileName.substr(0, dot) : fileName;
}

} // namespace paginor
