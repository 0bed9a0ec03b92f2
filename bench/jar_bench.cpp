// The JAR writer on a book's text files: 8 KB pieces (4096 UTF-16 code
// units, as the midlet writer cuts them) of prose, about 10 MB in all.
// JarZlibLevelOne is the writer before libdeflate, zlib's raw deflate at
// level 1, entry by entry, with its CRC; JarWriter is TJarWriter at a
// JarCompression level and a number of threads (0: one per core). The
// "ratio" counter is the archive's size over the text's.
#include "midlet/jar/JarWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;

// Prose of common words in varied order, as UTF-16 big-endian pieces.
std::vector<std::string> BookPieces() {
    static const char* const kWords[] = {
        "the",     "keeper",  "of",     "lamp",   "stood",   "on",       "northern", "cape,",
        "and",     "knew",    "sea",    "better", "than",    "anyone",   "in",       "village.",
        "Every",   "evening", "he",     "lit",    "watched", "water",    "rise",     "at",
        "old",     "pier;",   "winter", "wind",   "sang",    "chimneys", "summer",   "gulls",
        "circled", "over",    "rocks.", "She"};
    std::mt19937 generator(11);
    std::vector<std::string> pieces;
    std::string piece;
    while (pieces.size() < 1250) {
        std::string word = kWords[generator() % std::size(kWords)];
        word += generator() % 12 == 0 ? "\r\n" : " ";
        for (char c : word) {
            piece += '\0';
            piece += c;
        }
        if (piece.size() >= 8192) {
            pieces.push_back(piece.substr(0, 8192));
            piece.erase(0, 8192);
        }
    }
    return pieces;
}

fs::path BenchJar() {
    return fs::temp_directory_path() / ("paginor-jar-bench-" + std::to_string(::getpid()) + ".jar");
}

size_t TextSize(const std::vector<std::string>& pieces) {
    size_t size = 0;
    for (const std::string& piece : pieces)
        size += piece.size();
    return size;
}

void JarZlibLevelOne(benchmark::State& state) {
    const std::vector<std::string> pieces = BookPieces();
    const fs::path jar = BenchJar();
    size_t written = 0;
    for (auto _ : state) {
        std::FILE* out = std::fopen(jar.c_str(), "wb");
        written = 0;
        std::vector<char> buffer(64 * 1024);
        for (const std::string& piece : pieces) {
            uLong crc = crc32(0, reinterpret_cast<const Bytef*>(piece.data()),
                              static_cast<uInt>(piece.size()));
            benchmark::DoNotOptimize(crc);
            z_stream stream{};
            deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
            stream.avail_in = static_cast<uInt>(piece.size());
            int result;
            do {
                stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
                stream.avail_out = static_cast<uInt>(buffer.size());
                result = deflate(&stream, Z_FINISH);
                const size_t produced = buffer.size() - stream.avail_out;
                std::fwrite(buffer.data(), 1, produced, out);
                written += produced;
            } while (result != Z_STREAM_END);
            deflateEnd(&stream);
        }
        std::fclose(out);
    }
    fs::remove(jar);
    state.counters["ratio"] = static_cast<double>(written) / static_cast<double>(TextSize(pieces));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TextSize(pieces)));
}
BENCHMARK(JarZlibLevelOne)->Unit(benchmark::kMillisecond)->UseRealTime();

void JarWriter(benchmark::State& state) {
    const std::vector<std::string> pieces = BookPieces();
    const fs::path jar = BenchJar();
    const int level = static_cast<int>(state.range(0));
    const unsigned threads = static_cast<unsigned>(state.range(1));
    for (auto _ : state) {
        paginor::TJarWriter writer(jar, level, 1700000000, threads);
        for (size_t n = 0; n < pieces.size(); ++n)
            writer.AddEntry("book" + std::to_string(n) + ".dat", pieces[n]);
        writer.Finish();
    }
    state.counters["ratio"] =
        static_cast<double>(fs::file_size(jar)) / static_cast<double>(TextSize(pieces));
    fs::remove(jar);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TextSize(pieces)));
}
BENCHMARK(JarWriter)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({12, 1})
    ->Args({12, 0})
    ->ArgNames({"level", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
