// TOutputFile: one file opened for writing, created anew or truncated, closed
// by its owner or, after a failure, by the destructor. Whatever was written
// before a failure stays in the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

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
    // Flushes and closes; raises TBookError when the data did not reach the file.
    void Close();

private:
    struct TCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    [[noreturn]] void Fail(const char* what) const;

    std::filesystem::path Path;
    std::unique_ptr<std::FILE, TCloser> File;
    uint64_t Size = 0;
};

} // namespace paginor
