// TJarWriter: writes a JAR (a zip archive) entry by entry, straight into its
// file. Entries are raw-deflated with libdeflate at the level the
// JarCompression option names, on worker threads when there are cores to
// spare, and written in the order they were added: the archive is the same
// byte for byte whatever the number of threads. Only a small window of
// entries waits in memory at a time, so a book streamed in as many pieces
// never has all of them in memory at once.
//
// Every entry carries the NU/NUCX extra field with its name in UTF-16 and the
// one entry time given (so the same entries give the same archive); folders
// are entries of their own; empty files are stored. Archives that would need
// the 64-bit (ZIP64) extensions are refused.
#pragma once

#include "midlet/bOutputFile.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace paginor {

// One entry of the archive as the central directory records it.
struct TJarEntry {
    std::string Name; // relative, "/" separated; folders end in "/"
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t DosTime = 0;
    uint16_t DosDate = 0;
    uint32_t Crc = 0;
    uint64_t CompressedSize = 0;
    uint64_t Size = 0;
    uint32_t ExternalAttributes = 0;
    uint64_t HeaderOffset = 0;
};

// The raw deflate stream of the bytes at libdeflate's level (1..12).
std::string RawDeflate(std::string_view bytes, int libdeflateLevel);
// The CRC-32 of the bytes, as zip records it.
uint32_t Crc32(std::string_view bytes);

class TJarWriter {
public:
    class TCompressor;

    // Creates the archive file anew. level is JarCompression (1..12);
    // entryTime (Unix seconds, written as UTC) stamps every entry. threads:
    // how many threads compress; 0 chooses one per core (a few at most), 1
    // compresses on the caller's thread.
    TJarWriter(const std::filesystem::path& fileName, int level, int64_t entryTime,
               unsigned threads = 0);
    // Stops the workers. An archive not finished stays as far as it was
    // written: its owner removes the file.
    ~TJarWriter();
    TJarWriter(const TJarWriter&) = delete;
    TJarWriter& operator=(const TJarWriter&) = delete;

    // A folder entry; the name ends in "/" ("META-INF/").
    void AddFolder(std::string name);
    // A file entry holding the bytes: deflated at the level, or stored when
    // empty.
    void AddEntry(std::string name, std::string bytes);
    // A file entry from a ready raw deflate stream of `size` bytes whose
    // CRC-32 is `crc32` (the reader's classes, compressed when the program
    // was built).
    void AddDeflatedEntry(std::string name, std::string_view deflated, uint32_t crc32,
                          uint64_t size);
    // Adds every file and folder under the folder, recursing: META-INF/ and
    // META-INF/MANIFEST.MF first, then every other entry in the byte order of
    // its name. The archive's own file is never added; links and special
    // files are skipped; a read-only file keeps the read-only attribute.
    void AddFolderFiles(const std::filesystem::path& folder);
    // Waits for the entries still being compressed, writes them, the central
    // directory and the end record, and closes the file once its data is on
    // the disk.
    void Finish();

private:
    // An entry added but not yet written: its record and its data (the bytes
    // to compress, then the compressed bytes once Ready).
    struct TPending {
        TJarEntry Entry;
        std::string Data;
        size_t Held = 0; // bytes it counts for in the window
        bool Ready = false;
        std::exception_ptr Error;
    };
    // A file or folder found under a folder, waiting for its place in the
    // archive.
    struct TFoundFile {
        std::string Name;
        std::filesystem::path Path;
        struct stat Info;
    };

    TJarEntry NewEntry(std::string name, uint32_t attributes);
    void Add(TJarEntry entry, std::string data, bool compress);
    static void Compress(TPending& pending, const TCompressor& compressor);
    void WorkerLoop();
    void WriteReady(bool wait);
    void Write(TPending& pending);
    void CheckFits(uint64_t value, const char* what) const;
    void CollectFolder(const std::filesystem::path& folder, const std::string& prefix,
                       std::vector<TFoundFile>& found) const;

    std::filesystem::path FileName;
    int Level;
    uint16_t DosTime = 0;
    uint16_t DosDate = 0;
    TOutputFile Archive;
    std::unique_ptr<TCompressor> OwnCompressor; // the caller's, without workers
    std::vector<TJarEntry> Entries;             // written, in order

    // Added entries not yet written, in order, and the bytes they hold.
    std::deque<std::unique_ptr<TPending>> Window;
    size_t WindowBytes = 0;
    size_t WindowLimit = 1;

    // The workers take entries to compress from Queue.
    std::mutex Lock;
    std::condition_variable WorkArrived;
    std::condition_variable WorkDone;
    std::deque<TPending*> Queue;
    bool Stopping = false;
    std::vector<std::thread> Workers;
};

} // namespace paginor
