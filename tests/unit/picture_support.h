// Pictures for tests, drawn from raw pixels through ImageMagick's wand, and
// read back by their content. ImageMagick must be running (a live
// TPictureConverter keeps it so).
#pragma once

#include <gtest/gtest.h>
#include <wand/MagickWand.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace paginor::testing {

struct TWandDeleter {
    void operator()(MagickWand* wand) const { DestroyMagickWand(wand); }
};
struct TPixelWandDeleter {
    void operator()(PixelWand* wand) const { DestroyPixelWand(wand); }
};
using TWand = std::unique_ptr<MagickWand, TWandDeleter>;

enum class TLook {
    Photo,   // noise everywhere: JPEG wins over PNG
    Drawing, // four flat colour blocks: PNG wins over JPEG
};

// Draws a picture from raw pixels (no coder but the writer's is involved) and
// writes it in the format the coder prefix names ("png:", "jpeg:", "gif:").
inline void DrawPicture(const std::filesystem::path& path, const std::string& coder, size_t width,
                        size_t height, TLook look) {
    std::vector<unsigned char> pixels(width * height * 3);
    std::mt19937 random(42);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            unsigned char* p = &pixels[(y * width + x) * 3];
            if (look == TLook::Photo) { // smooth light with grain
                p[0] = static_cast<unsigned char>(x * 200 / width + random() % 32);
                p[1] = static_cast<unsigned char>(y * 200 / height + random() % 32);
                p[2] = static_cast<unsigned char>((x + y) * 200 / (width + height) + random() % 32);
            } else {
                const bool right = x >= width / 2, low = y >= height / 2;
                p[0] = right ? 255 : 0;
                p[1] = low ? 200 : 20;
                p[2] = right != low ? 255 : 0;
            }
        }
    TWand wand(NewMagickWand());
    std::unique_ptr<PixelWand, TPixelWandDeleter> white(NewPixelWand());
    PixelSetColor(white.get(), "white");
    ASSERT_TRUE(MagickNewImage(wand.get(), width, height, white.get()));
    ASSERT_TRUE(
        MagickImportImagePixels(wand.get(), 0, 0, width, height, "RGB", CharPixel, pixels.data()));
    MagickSetImageCompressionQuality(wand.get(), 90);
    ASSERT_TRUE(MagickWriteImage(wand.get(), (coder + path.string()).c_str()));
}

struct TReadBack {
    std::string Format;
    size_t Width = 0;
    size_t Height = 0;
};

// Reads a written picture back through its content, not its name.
inline TReadBack ReadBack(const std::filesystem::path& path) {
    TWand wand(NewMagickWand());
    if (!MagickPingImage(wand.get(), path.c_str())) return {};
    char* format = MagickGetImageFormat(wand.get());
    TReadBack result{format, MagickGetImageWidth(wand.get()), MagickGetImageHeight(wand.get())};
    MagickRelinquishMemory(format);
    return result;
}

} // namespace paginor::testing
