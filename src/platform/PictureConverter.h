// TPictureConverter: converts one picture with ImageMagick's convert command,
// called in-process with an argument list (source, options, target), the same
// syntax as the convert command line. Pictures come from books, so nothing is
// trusted: the source's content must be PNG, JPEG, GIF or BMP, ImageMagick may
// read and write only those formats, its resources are limited, and the
// options pass an allow-list. Each conversion has a time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
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

// A box a picture is fitted into, keeping its proportions.
struct TPictureBox {
    uint32_t Width = 0;
    uint32_t Height = 0;
};

// The smallest screen the reader targets (its phones have 176x208 to 240x320
// pixels). A picture meant to fill the screen, such as a book's cover shown
// as the splash picture, is fitted into it: it then shows whole on every one
// of them, and stays small in a 512 KB heap.
inline constexpr TPictureBox kSmallestScreen{176, 208};

class TPictureConverter {
public:
    // Largest picture the converter accepts, on a side and in pixels. Larger
    // ones are refused before they are decoded (a small file can declare an
    // enormous picture).
    static constexpr uint32_t kMaxSide = 16384;
    static constexpr uint64_t kMaxPixels = 40'000'000;
    // Most options one conversion may pass (a value counts as an option).
    static constexpr size_t kMaxOptions = 10;
    // Longest time one conversion may take.
    static constexpr std::chrono::milliseconds kTimeLimit{30'000};

    // Starts ImageMagick unless it is already running, and puts the security
    // policy and the resource limits in force. Conversions made through this
    // object stop after `timeLimit`.
    explicit TPictureConverter(std::chrono::milliseconds timeLimit = kTimeLimit);
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

    // Makes the target a PNG that the reader and every MIDP 1.0 phone can
    // show, from a picture file. Its content must be PNG, JPEG, GIF or BMP. A
    // PNG that fits the box (or any PNG, without a box) is copied byte for
    // byte; anything else is converted to PNG (the first frame, 8 bits a
    // channel), shrunk into the box when it is larger, keeping its
    // proportions. Returns true when the file was copied as it is. Raises
    // TBookError "Can't convert picture file SOURCE -> TARGET: reason"; a
    // failed conversion leaves no target.
    static bool MakePhonePng(const std::filesystem::path& source,
                             const std::filesystem::path& target,
                             std::optional<TPictureBox> box = std::nullopt);

    // The palette PNG is kept when it differs from the full-colour picture,
    // both softened a little (as an eye sees dithering), by at most this
    // root-mean-square error (0..1 of the full scale): about 34 dB.
    static constexpr double kPaletteTolerance = 0.02;

    // Replaces the PNG at `path` by a 256-colour palette PNG of it, dithered,
    // when that is smaller and close to it (see kPaletteTolerance); a picture
    // with transparency, or one already of 256 colours or fewer, stays as it
    // is. Returns the bytes saved (0 when the file stays). Raises TBookError
    // when the file is no picture ImageMagick can read.
    static int64_t MakeSmallestPng(const std::filesystem::path& path);

private:
    bool OwnsLibrary = false;
    std::chrono::milliseconds TimeLimit;
};

} // namespace paginor
