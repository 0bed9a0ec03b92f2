// TOutputFile: one file opened for writing, created anew or truncated, closed
// by its owner or, after a failure, by the destructor. Whatever was written
// before a failure stays in the file.
//
// TOutputFolder: puts finished files into a folder whole or not at all. They
// are written under temporary names in the folder and renamed onto their
// final names together, under a lock on the folder, so that the folder holds
// either the old files or the new ones, never a half-written file or a mix of
// two runs. Ctrl-C and the other stop signals wait while it has temporary
// files, so a stopped run leaves none behind.
#pragma once

#include "core/bSignals.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace paginor {

class TOutputFile {
public:
    // Raises TBookError "Can't create file PATH (reason)".
    explicit TOutputFile(const std::filesystem::path& path);

    // Appends the bytes; raises TBookError on a write failure.
    void Write(std::string_view bytes);
    // Overwrites bytes at an earlier offset and returns to the end.
    void WriteAt(uint64_t offset, std::string_view bytes);
    // Bytes written so far (the end of the file).
    uint64_t Position() const { return Size; }
    // Flushes and closes; raises TBookError when the data did not reach the
    // file. With `durable`, also waits until the data is on the disk.
    void Close(bool durable = false);

private:
    struct TCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    [[noreturn]] void Fail(const char* what) const;

    std::filesystem::path Path;
    std::unique_ptr<std::FILE, TCloser> File;
    uint64_t Size = 0;
};

class TOutputFolder {
public:
    // Raises TBookError when the folder cannot be opened.
    explicit TOutputFolder(const std::filesystem::path& folder);
    // Removes every temporary file that was not put in place.
    ~TOutputFolder();
    TOutputFolder(const TOutputFolder&) = delete;
    TOutputFolder& operator=(const TOutputFolder&) = delete;

    // Creates an empty file under a new hidden name in the folder
    // (".paginor-PID-RANDOM.EXT.part", EXT the final name's extension) and
    // returns its path. Failures name the final file.
    std::filesystem::path TemporaryFile(const std::string& finalName);

    // Renames each temporary file onto its final name in the folder, in
    // order, while holding an exclusive lock on the folder, then flushes the
    // folder to the disk. The files must be complete and closed (durably).
    // When a rename fails, the renames already made are undone as far as the
    // file system allows (the previous files come back), and TBookError is
    // raised.
    void Replace(const std::vector<std::pair<std::filesystem::path, std::string>>& files);

private:
    TStopSignals HeldSignals; // released last, once the temporaries are gone
    std::filesystem::path Folder;
    int Fd = -1;
    std::vector<std::filesystem::path> Temporaries;
};

} // namespace paginor
