// TEpubPackage: what an EPUB book (2 or 3) is made of, read from its zip
// archive: the package document found through META-INF/container.xml, its
// manifest, the spine (the documents in reading order), the title, authors
// and cover picture of its metadata, and the table of contents from the
// EPUB 3 navigation document or else the EPUB 2 NCX. It only reads; what the
// phone book looks like is the importer's business.
//
// Everything comes from a book, so nothing is trusted: the archive's limits
// apply to every entry, a reference that leaves the package is never
// followed, XML is parsed without network, DTDs or external entities, and a
// book whose documents are encrypted (DRM) is refused with one line.
#pragma once

#include "platform/Xml.h"
#include "platform/ZipArchive.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace paginor {

// One item of the manifest.
struct TEpubItem {
    std::string Id;
    std::string Href;       // as the manifest writes it
    std::string Entry;      // the archive entry it names; "" when it leaves the package
    std::string MediaType;  // lower-cased
    std::string Properties; // EPUB 3 properties, blank-separated
    std::string Fallback;   // id of the fallback item, or ""
};

// One line of the table of contents.
struct TEpubContentsEntry {
    std::string Title;    // blanks collapsed
    std::string Document; // the entry it leads to
    std::string Fragment; // the anchor inside it (no "#"), "" for its start
    int Depth = 1;        // 1 for the top level
};

enum class TEpubContentsSource { None, Navigation, Ncx };

class TEpubPackage {
public:
    // Reads the archive file and its package. Raises TBookError with one
    // line naming the file for every way a book can be broken: not a zip,
    // no container, a missing package document, a spine naming a missing
    // document or one outside the package, an encrypted (protected) book.
    static TEpubPackage Open(const std::filesystem::path& path, const TZipLimits& limits = {});
    // The same for an archive already opened.
    explicit TEpubPackage(TZipArchive archive);

    // The entry name of the package document ("OEBPS/content.opf").
    const std::string& PackageEntry() const { return Package; }
    // Blanks collapsed; "" when the metadata holds none.
    const std::string& Title() const { return BookTitle; }
    // The creators that are authors (no role given, or "aut"), in order.
    const std::vector<std::string>& Authors() const { return BookAuthors; }
    // The cover picture's item, or nothing.
    const TEpubItem* Cover() const { return CoverItem; }
    // The spine's documents in reading order (fallbacks followed to a web
    // page where the spine names something else), non-linear ones included
    // where they stand, so that notes kept out of the flow can be reached.
    const std::vector<const TEpubItem*>& Spine() const { return SpineItems; }
    // The table of contents, in its own order.
    const std::vector<TEpubContentsEntry>& Contents() const { return ContentsEntries; }
    TEpubContentsSource ContentsSource() const { return Source; }
    // The navigation document or NCX it came from ("" for none).
    const std::string& ContentsEntry() const { return ContentsFrom; }
    // Why the navigation document could not be used, when the contents came
    // from the NCX or are empty although the book has one; "" otherwise.
    const std::string& ContentsProblem() const { return NavigationProblem; }
    // The book's own contents page, which a phone book replaces with its
    // table of contents: the navigation document (EPUB 3) or the guide's
    // "toc" page (EPUB 2); "" when it has none.
    const std::string& ContentsPage() const { return ContentsPageEntry; }
    // The manifest item an entry is, or nothing.
    const TEpubItem* ItemOf(const std::string& entry) const;

    // Whether encryption.xml lists the entry as encrypted (font obfuscation
    // aside); Read refuses such an entry.
    bool IsEncrypted(const std::string& entry) const { return Encrypted.contains(entry); }
    // The bytes of an entry, within the archive's limits.
    std::string Read(const std::string& entry);
    std::optional<std::string> TryRead(const std::string& entry);
    const std::string& Name() const { return Archive.Name(); }

    // Whether the media type is that of a web page (XHTML or HTML).
    static bool IsWebPage(const std::string& mediaType);

private:
    void ReadEncryption();
    void CheckReadable(const std::string& entry) const;
    std::string ReadPackageEntry();
    void ReadPackage(const std::string& bytes);
    void ReadSpine(TXmlNode spine);
    void ReadContents(const std::string& ncxId);
    bool ReadNavigation(const TEpubItem& item);
    void ReadNcx(const TEpubItem& item);
    std::string Fail(const std::string& what) const;

    TZipArchive Archive;
    std::string Package;
    std::string BookTitle;
    std::vector<std::string> BookAuthors;
    std::vector<TEpubItem> Items;
    std::unordered_map<std::string, size_t> ItemById, ItemByEntry;
    const TEpubItem* CoverItem = nullptr;
    std::vector<const TEpubItem*> SpineItems;
    std::vector<TEpubContentsEntry> ContentsEntries;
    TEpubContentsSource Source = TEpubContentsSource::None;
    std::string ContentsFrom;
    std::string NavigationProblem;
    std::string ContentsPageEntry;
    // Entries that encryption.xml lists as encrypted (font obfuscation,
    // which hides only embedded fonts, is not counted).
    std::unordered_map<std::string, std::string> Encrypted; // entry -> algorithm
};

} // namespace paginor
