#include "platform/ZipArchive.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <zip.h>

namespace paginor {

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr const char* kBomb = " (a zip bomb?)";

// "64 MiB" for a limit given in bytes (limits are whole MiB or else bytes).
std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// An entry that inflates past the limit of one entry.
TBookError EntryTooLarge(const std::string& where, uint64_t limit) {
    return TBookError("The " + where + " is too large: it inflates to more than " +
                      SizeText(limit) + kBomb);
}

// libzip's words for an error code ("Not a zip archive", "Read error").
std::string ZipErrorText(zip_error_t& error) {
    return zip_error_strerror(&error);
}

struct TZipErrorOwner {
    zip_error_t Error;
    TZipErrorOwner() { zip_error_init(&Error); }
    ~TZipErrorOwner() { zip_error_fini(&Error); }
    TZipErrorOwner(const TZipErrorOwner&) = delete;
    TZipErrorOwner& operator=(const TZipErrorOwner&) = delete;
};

} // namespace

void TZipArchive::TZipDeleter::operator()(zip_t* archive) const {
    zip_discard(archive);
}

TZipArchive::TZipArchive(TZipArchive&&) noexcept = default;
TZipArchive& TZipArchive::operator=(TZipArchive&&) noexcept = default;
TZipArchive::~TZipArchive() = default;

TZipArchive TZipArchive::Open(const std::filesystem::path& path, const TZipLimits& limits) {
    std::string bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const TBookError& error) {
        throw TBookError("Can't read " + path.string() + ": " + error.what());
    }
    return FromBytes(std::move(bytes), path.string(), limits);
}

TZipArchive TZipArchive::FromBytes(std::string bytes, const std::string& name,
                                   const TZipLimits& limits) {
    TZipArchive archive;
    archive.ArchiveName = name;
    archive.Limits = limits;
    archive.Bytes = std::make_unique<std::string>(std::move(bytes));
    // libzip takes no bytes at all for an empty archive; a file is not one.
    if (archive.Bytes->empty()) throw TBookError(name + " is not a zip archive");

    TZipErrorOwner error;
    zip_source_t* source =
        zip_source_buffer_create(archive.Bytes->data(), archive.Bytes->size(), 0, &error.Error);
    if (!source) throw TBookError("Can't read " + name + ": " + ZipErrorText(error.Error));
    zip_t* raw = zip_open_from_source(source, ZIP_RDONLY, &error.Error);
    if (!raw) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&error.Error);
        if (code == ZIP_ER_NOZIP || code == ZIP_ER_EOF)
            throw TBookError(name + " is not a zip archive");
        throw TBookError("Can't read " + name + ": " + ZipErrorText(error.Error));
    }
    archive.Archive.reset(raw);
    archive.Index();
    return archive;
}

void TZipArchive::Index() {
    const zip_int64_t count = zip_get_num_entries(Archive.get(), 0);
    if (count < 0) throw TBookError("Can't read " + ArchiveName + ": no entry list");
    if (static_cast<uint64_t>(count) > Limits.MaxEntries)
        throw TBookError(ArchiveName + " has more than " + std::to_string(Limits.MaxEntries) +
                         " entries");
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const char* raw = zip_get_name(Archive.get(), i, 0);
        if (!raw) continue;
        const std::string name = raw;
        if (name.ends_with('/') || !IsSafeName(name)) continue;
        if (Indexes.emplace(name, i).second) EntryNames.push_back(name);
    }
}

bool TZipArchive::Contains(std::string_view entry) const {
    return Indexes.contains(std::string(entry));
}

std::optional<std::string> TZipArchive::TryRead(std::string_view entry) {
    if (!Contains(entry)) return std::nullopt;
    return Read(entry);
}

TZipEntryReader TZipArchive::OpenEntry(std::string_view entry) {
    const std::string name(entry);
    const auto found = Indexes.find(name);
    if (found == Indexes.end()) {
        if (!IsSafeName(name))
            throw TBookError(ArchiveName + ": the entry name " + name + " is refused");
        throw TBookError(ArchiveName + " has no entry " + name);
    }
    const zip_uint64_t index = found->second;
    const std::string where = "entry " + name + " of " + ArchiveName;

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(Archive.get(), index, 0, &stat) != 0)
        throw TBookError("Can't read " + where + ": " + zip_strerror(Archive.get()));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw TBookError("Can't read " + where + ": it is encrypted");
    // The declared size is only a first check: the reader counts what
    // actually comes out, since a hostile archive can declare anything.
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > Limits.MaxEntrySize)
        throw EntryTooLarge(where, Limits.MaxEntrySize);
    zip_file_t* file = zip_fopen_index(Archive.get(), index, 0);
    if (!file) throw TBookError("Can't read " + where + ": " + zip_strerror(Archive.get()));
    return TZipEntryReader(*this, file, where);
}

std::string TZipArchive::Read(std::string_view entry) {
    TZipEntryReader reader = OpenEntry(entry);
    std::string bytes;
    char buffer[kReadChunk];
    while (const size_t got = reader.Read(buffer, sizeof buffer))
        bytes.append(buffer, got);
    return bytes;
}

void TZipEntryReader::TFileCloser::operator()(zip_file_t* file) const {
    zip_fclose(file);
}

TZipEntryReader::TZipEntryReader(TZipArchive& archive, zip_file_t* file, std::string where)
    : Archive(&archive), File(file), Where(std::move(where)) {}
TZipEntryReader::TZipEntryReader(TZipEntryReader&&) noexcept = default;
TZipEntryReader& TZipEntryReader::operator=(TZipEntryReader&&) noexcept = default;
TZipEntryReader::~TZipEntryReader() = default;

size_t TZipEntryReader::Read(char* buffer, size_t size) {
    const zip_int64_t got = zip_fread(File.get(), buffer, size);
    if (got < 0) throw TBookError("Can't read " + Where + ": " + zip_file_strerror(File.get()));
    const TZipLimits& limits = Archive->Limits;
    if (Done + static_cast<uint64_t>(got) > limits.MaxEntrySize)
        throw EntryTooLarge(Where, limits.MaxEntrySize);
    Done += static_cast<uint64_t>(got);
    Archive->TotalRead += static_cast<uint64_t>(got);
    if (Archive->TotalRead > limits.MaxTotalSize)
        throw TBookError(Archive->ArchiveName + " is too large: its entries inflate to more than " +
                         SizeText(limits.MaxTotalSize) + kBomb);
    return static_cast<size_t>(got);
}

bool TZipArchive::IsSafeName(std::string_view entry) {
    if (entry.empty() || entry.front() == '/' || entry.front() == '\\') return false;
    if (entry.find('\0') != std::string_view::npos) return false;
    size_t start = 0;
    while (start <= entry.size()) {
        size_t end = entry.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = entry.size();
        if (entry.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<std::string> TZipArchive::ResolveName(std::string_view baseEntry,
                                                    std::string_view reference) {
    if (reference.empty() || HasUriScheme(reference)) return std::nullopt;
    std::vector<std::string> steps;
    auto walk = [&steps](std::string_view path) {
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string_view::npos) end = path.size();
            const std::string_view step = path.substr(start, end - start);
            if (step == "..") {
                if (steps.empty()) return false;
                steps.pop_back();
            } else if (!step.empty() && step != ".") {
                steps.emplace_back(step);
            }
            start = end + 1;
        }
        return true;
    };
    const std::string target = DecodePercentEscapes(reference);
    if (target.find('\0') != std::string::npos || target.find('\\') != std::string::npos)
        return std::nullopt;
    if (!target.starts_with('/')) {
        const size_t slash = baseEntry.rfind('/');
        if (slash != std::string_view::npos && !walk(baseEntry.substr(0, slash)))
            return std::nullopt;
    }
    if (!walk(target) || steps.empty()) return std::nullopt;
    std::string name;
    for (const std::string& step : steps)
        name += (name.empty() ? "" : "/") + step;
    return name;
}

} // namespace paginor
