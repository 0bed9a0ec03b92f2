// Big books: decoding a 200 MB text in a legacy code page (windows-1251),
// next to the same book in UTF-8; and the peak memory of the program while it
// builds a 200 MB book, plain and with tags, against the size of the source.
#include "core/bObject.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t kBookBytes = 200u << 20;

// Russian-looking prose: random words of Cyrillic letters in lines of a dozen
// words, as windows-1251 bytes (U+0430.. is 0xE0.., U+0410.. is 0xC0..) or as
// UTF-8. With `tags`, every 400 lines start a chapter (a heading and a label)
// and every 50th line ends in a link back to the previous chapter.
std::string RussianBook(bool utf8, bool tags) {
    std::mt19937 random(7);
    auto letter = [&](bool capital) {
        const unsigned offset = random() % 32;
        if (!utf8) return std::string(1, static_cast<char>((capital ? 0xC0 : 0xE0) + offset));
        const unsigned code = (capital ? 0x410 : 0x430) + offset;
        return std::string{static_cast<char>(0xC0 | (code >> 6)),
                           static_cast<char>(0x80 | (code & 0x3F))};
    };
    std::string book;
    book.reserve(kBookBytes + 4096);
    for (int line = 0; book.size() < kBookBytes; ++line) {
        const int chapter = line / 400;
        if (tags && line % 400 == 0)
            book += "<#header 1>" + letter(true) + letter(false) + " " + std::to_string(chapter) +
                    "<#/header>\r\n<#label ch" + std::to_string(chapter) + ">\r\n";
        for (int word = 0; word < 12; ++word) {
            const int length = 2 + static_cast<int>(random() % 8);
            for (int k = 0; k < length; ++k)
                book += letter(word == 0 && k == 0);
            book += word == 11 ? "." : " ";
        }
        if (tags && line % 50 == 49)
            book += " <#link label ch" + std::to_string(chapter > 0 ? chapter - 1 : 0) + ">" +
                    letter(false) + letter(false) + "<#/link>";
        book += "\r\n";
    }
    if (book.size() % 2 == 0) book += ' '; // an odd size: read as single-byte text
    return book;
}

// Detection and decoding of a whole book held in memory, as the loader does
// it for a text file without a byte-order mark.
void DecodeBigBook(benchmark::State& state) {
    const bool utf8 = state.range(0) != 0;
    const std::string bytes = RussianBook(utf8, false);
    for (auto _ : state) {
        const std::u16string text = paginor::DecodeUndeclaredText(bytes);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.SetLabel(utf8 ? "UTF-8" : "windows-1251");
}
BENCHMARK(DecodeBigBook)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("utf8")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Runs the program on a 200 MB windows-1251 book and reads the peak resident
// memory of the run from the kernel.
void PeakMemoryOfABigBook(benchmark::State& state) {
    const bool tags = state.range(0) != 0;
    const fs::path root =
        fs::temp_directory_path() / ("paginor_big_book_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "out");
    fs::copy_file(PAGINOR_PROGRAM, root / "paginor");
    const std::string book = RussianBook(false, tags);
    std::ofstream(root / "book.txt", std::ios::binary) << book;
    std::ofstream(root / "book.cfg", std::ios::binary)
        << "BookName=Big\r\nTextFileName=" << (root / "book.txt").string()
        << "\r\nOutputDir=" << (root / "out").string() << "\r\nImageMode=0\r\nDebugLevel=3\r\n";
    long peakKiB = 0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            const std::string program = (root / "paginor").string();
            const std::string config = (root / "book.cfg").string();
            execl(program.c_str(), program.c_str(), "-make", config.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program failed on the big book");
            break;
        }
        peakKiB = usage.ru_maxrss;
    }
    fs::remove_all(root);
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024;
    state.counters["x_source"] = static_cast<double>(peakKiB) * 1024 / book.size();
    state.SetLabel(tags ? "windows-1251, with tags" : "windows-1251, plain");
}
BENCHMARK(PeakMemoryOfABigBook)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("tags")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace
