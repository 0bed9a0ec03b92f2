// TPictureConverter: converts one picture with ImageMagick's convert command,
// called in-process with an argument list (source, options, target), the same
// syntax as the convert command line. Pictures come from books, so nothing is
// trusted: the source's content must be PNG, JPEG, GIF or BMP, ImageMagick may
// read and write only those formats, its resources are limited, and the
// options pass an allow-list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace paginor {

enum class TPictureFormat { Png, Jpeg, Gif, Bmp };

// What the first bytes of a picture file say about it.
struct TPictureInfo {
    TPictureFormat Format = TPictureFormat::Png;
    uint32_t Width = 0; // 0 when the header does not tell
    uint32_t Height = 0;
};

class TPictureConverter {
public:
    // Largest picture the converter accepts, on a side and in pixels. Larger
    // ones are refused before they are decoded (a small file can declare an
    // enormous picture).
    static constexpr uint32_t kMaxSide = 16384;
    static constexpr uint64_t kMaxPixels = 40'000'000;
    // Most options one conversion may pass (a value counts as an option).
    static constexpr size_t kMaxOptions = 10;

    // Starts ImageMagick unless it is already running, and puts the security
    // policy and the resource limits in force.
    TPictureConverter();
    ~TPictureConverter();
    TPictureConverter(const TPictureConverter&) = delete;
    TPictureConverter& operator=(const TPictureConverter&) = delete;

    // Reads the file's header. Raises TBookError ("File not found", "not a
    // PNG, JPEG, GIF or BMP picture", ...) without naming the file: callers add
    // which picture it was.
    static TPictureInfo Inspect(const std::filesystem::path& path);

    // Checks options against the allow-list and the count limit; raises
    // TBookError naming the first option that is refused.
    static void CheckOptions(const std::vector<std::string>& options);

    // Converts the source (already inspected) into the target, in the format
    // the target's format names. Checks the size limits and the options first.
    // On failure removes whatever the converter left at the target and raises
    // TBookError with the reason.
    void Convert(const std::filesystem::path& source, const TPictureInfo& info,
                 const std::vector<std::string>& options, const std::filesystem::path& target,
                 TPictureFormat targetFormat) const;

private:
    bool OwnsLibrary = false;
};

} // namespace paginor
