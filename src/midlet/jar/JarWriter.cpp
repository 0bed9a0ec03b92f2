#include "midlet/jar/JarWriter.h"

#include "core/bObject.h"
#include "core/bVar.h"
#include "midlet/bByteOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <zlib.h>

namespace paginor {

namespace {

namespace fs = std::filesystem;

// Record signatures and fixed values of the zip format.
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralRecordSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint16_t kVersion = 20; // made by and needed to extract: 2.0, host 0 (MS-DOS)
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFolderFlags = 2;
constexpr uint16_t kUtf8NameFlag = 0x0800; // only set for a name beyond ASCII
constexpr int kDeflateLevel = 1;
constexpr int kRawDeflateWindowBits = -15;
constexpr int kDeflateMemLevel = 8;

// The NU extra field: "NUCX", the name's length in UTF-16 code units, the
// name in UTF-16 little-endian.
constexpr uint16_t kNuExtraId = 0x554E; // the bytes 4E 55
constexpr char kNuExtraTag[] = "NUCX";
constexpr size_t kNuExtraFixedSize = 8;

// MS-DOS attribute bits for the external attributes.
constexpr uint32_t kAttrReadOnly = 1;
constexpr uint32_t kAttrDirectory = 16;
constexpr uint32_t kAttrArchive = 32;

// Limits of the 32-bit format: anything larger needs ZIP64, which is refused.
constexpr uint64_t kMax32 = 0xFFFFFFFEull;
constexpr uint64_t kMaxEntries = 0xFFFEull;
constexpr uint64_t kMax16 = 0xFFFFull;

constexpr size_t kChunkSize = 64 * 1024;

constexpr std::string_view kManifestFolder = "META-INF/";
constexpr std::string_view kManifestName = "META-INF/MANIFEST.MF";

// The entries go into the archive by rank, then by name byte by byte: the
// manifest folder and the manifest first, as the jar tool writes them (some
// phone installers and Java's JarInputStream look for the manifest only
// there), then every other entry, so that the same midlet folder gives the
// same archive whatever order the file system lists it in.
int EntryRank(std::string_view name) {
    return name == kManifestFolder ? 0 : name == kManifestName ? 1 : 2;
}

std::string ExtraField(const std::string& name) {
    const std::u16string units = FromUtf8(name);
    std::string out;
    PutLittleEndian16(out, kNuExtraId);
    PutLittleEndian16(out, static_cast<uint16_t>(kNuExtraFixedSize + 2 * units.size()));
    out += kNuExtraTag;
    PutLittleEndian32(out, static_cast<uint32_t>(units.size()));
    for (char16_t unit : units)
        PutLittleEndian16(out, unit);
    return out;
}

// The fields a local header and a central record share, from the flags to the
// extra field's length.
void PutEntryFields(std::string& out, const TJarEntry& entry, const std::string& extra) {
    PutLittleEndian16(out, entry.Flags);
    PutLittleEndian16(out, entry.Method);
    PutLittleEndian16(out, entry.DosTime);
    PutLittleEndian16(out, entry.DosDate);
    PutLittleEndian32(out, entry.Crc);
    PutLittleEndian32(out, static_cast<uint32_t>(entry.CompressedSize));
    PutLittleEndian32(out, static_cast<uint32_t>(entry.Size));
    PutLittleEndian16(out, static_cast<uint16_t>(entry.Name.size()));
    PutLittleEndian16(out, static_cast<uint16_t>(extra.size()));
}

std::string LocalHeader(const TJarEntry& entry) {
    const std::string extra = ExtraField(entry.Name);
    std::string out;
    PutLittleEndian32(out, kLocalHeaderSignature);
    PutLittleEndian16(out, kVersion);
    PutEntryFields(out, entry, extra);
    return out + entry.Name + extra;
}

std::string CentralRecord(const TJarEntry& entry) {
    const std::string extra = ExtraField(entry.Name);
    std::string out;
    PutLittleEndian32(out, kCentralRecordSignature);
    PutLittleEndian16(out, kVersion); // made by
    PutLittleEndian16(out, kVersion); // needed
    PutEntryFields(out, entry, extra);
    PutLittleEndian16(out, 0); // comment length
    PutLittleEndian16(out, 0); // disk number
    PutLittleEndian16(out, 0); // internal attributes
    PutLittleEndian32(out, entry.ExternalAttributes);
    PutLittleEndian32(out, static_cast<uint32_t>(entry.HeaderOffset));
    return out + entry.Name + extra;
}

std::string EndRecord(uint64_t entries, uint64_t directorySize, uint64_t directoryOffset) {
    std::string out;
    PutLittleEndian32(out, kEndRecordSignature);
    PutLittleEndian16(out, 0); // this disk
    PutLittleEndian16(out, 0); // disk of the central directory
    PutLittleEndian16(out, static_cast<uint16_t>(entries));
    PutLittleEndian16(out, static_cast<uint16_t>(entries));
    PutLittleEndian32(out, static_cast<uint32_t>(directorySize));
    PutLittleEndian32(out, static_cast<uint32_t>(directoryOffset));
    PutLittleEndian16(out, 0); // comment length
    return out;
}

// Modification time in MS-DOS form (local time, two-second steps, 1980-2107).
void SetDosTime(TJarEntry& entry, std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    int year = local.tm_year + 1900;
    if (year < 1980) {
        local = std::tm{};
        local.tm_mday = 1;
        year = 1980;
    }
    year = std::min(year, 2107);
    entry.DosDate =
        static_cast<uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    entry.DosTime =
        static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

TJarEntry NewEntry(const std::string& name, const struct stat* info) {
    if (name.size() > kMax16 || kNuExtraFixedSize + 4 + 2 * FromUtf8(name).size() > kMax16)
        throw TBookError("File name too long for the archive: " + name);
    TJarEntry entry;
    entry.Name = name;
    if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }))
        entry.Flags |= kUtf8NameFlag;
    SetDosTime(entry, info ? info->st_mtime : std::time(nullptr));
    if (!info) {
        entry.ExternalAttributes = kAttrArchive;
    } else if (S_ISDIR(info->st_mode)) {
        entry.ExternalAttributes = kAttrDirectory;
    } else {
        entry.ExternalAttributes = kAttrArchive;
        if (!(info->st_mode & S_IWUSR)) entry.ExternalAttributes |= kAttrReadOnly;
    }
    return entry;
}

// One raw deflate stream (no zlib header), level 1.
class TRawDeflater {
public:
    TRawDeflater() {
        if (deflateInit2(&Stream, kDeflateLevel, Z_DEFLATED, kRawDeflateWindowBits,
                         kDeflateMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw TBookError("Can't start deflate compression");
    }
    ~TRawDeflater() { deflateEnd(&Stream); }
    TRawDeflater(const TRawDeflater&) = delete;
    TRawDeflater& operator=(const TRawDeflater&) = delete;

    // Compresses the bytes (or, with finish, the end of the stream) and hands
    // the compressed output to the file; returns the bytes written.
    uint64_t Deflate(std::string_view bytes, bool finish, TOutputFile& out) {
        Stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        Stream.avail_in = static_cast<uInt>(bytes.size());
        uint64_t written = 0;
        char buffer[kChunkSize];
        int result = Z_OK;
        do {
            Stream.next_out = reinterpret_cast<Bytef*>(buffer);
            Stream.avail_out = sizeof buffer;
            result = deflate(&Stream, finish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR) throw TBookError("Deflate compression failed");
            const size_t produced = sizeof buffer - Stream.avail_out;
            out.Write(std::string_view(buffer, produced));
            written += produced;
        } while (Stream.avail_out == 0 || (finish && result != Z_STREAM_END));
        return written;
    }

private:
    z_stream Stream{};
};

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string ErrnoText() {
    return SystemErrorText(errno);
}

} // namespace

TOutputFile& TJarWriter::Out() {
    if (!Archive) throw TBookError("The archive is not open");
    return *Archive;
}

void TJarWriter::CheckFits(uint64_t value, const char* what) const {
    if (value > kMax32)
        throw TBookError("Archive " + FileName.string() + " would need ZIP64 extensions (" + what +
                         " beyond 4 GiB), which this writer does not write");
}

void TJarWriter::BeginArchive() {
    Entries.clear();
    Archive.reset();
    Archive.emplace(FileName);
}

void TJarWriter::AddMatchingFiles() {
    Out();
    std::vector<TPendingEntry> pending;
    CollectFolder(BaseDir, "", pending);
    std::sort(pending.begin(), pending.end(), [](const auto& a, const auto& b) {
        return std::pair(EntryRank(a.Name), std::string_view(a.Name)) <
               std::pair(EntryRank(b.Name), std::string_view(b.Name));
    });
    for (const TPendingEntry& item : pending) {
        if (item.Folder)
            AddFolderEntry(item);
        else
            AddFileEntry(item.Path, item.Name);
    }
}

void TJarWriter::CollectFolder(const fs::path& folder, const std::string& prefix,
                               std::vector<TPendingEntry>& pending) const {
    struct stat archiveInfo {};
    const bool archiveKnown = ::stat(FileName.c_str(), &archiveInfo) == 0;

    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const fs::path path = folder / name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            throw TBookError("Can't read file " + path.string() + " (" + ErrnoText() + ")");
        if (archiveKnown && info.st_dev == archiveInfo.st_dev && info.st_ino == archiveInfo.st_ino)
            continue;
        if (S_ISDIR(info.st_mode)) {
            pending.push_back({prefix + name + "/", path, info, true});
            CollectFolder(path, prefix + name + "/", pending);
        } else if (S_ISREG(info.st_mode)) {
            pending.push_back({prefix + name, path, info, false});
        }
    }
    if (ec) throw TBookError("Can't list folder " + folder.string() + " (" + ec.message() + ")");
}

void TJarWriter::AddFolderEntry(const TPendingEntry& folder) {
    Entries.push_back(NewEntry(folder.Name, &folder.Info));
    TJarEntry& entry = Entries.back();
    entry.Flags |= kFolderFlags;
    entry.HeaderOffset = Out().Position();
    CheckFits(entry.HeaderOffset, "archive size");
    Out().Write(LocalHeader(entry));
}

void TJarWriter::AddFileEntry(const fs::path& file, const std::string& name) {
    std::unique_ptr<std::FILE, TFileCloser> in(std::fopen(file.c_str(), "rb"));
    if (!in) throw TBookError("Can't open file " + file.string() + " (" + ErrnoText() + ")");
    struct stat info {};
    const bool known = ::fstat(fileno(in.get()), &info) == 0;
    if (known) CheckFits(static_cast<uint64_t>(info.st_size), "file size");
    TJarEntry entry = NewEntry(name, known ? &info : nullptr);
    entry.Method = kMethodDeflated;
    entry.HeaderOffset = Out().Position();
    CheckFits(entry.HeaderOffset, "archive size");
    Out().Write(LocalHeader(entry));

    TRawDeflater deflater;
    uLong crc = crc32(0, nullptr, 0);
    char buffer[kChunkSize];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, in.get());
        if (got == 0) {
            if (std::ferror(in.get()))
                throw TBookError("Can't read file " + file.string() + " (" + ErrnoText() + ")");
            break;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(got));
        entry.Size += got;
        CheckFits(entry.Size, "file size");
        entry.CompressedSize += deflater.Deflate(std::string_view(buffer, got), false, Out());
    }
    if (entry.Size == 0) {
        entry.Method = kMethodStored;
    } else {
        entry.CompressedSize += deflater.Deflate({}, true, Out());
        entry.Crc = static_cast<uint32_t>(crc);
    }
    CheckFits(entry.CompressedSize, "compressed size");
    Out().WriteAt(entry.HeaderOffset, LocalHeader(entry));
    Entries.push_back(entry);
}

void TJarWriter::EndArchive() {
    TOutputFile& out = Out();
    if (Entries.size() > kMaxEntries)
        throw TBookError("Archive " + FileName.string() + " would need ZIP64 extensions (" +
                         std::to_string(Entries.size()) +
                         " entries, more than 65534), which this writer does not write");
    const uint64_t directoryOffset = out.Position();
    CheckFits(directoryOffset, "archive size");
    for (const TJarEntry& entry : Entries)
        out.Write(CentralRecord(entry));
    const uint64_t directorySize = out.Position() - directoryOffset;
    CheckFits(out.Position(), "archive size");
    out.Write(EndRecord(Entries.size(), directorySize, directoryOffset));
    out.Close(true);
    Archive.reset();
}

} // namespace paginor
