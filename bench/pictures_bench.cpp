// Book pictures: a midlet's worth of photos converted in mode 2 (JPEG and
// PNG with the default rules, the smaller kept).
#include "core/bVar.h"
#include "midlet/bMidlet.h"
#include "platform/PictureConverter.h"

#include <benchmark/benchmark.h>
#include <wand/MagickWand.h>

#include <filesystem>
#include <memory>
#include <random>
#include <unistd.h>

using namespace paginor;
namespace fs = std::filesystem;

namespace {

constexpr int kPhotos = 50;
constexpr size_t kPhotoWidth = 1024;
constexpr size_t kPhotoHeight = 768;

struct TWandDeleter {
    void operator()(MagickWand* wand) const { DestroyMagickWand(wand); }
};
struct TPixelWandDeleter {
    void operator()(PixelWand* wand) const { DestroyPixelWand(wand); }
};

// A camera-like JPEG: smooth light with grain, so neither format is trivial.
void DrawPhoto(const fs::path& path, unsigned seed) {
    std::vector<unsigned char> pixels(kPhotoWidth * kPhotoHeight * 3);
    std::mt19937 random(seed);
    for (size_t y = 0; y < kPhotoHeight; ++y)
        for (size_t x = 0; x < kPhotoWidth; ++x) {
            unsigned char* p = &pixels[(y * kPhotoWidth + x) * 3];
            p[0] = static_cast<unsigned char>(x * 200 / kPhotoWidth + random() % 24);
            p[1] = static_cast<unsigned char>(y * 200 / kPhotoHeight + random() % 24);
            p[2] = static_cast<unsigned char>((x + y + seed * 40) % 200 + random() % 24);
        }
    std::unique_ptr<MagickWand, TWandDeleter> wand(NewMagickWand());
    std::unique_ptr<PixelWand, TPixelWandDeleter> white(NewPixelWand());
    PixelSetColor(white.get(), "white");
    MagickNewImage(wand.get(), kPhotoWidth, kPhotoHeight, white.get());
    MagickImportImagePixels(wand.get(), 0, 0, kPhotoWidth, kPhotoHeight, "RGB", CharPixel,
                            pixels.data());
    MagickSetImageCompressionQuality(wand.get(), 90);
    MagickWriteImage(wand.get(), ("jpeg:" + path.string()).c_str());
}

void BM_ConvertFiftyPhotosModeTwo(benchmark::State& state) {
    const fs::path root =
        fs::temp_directory_path() / ("paginor_pictures_bench_" + std::to_string(getpid()));
    fs::create_directories(root / "temp1");
    TPictureConverter library; // keeps ImageMagick running, as a midlet does

    TBookConfig config;
    config.ImageMode = 2;
    config.Temp1Dir = FromPath(root / "temp1");
    TBookText text(config);
    constexpr int kDistinct = 5; // the rest are copies: conversion caches nothing
    for (int i = 0; i < kPhotos; ++i) {
        const fs::path photo = root / ("photo" + std::to_string(i) + ".jpg");
        if (i < kDistinct)
            DrawPhoto(photo, i);
        else
            fs::copy_file(root / ("photo" + std::to_string(i % kDistinct) + ".jpg"), photo);
        text.Links.push_back({u"I" + FromPath(photo), 0, 0, 0, i, 'I'});
    }
    const auto links = text.Links;
    TBookMidlet midlet(config);
    midlet.BookText = &text;

    for (auto _ : state) {
        text.Links = links;
        midlet.ConvertBookPictures();
        benchmark::DoNotOptimize(text.Links.data());
    }
    state.SetItemsProcessed(state.iterations() * kPhotos);
    fs::remove_all(root);
}
BENCHMARK(BM_ConvertFiftyPhotosModeTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
