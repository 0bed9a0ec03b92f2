// TJarWriter: packs a folder into a JAR (a zip archive) with zlib's raw
// deflate at level 1. Every entry carries the NU/NUCX extra field with its
// name in UTF-16; folders become entries of their own; empty files are
// stored. Archives that would need the 64-bit (ZIP64) extensions are refused.
#pragma once

#include "midlet/bOutputFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
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

class TJarWriter {
public:
    std::filesystem::path FileName; // the archive
    std::filesystem::path BaseDir;  // names of added files are relative to it

    // Creates the archive file anew.
    void BeginArchive();
    // Adds every file and folder under BaseDir, recursing into folders:
    // META-INF/ and META-INF/MANIFEST.MF first, then every other entry in the
    // byte order of its name. The archive's own file is never added; links
    // and special files are skipped.
    void AddMatchingFiles();
    // Writes the central directory and the end record and closes the file
    // once its data is on the disk.
    void EndArchive();

private:
    // A file or folder found under BaseDir, waiting for its place in the
    // archive.
    struct TPendingEntry {
        std::string Name; // the entry's name
        std::filesystem::path Path;
        struct stat Info;
        bool Folder;
    };

    void CollectFolder(const std::filesystem::path& folder, const std::string& prefix,
                       std::vector<TPendingEntry>& pending) const;
    void AddFolderEntry(const TPendingEntry& folder);
    void AddFileEntry(const std::filesystem::path& file, const std::string& name);
    void CheckFits(uint64_t value, const char* what) const;
    TOutputFile& Out();

    std::optional<TOutputFile> Archive;
    std::vector<TJarEntry> Entries;
};

} // namespace paginor
