#include "midlet/jar/JarWriter.h"

#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "midlet/bByteOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <libdeflate.h>
#include <sys/stat.h>

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

// The window of entries added but not yet written: a few per thread, and
// no more bytes than this unless one entry alone is larger.
constexpr size_t kWindowPerThread = 4;
constexpr size_t kWindowBytes = 16 * 1024 * 1024;
constexpr unsigned kMostThreads = 8;

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

// The entry time in MS-DOS form: UTC, so that the archive does not depend on
// the time zone of the machine; two-second steps, 1980-2107.
void DosTimeOf(int64_t time, uint16_t& dosTime, uint16_t& dosDate) {
    const std::time_t clock = static_cast<std::time_t>(time);
    std::tm utc{};
    if (!gmtime_r(&clock, &utc) || utc.tm_year + 1900 < 1980) {
        utc = std::tm{};
        utc.tm_year = 80;
        utc.tm_mday = 1;
    }
    if (utc.tm_year + 1900 > 2107) {
        utc = std::tm{};
        utc.tm_year = 2107 - 1900;
        utc.tm_mon = 11;
        utc.tm_mday = 31;
        utc.tm_hour = 23;
        utc.tm_min = 59;
        utc.tm_sec = 58;
    }
    dosDate =
        static_cast<uint16_t>(((utc.tm_year - 80) << 9) | ((utc.tm_mon + 1) << 5) | utc.tm_mday);
    dosTime = static_cast<uint16_t>((utc.tm_hour << 11) | (utc.tm_min << 5) | (utc.tm_sec / 2));
}

// libdeflate's level for a JarCompression value.
int LibdeflateLevel(int jarCompression) {
    if (jarCompression < kJarCompressionMin || jarCompression > kJarCompressionMax)
        throw TBookError("JarCompression " + std::to_string(jarCompression) + " is out of range (" +
                         std::to_string(kJarCompressionMin) + ".." +
                         std::to_string(kJarCompressionMax) + ")");
    return jarCompression;
}

} // namespace

// One libdeflate compressor: a thread compresses with its own.
class TJarWriter::TCompressor {
public:
    explicit TCompressor(int level) : Handle(libdeflate_alloc_compressor(level)) {
        if (!Handle) throw TBookError("Can't start deflate compression");
    }
    ~TCompressor() { libdeflate_free_compressor(Handle); }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    std::string Deflate(std::string_view bytes) const {
        std::string out(libdeflate_deflate_compress_bound(Handle, bytes.size()), '\0');
        const size_t size =
            libdeflate_deflate_compress(Handle, bytes.data(), bytes.size(), out.data(), out.size());
        if (size == 0) throw TBookError("Deflate compression failed");
        out.resize(size);
        return out;
    }

private:
    libdeflate_compressor* Handle;
};

namespace {

std::string ErrnoText() {
    return SystemErrorText(errno);
}

} // namespace

std::string RawDeflate(std::string_view bytes, int libdeflateLevel) {
    return TJarWriter::TCompressor(libdeflateLevel).Deflate(bytes);
}

uint32_t Crc32(std::string_view bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

TJarWriter::TJarWriter(const fs::path& fileName, int level, int64_t entryTime, unsigned threads)
    : FileName(fileName), Level(LibdeflateLevel(level)), Archive(fileName) {
    DosTimeOf(entryTime, DosTime, DosDate);
    if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
    WindowLimit = kWindowPerThread * threads;
    // One thread: the caller compresses, and the window holds one entry.
    if (threads == 1) WindowLimit = 1;
    for (unsigned i = 0; threads > 1 && i < threads; ++i)
        Workers.emplace_back([this] { WorkerLoop(); });
}

TJarWriter::~TJarWriter() {
    {
        std::lock_guard guard(Lock);
        Stopping = true;
    }
    WorkArrived.notify_all();
    for (std::thread& worker : Workers)
        worker.join();
}

void TJarWriter::CheckFits(uint64_t value, const char* what) const {
    if (value > kMax32)
        throw TBookError("Archive " + FileName.string() + " would need ZIP64 extensions (" + what +
                         " beyond 4 GiB), which this writer does not write");
}

TJarEntry TJarWriter::NewEntry(std::string name, uint32_t attributes) {
    if (name.size() > kMax16 || kNuExtraFixedSize + 4 + 2 * FromUtf8(name).size() > kMax16)
        throw TBookError("File name too long for the archive: " + name);
    if (Entries.size() + Window.size() >= kMaxEntries)
        throw TBookError("Archive " + FileName.string() + " would need ZIP64 extensions (" +
                         std::to_string(Entries.size() + Window.size() + 1) +
                         " entries, more than 65534), which this writer does not write");
    TJarEntry entry;
    if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }))
        entry.Flags |= kUtf8NameFlag;
    entry.Name = std::move(name);
    entry.DosTime = DosTime;
    entry.DosDate = DosDate;
    entry.ExternalAttributes = attributes;
    return entry;
}

void TJarWriter::AddFolder(std::string name) {
    TJarEntry entry = NewEntry(std::move(name), kAttrDirectory);
    entry.Flags |= kFolderFlags;
    Add(std::move(entry), {}, false);
}

void TJarWriter::AddEntry(std::string name, std::string bytes) {
    CheckFits(bytes.size(), "file size");
    TJarEntry entry = NewEntry(std::move(name), kAttrArchive);
    Add(std::move(entry), std::move(bytes), true);
}

void TJarWriter::AddDeflatedEntry(std::string name, std::string_view deflated, uint32_t crc32,
                                  uint64_t size) {
    CheckFits(size, "file size");
    TJarEntry entry = NewEntry(std::move(name), kAttrArchive);
    entry.Method = kMethodDeflated;
    entry.Crc = crc32;
    entry.Size = size;
    Add(std::move(entry), std::string(deflated), false);
}

// The entry joins the window; with compress, its bytes are deflated (by a
// worker when there are any). Entries leave the window in order, as soon as
// they are ready, and the caller waits while the window is full.
void TJarWriter::Add(TJarEntry entry, std::string data, bool compress) {
    auto pending = std::make_unique<TPending>();
    pending->Entry = std::move(entry);
    pending->Data = std::move(data);
    if (compress && pending->Data.empty()) compress = false;
    if (!compress) {
        if (pending->Entry.Method == kMethodStored) pending->Entry.Size = pending->Data.size();
        pending->Entry.CompressedSize = pending->Data.size();
        pending->Ready = true;
    }
    TPending* job = pending.get();
    {
        std::lock_guard guard(Lock);
        job->Held = job->Data.size();
        WindowBytes += job->Held;
        Window.push_back(std::move(pending));
        if (compress && !Workers.empty()) Queue.push_back(job);
    }
    if (compress && Workers.empty()) {
        if (!OwnCompressor) OwnCompressor = std::make_unique<TCompressor>(Level);
        Compress(*job, *OwnCompressor);
        job->Ready = true;
    } else if (compress) {
        WorkArrived.notify_one();
    }
    WriteReady(false);
}

void TJarWriter::Compress(TPending& pending, const TCompressor& compressor) {
    try {
        TJarEntry& entry = pending.Entry;
        entry.Method = kMethodDeflated;
        entry.Size = pending.Data.size();
        entry.Crc = Crc32(pending.Data);
        pending.Data = compressor.Deflate(pending.Data);
        entry.CompressedSize = pending.Data.size();
    } catch (...) {
        pending.Error = std::current_exception();
    }
}

void TJarWriter::WorkerLoop() {
    std::unique_ptr<TCompressor> compressor;
    std::unique_lock guard(Lock);
    for (;;) {
        WorkArrived.wait(guard, [this] { return Stopping || !Queue.empty(); });
        if (Stopping) return;
        TPending* job = Queue.front();
        Queue.pop_front();
        guard.unlock();
        try {
            if (!compressor) compressor = std::make_unique<TCompressor>(Level);
            Compress(*job, *compressor);
        } catch (...) {
            job->Error = std::current_exception();
        }
        guard.lock();
        job->Ready = true;
        WorkDone.notify_all();
    }
}

// Writes the ready entries at the front of the window; with wait, writes them
// all, waiting for each. Without it, still waits while the window is over its
// limits, so that memory stays bounded.
void TJarWriter::WriteReady(bool wait) {
    for (;;) {
        std::unique_ptr<TPending> front;
        {
            std::unique_lock guard(Lock);
            if (Window.empty()) return;
            const bool full =
                Window.size() > WindowLimit || (WindowBytes > kWindowBytes && Window.size() > 1);
            if (wait || full)
                WorkDone.wait(guard, [this] { return Window.front()->Ready; });
            else if (!Window.front()->Ready)
                return;
            front = std::move(Window.front());
            Window.pop_front();
        }
        if (front->Error) std::rethrow_exception(front->Error);
        Write(*front);
        std::lock_guard guard(Lock);
        WindowBytes -= front->Held;
    }
}

void TJarWriter::Write(TPending& pending) {
    TJarEntry& entry = pending.Entry;
    entry.HeaderOffset = Archive.Position();
    CheckFits(entry.HeaderOffset, "archive size");
    CheckFits(entry.CompressedSize, "compressed size");
    Archive.Write(LocalHeader(entry));
    Archive.Write(pending.Data);
    Entries.push_back(entry);
}

void TJarWriter::AddFolderFiles(const fs::path& folder) {
    std::vector<TFoundFile> found;
    CollectFolder(folder, "", found);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::pair(EntryRank(a.Name), std::string_view(a.Name)) <
               std::pair(EntryRank(b.Name), std::string_view(b.Name));
    });
    for (TFoundFile& file : found) {
        if (S_ISDIR(file.Info.st_mode)) {
            AddFolder(std::move(file.Name));
            continue;
        }
        // The size is checked before the file is read into memory.
        CheckFits(static_cast<uint64_t>(file.Info.st_size), "file size");
        std::string bytes;
        try {
            bytes = ReadWholeFile(file.Path);
        } catch (const TBookError& e) {
            throw TBookError("Can't read file " + file.Path.string() + " (" + e.what() + ")");
        }
        TJarEntry entry = NewEntry(std::move(file.Name), kAttrArchive);
        if (!(file.Info.st_mode & S_IWUSR)) entry.ExternalAttributes |= kAttrReadOnly;
        Add(std::move(entry), std::move(bytes), true);
    }
}

void TJarWriter::CollectFolder(const fs::path& folder, const std::string& prefix,
                               std::vector<TFoundFile>& found) const {
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
            found.push_back({prefix + name + "/", path, info});
            CollectFolder(path, prefix + name + "/", found);
        } else if (S_ISREG(info.st_mode)) {
            found.push_back({prefix + name, path, info});
        }
    }
    if (ec) throw TBookError("Can't list folder " + folder.string() + " (" + ec.message() + ")");
}

void TJarWriter::Finish() {
    WriteReady(true);
    const uint64_t directoryOffset = Archive.Position();
    CheckFits(directoryOffset, "archive size");
    for (const TJarEntry& entry : Entries)
        Archive.Write(CentralRecord(entry));
    const uint64_t directorySize = Archive.Position() - directoryOffset;
    CheckFits(Archive.Position(), "archive size");
    Archive.Write(EndRecord(Entries.size(), directorySize, directoryOffset));
    Archive.Close(true);
}

} // namespace paginor
