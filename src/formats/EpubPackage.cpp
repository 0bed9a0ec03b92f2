#include "formats/EpubPackage.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <climits>
#include <functional>

namespace paginor {

namespace {

constexpr const char* kContainerEntry = "META-INF/container.xml";
constexpr const char* kEncryptionEntry = "META-INF/encryption.xml";
constexpr std::string_view kPackageMediaType = "application/oebps-package+xml";
constexpr std::string_view kNcxMediaType = "application/x-dtbncx+xml";
constexpr std::string_view kOpsNamespace = "http://www.idpf.org/2007/ops";
constexpr std::string_view kDcNamespace = "http://purl.org/dc/elements/1.1/";
// Font obfuscation (IDPF's and Adobe's) only hides embedded fonts from
// copying; the text stays readable, so it is not protection.
constexpr std::string_view kFontObfuscation[] = {"http://www.idpf.org/2008/embedding",
                                                 "http://ns.adobe.com/pdf/enc#RC"};
// A fallback chain longer than this is a loop or a hostile book.
constexpr int kMaxFallbacks = 8;

// Package files are matched by local name: EPUB 2 tools write both
// "package" and "opf:package", "dc:title" with any prefix.
// The EPUB 3 structural type ("epub:type"); the HTML parser keeps the
// prefix in the name, the XML parser gives it a namespace.
std::string EpubType(TXmlNode node) {
    const std::string_view ops[] = {kOpsNamespace};
    if (auto typed = node.AttributeIn(ops, "type")) return std::move(*typed);
    return node.Attribute("epub:type").value_or("");
}

// Whether a blank-separated list holds the word.
bool HasToken(std::string_view list, std::string_view word) {
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = std::min(list.find_first_of(" \t\r\n", start), list.size());
        if (list.substr(start, end - start) == word) return true;
        start = end + 1;
    }
    return false;
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

void CollectText(TXmlNode node, std::string& out) {
    for (const TXmlNode child : node.Children()) {
        if (child.IsElement())
            CollectText(child, out);
        else if (child.Raw()->type == XML_TEXT_NODE || child.Raw()->type == XML_CDATA_SECTION_NODE)
            out += child.Value();
    }
}

// The text inside an element, every run of white space one blank, trimmed.
std::string TextContent(TXmlNode node) {
    std::string raw;
    CollectText(node, raw);
    return CollapseBlanks(raw);
}

// A reference split into the entry it names (relative to `base`) and its
// fragment; nothing when it leaves the package or names a scheme. An empty
// path ("#note") is the base itself.
std::optional<std::pair<std::string, std::string>> SplitReference(const std::string& base,
                                                                  std::string_view reference) {
    const size_t hash = reference.find('#');
    const std::string_view path = reference.substr(0, hash);
    const std::string fragment =
        hash == std::string_view::npos ? "" : std::string(reference.substr(hash + 1));
    if (path.empty()) return std::make_pair(base, fragment);
    const auto entry = TZipArchive::ResolveName(base, path);
    if (!entry) return std::nullopt;
    return std::make_pair(*entry, fragment);
}

// An XHTML document through the XML parser, or, when it is not well-formed
// (many books are not), through the lenient HTML parser. Neither reads
// anything but the bytes.
TXmlDocument ParseMarkup(const std::string& bytes) {
    try {
        return TXmlDocument::Parse(bytes);
    } catch (const TBookError&) {
        if (bytes.size() > static_cast<size_t>(INT_MAX)) throw;
        htmlDocPtr document = htmlReadMemory(
            bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
            HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NOIMPLIED);
        if (!document) throw;
        TXmlDocument parsed(document);
        if (!parsed.Root()) throw;
        return parsed;
    }
}

} // namespace

bool TEpubPackage::IsWebPage(const std::string& mediaType) {
    return mediaType == "application/xhtml+xml" || mediaType == "text/html";
}

TEpubPackage TEpubPackage::Open(const std::filesystem::path& path, const TZipLimits& limits) {
    return TEpubPackage(TZipArchive::Open(path, limits));
}

TEpubPackage::TEpubPackage(TZipArchive archive) : Archive(std::move(archive)) {
    ReadEncryption();
    const std::string bytes = ReadPackageEntry();
    ReadPackage(bytes);
}

std::string TEpubPackage::Fail(const std::string& what) const {
    return Name() + ": " + what;
}

const TEpubItem* TEpubPackage::ItemOf(const std::string& entry) const {
    const auto found = ItemByEntry.find(entry);
    return found == ItemByEntry.end() ? nullptr : &Items[found->second];
}

std::string TEpubPackage::Read(const std::string& entry) {
    CheckReadable(entry);
    return Archive.Read(entry);
}

std::optional<std::string> TEpubPackage::TryRead(const std::string& entry) {
    if (!Archive.Contains(entry)) return std::nullopt;
    return Read(entry);
}

// The entries encryption.xml lists with a real cipher.
void TEpubPackage::ReadEncryption() {
    const auto bytes = Archive.TryRead(kEncryptionEntry);
    if (!bytes) return;
    TXmlDocument document = [&] {
        try {
            return TXmlDocument::Parse(*bytes);
        } catch (const TBookError& error) {
            throw TBookError(Fail(std::string(kEncryptionEntry) + ": " + error.what()));
        }
    }();
    document.Root().ForEachElement([&](TXmlNode data) {
        if (!data.LocalIs("EncryptedData")) return;
        const std::string algorithm =
            data.LocalChild("EncryptionMethod").LocalAttribute("Algorithm").value_or("");
        const auto uri =
            data.LocalChild("CipherData").LocalChild("CipherReference").LocalAttribute("URI");
        if (!uri || std::ranges::find(kFontObfuscation, algorithm) != std::end(kFontObfuscation))
            return;
        // References are relative to the archive's root.
        if (const auto entry = TZipArchive::ResolveName("", *uri)) Encrypted[*entry] = algorithm;
    });
}

void TEpubPackage::CheckReadable(const std::string& entry) const {
    if (Encrypted.contains(entry))
        throw TBookError("The book " + Name() +
                         " is protected (DRM): its text is encrypted and cannot be read");
}

std::string TEpubPackage::ReadPackageEntry() {
    const auto container = Archive.TryRead(kContainerEntry);
    if (!container) throw TBookError(Name() + " is not an EPUB book: it has no " + kContainerEntry);
    TXmlDocument document = [&] {
        try {
            return TXmlDocument::Parse(*container);
        } catch (const TBookError& error) {
            throw TBookError(Fail(std::string(kContainerEntry) + ": " + error.what()));
        }
    }();
    TXmlNode chosen;
    document.Root().ForEachElement([&](TXmlNode node) {
        if (!node.LocalIs("rootfile") || !node.LocalAttribute("full-path")) return;
        const bool package =
            LowerAscii(node.LocalAttribute("media-type").value_or("")) == kPackageMediaType;
        if (!chosen || (package && LowerAscii(chosen.LocalAttribute("media-type").value_or("")) !=
                                       kPackageMediaType))
            chosen = node;
    });
    if (!chosen)
        throw TBookError(Fail(std::string(kContainerEntry) + " names no package document"));
    const std::string path = *chosen.LocalAttribute("full-path");
    const auto entry = TZipArchive::ResolveName("", path);
    if (!entry) throw TBookError(Fail("the package document " + path + " lies outside the book"));
    if (!Archive.Contains(*entry))
        throw TBookError(Fail("the package document " + *entry + " that " + kContainerEntry +
                              " names is missing"));
    Package = *entry;
    return Read(Package);
}

void TEpubPackage::ReadPackage(const std::string& bytes) {
    TXmlDocument document = [&] {
        try {
            return TXmlDocument::Parse(bytes);
        } catch (const TBookError& error) {
            throw TBookError(Fail(Package + ": " + error.what()));
        }
    }();
    const TXmlNode root = document.Root();
    if (!root.LocalIs("package"))
        throw TBookError(Fail(Package + " is not a package document (no package element)"));

    // Manifest first: everything else refers to its items.
    for (const TXmlNode node : root.LocalChild("manifest").Children()) {
        if (!node.LocalIs("item")) continue;
        TEpubItem item;
        item.Id = node.LocalAttribute("id").value_or("");
        item.Href = node.LocalAttribute("href").value_or("");
        item.Entry = TZipArchive::ResolveName(Package, item.Href).value_or("");
        item.MediaType = LowerAscii(Trim(node.LocalAttribute("media-type").value_or("")));
        item.Properties = node.LocalAttribute("properties").value_or("");
        item.Fallback = node.LocalAttribute("fallback").value_or("");
        Items.push_back(std::move(item));
    }
    for (size_t i = 0; i < Items.size(); ++i) {
        if (!Items[i].Id.empty()) ItemById.emplace(Items[i].Id, i);
        if (!Items[i].Entry.empty()) ItemByEntry.emplace(Items[i].Entry, i);
    }

    // Metadata: title, authors (EPUB 3 gives roles in refining meta
    // elements, EPUB 2 in an opf:role attribute), cover.
    const TXmlNode metadata = root.LocalChild("metadata");
    std::unordered_map<std::string, std::string> roles; // "#id" -> role
    std::string coverId;
    metadata.ForEachElement([&](TXmlNode node) {
        if (!node.LocalIs("meta")) return;
        if (node.LocalAttribute("property") == "role")
            roles.emplace(node.LocalAttribute("refines").value_or(""), TextContent(node));
        if (node.LocalAttribute("name") == "cover" && coverId.empty())
            coverId = node.LocalAttribute("content").value_or("");
    });
    metadata.ForEachElement([&](TXmlNode node) {
        if (!node.InNamespace(kDcNamespace)) return;
        if (node.LocalIs("title") && BookTitle.empty()) BookTitle = TextContent(node);
        if (!node.LocalIs("creator")) return;
        std::string role = node.LocalAttribute("role").value_or("");
        if (const auto id = node.LocalAttribute("id"); id && roles.contains("#" + *id))
            role = roles["#" + *id];
        const std::string name = TextContent(node);
        if (!name.empty() && (role.empty() || LowerAscii(role) == "aut"))
            BookAuthors.push_back(name);
    });
    for (const TEpubItem& item : Items)
        if (HasToken(item.Properties, "cover-image") && !item.Entry.empty()) {
            CoverItem = &item;
            break;
        }
    if (!CoverItem && !coverId.empty()) {
        if (const auto found = ItemById.find(coverId); found != ItemById.end())
            CoverItem = &Items[found->second];
        else if (const auto entry = TZipArchive::ResolveName(Package, coverId))
            CoverItem = ItemOf(*entry);
        if (CoverItem && CoverItem->Entry.empty()) CoverItem = nullptr;
    }

    for (const TEpubItem& item : Items)
        if (HasToken(item.Properties, "nav") && !item.Entry.empty()) {
            ContentsPageEntry = item.Entry;
            break;
        }
    for (const TXmlNode node : root.LocalChild("guide").Children()) {
        if (!ContentsPageEntry.empty()) break;
        const std::string href = node.LocalAttribute("href").value_or("");
        if (!node.LocalIs("reference") || node.LocalAttribute("type") != "toc" || href.empty())
            continue;
        if (const auto target = SplitReference(Package, href)) ContentsPageEntry = target->first;
    }

    const TXmlNode spine = root.LocalChild("spine");
    ReadSpine(spine);
    ReadContents(spine.LocalAttribute("toc").value_or(""));
}

void TEpubPackage::ReadSpine(TXmlNode spine) {
    for (const TXmlNode node : spine.Children()) {
        if (!node.LocalIs("itemref")) continue;
        const std::string id = node.LocalAttribute("idref").value_or("");
        const auto found = ItemById.find(id);
        if (found == ItemById.end())
            throw TBookError(
                Fail("the spine names the item \"" + id + "\", which the manifest does not list"));
        size_t index = found->second;
        // A document that is not a web page may name one to show instead.
        for (int step = 0; step < kMaxFallbacks && !IsWebPage(Items[index].MediaType); ++step) {
            const auto fallback = ItemById.find(Items[index].Fallback);
            if (fallback == ItemById.end()) break;
            index = fallback->second;
        }
        const TEpubItem& item = Items[index];
        if (item.Entry.empty())
            throw TBookError(
                Fail("the spine names " + item.Href + ", which lies outside the book"));
        if (!Archive.Contains(item.Entry))
            throw TBookError(Fail("the spine names the document " + item.Entry +
                                  ", which the book does not hold"));
        CheckReadable(item.Entry);
        SpineItems.push_back(&item);
    }
    if (SpineItems.empty()) throw TBookError(Fail("the spine lists no document"));
}

void TEpubPackage::ReadContents(const std::string& ncxId) {
    for (const TEpubItem& item : Items) {
        if (!HasToken(item.Properties, "nav") || item.Entry.empty()) continue;
        if (ReadNavigation(item)) return;
        break;
    }
    const TEpubItem* ncx = nullptr;
    if (const auto found = ItemById.find(ncxId); found != ItemById.end())
        ncx = &Items[found->second];
    for (const TEpubItem& item : Items)
        if (!ncx && item.MediaType == kNcxMediaType) ncx = &item;
    if (ncx && !ncx->Entry.empty() && Archive.Contains(ncx->Entry)) ReadNcx(*ncx);
}

// The toc nav of the EPUB 3 navigation document: nested lists of links.
// False (with the reason kept) when it cannot be used.
bool TEpubPackage::ReadNavigation(const TEpubItem& item) {
    try {
        const TXmlDocument document = ParseMarkup(Read(item.Entry));
        TXmlNode toc, firstNav;
        document.Root().ForEachElement([&](TXmlNode node) {
            if (!node.LocalIs("nav")) return;
            if (!firstNav) firstNav = node;
            if (!toc && HasToken(EpubType(node), "toc")) toc = node;
        });
        if (!toc) toc = firstNav;
        if (!toc) {
            NavigationProblem = item.Entry + " has no nav element";
            return false;
        }
        std::vector<TEpubContentsEntry> entries;
        const std::function<void(TXmlNode, int)> walkList = [&](TXmlNode list, int depth) {
            for (const TXmlNode li : list.Children()) {
                if (!li.LocalIs("li")) continue;
                for (const TXmlNode child : li.Children()) {
                    if (child.LocalIs("a")) {
                        const std::string title = TextContent(child);
                        const auto target =
                            SplitReference(item.Entry, child.LocalAttribute("href").value_or(""));
                        if (!title.empty() && target)
                            entries.push_back({title, target->first, target->second, depth});
                    } else if (child.LocalIs("ol") || child.LocalIs("ul")) {
                        walkList(child, depth + 1);
                    }
                }
            }
        };
        for (const TXmlNode child : toc.Children())
            if (child.LocalIs("ol") || child.LocalIs("ul")) walkList(child, 1);
        if (entries.empty()) {
            NavigationProblem = item.Entry + " lists no contents";
            return false;
        }
        ContentsEntries = std::move(entries);
        Source = TEpubContentsSource::Navigation;
        ContentsFrom = item.Entry;
        return true;
    } catch (const TBookError& error) {
        // A protected book is refused, whatever the contents.
        if (Encrypted.contains(item.Entry)) throw;
        NavigationProblem = item.Entry + ": " + error.what();
        return false;
    }
}

// The EPUB 2 NCX: nested navPoints, each a label and a target. A broken NCX
// leaves the book without contents rather than failing it.
void TEpubPackage::ReadNcx(const TEpubItem& item) {
    std::vector<TEpubContentsEntry> entries;
    try {
        const TXmlDocument document = TXmlDocument::Parse(Read(item.Entry));
        const std::function<void(TXmlNode, int)> walk = [&](TXmlNode parent, int depth) {
            for (const TXmlNode point : parent.Children()) {
                if (!point.LocalIs("navPoint")) continue;
                const std::string title =
                    TextContent(point.LocalChild("navLabel").LocalChild("text"));
                const auto target = SplitReference(
                    item.Entry, point.LocalChild("content").LocalAttribute("src").value_or(""));
                if (!title.empty() && target)
                    entries.push_back({title, target->first, target->second, depth});
                walk(point, depth + 1);
            }
        };
        walk(document.Root().LocalChild("navMap"), 1);
    } catch (const TBookError& error) {
        if (Encrypted.contains(item.Entry)) throw;
        if (!NavigationProblem.empty()) NavigationProblem += "; ";
        NavigationProblem += item.Entry + ": " + error.what();
        return;
    }
    if (entries.empty()) return;
    ContentsEntries = std::move(entries);
    Source = TEpubContentsSource::Ncx;
    ContentsFrom = item.Entry;
}

} // namespace paginor
