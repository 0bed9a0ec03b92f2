// TZipArchive: reads a zip archive (DOCX, EPUB, zipped FB2) into memory
// entry by entry, on libzip. Archives come from books, so nothing is trusted:
// the number of entries and the inflated size of every entry and of all of
// them together are capped (a small archive can inflate to gigabytes), and an
// entry name that is absolute or holds a ".." step is never looked up, so no
// reference inside a book can reach outside its archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

typedef struct zip zip_t;
typedef struct zip_file zip_file_t;

namespace paginor {

struct TZipLimits {
    size_t MaxEntries = 10'000;
    uint64_t MaxEntrySize = uint64_t{64} << 20;  // inflated bytes of one entry
    uint64_t MaxTotalSize = uint64_t{256} << 20; // inflated bytes read in all
};

class TZipArchive;

// One entry read piece by piece, for a parser that takes its input as it
// comes; the archive's limits hold as for TZipArchive::Read. Lives no longer
// than its archive.
class TZipEntryReader {
public:
    TZipEntryReader(TZipEntryReader&&) noexcept;
    TZipEntryReader& operator=(TZipEntryReader&&) noexcept;
    ~TZipEntryReader();

    // Fills the buffer with the next inflated bytes; returns how many, 0 at
    // the end. Raises TBookError as TZipArchive::Read does.
    size_t Read(char* buffer, size_t size);
    // What Read has given so far.
    uint64_t Size() const { return Done; }

private:
    friend class TZipArchive;
    struct TFileCloser {
        void operator()(zip_file_t* file) const;
    };
    TZipEntryReader(TZipArchive& archive, zip_file_t* file, std::string where);

    TZipArchive* Archive;
    std::unique_ptr<zip_file_t, TFileCloser> File;
    std::string Where; // "entry NAME of ARCHIVE", for messages
    uint64_t Done = 0;
};

class TZipArchive {
public:
    // Reads the archive file. Raises TBookError with one line: the file's own
    // error ("File not found"), "... is not a zip archive", "... has more than
    // N entries", or libzip's reason for a damaged archive.
    static TZipArchive Open(const std::filesystem::path& path, const TZipLimits& limits = {});
    // The same for an archive held in memory; `name` is used in messages.
    static TZipArchive FromBytes(std::string bytes, const std::string& name,
                                 const TZipLimits& limits = {});

    TZipArchive(TZipArchive&&) noexcept;
    TZipArchive& operator=(TZipArchive&&) noexcept;
    ~TZipArchive();

    // The name used in messages (the file name as given).
    const std::string& Name() const { return ArchiveName; }
    // The safe names of the file entries, in archive order (folders, absolute
    // names and names with a ".." step are left out).
    const std::vector<std::string>& Names() const { return EntryNames; }
    bool Contains(std::string_view entry) const;
    // The inflated bytes of an entry. Raises TBookError when the entry does
    // not exist, is encrypted or damaged, or inflates past a limit ("...
    // inflates to more than 64 MiB: a zip bomb?").
    std::string Read(std::string_view entry);
    // Read, or nothing when the archive has no such entry.
    std::optional<std::string> TryRead(std::string_view entry);
    // The entry to be read piece by piece; raises as Read does.
    TZipEntryReader OpenEntry(std::string_view entry);

    // Whether the name is one this reader follows: relative, without ".."
    // steps, not empty.
    static bool IsSafeName(std::string_view entry);
    // The entry a URI reference found in `baseEntry` names: relative to the
    // base's folder, or to the archive's root when it begins with "/";
    // percent escapes decoded, "." and ".." steps applied. Nothing when the
    // reference leaves the archive (too many ".." steps), names a scheme
    // ("http:", "file:") or is empty.
    static std::optional<std::string> ResolveName(std::string_view baseEntry,
                                                  std::string_view reference);

private:
    friend class TZipEntryReader;
    struct TZipDeleter {
        void operator()(zip_t* archive) const;
    };

    TZipArchive() = default;
    void Index();

    std::unique_ptr<std::string> Bytes; // the archive; libzip reads it in place
    std::unique_ptr<zip_t, TZipDeleter> Archive;
    std::string ArchiveName;
    TZipLimits Limits;
    uint64_t TotalRead = 0;
    std::vector<std::string> EntryNames;
    std::unordered_map<std::string, uint64_t> Indexes; // safe name -> entry index
};

} // namespace paginor
