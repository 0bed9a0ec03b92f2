// Reader memory: a midlet made from a large FB2 book (300 chapters, 1800
// notes, 100 pictures of 160x128, about 2 MB) runs in the midp-host on a
// 176x208 screen; the host reports the heap the reader holds after start,
// after paging and jumping through the contents (and past pictures), and
// after searching. The phone target is 512 KB.
#include "bench_pictures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kChapters = 300;
constexpr int kParagraphs = 12;
constexpr long kPhoneHeap = 512 * 1024;

std::string Base64(const std::string& data) {
    static const char* const digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < data.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < data.size() ? digits[v & 63] : '=';
        if (i % 57 == 54) out += '\n';
    }
    return out;
}

std::string Paragraph(std::mt19937& random) {
    static const char* const words[] = {"the",   "river",  "ran",  "quiet", "under",   "old",
                                        "lamps", "burned", "late", "in",    "harbour", "town",
                                        "and",   "boats",  "came", "home",  "while",   "bridges"};
    std::string p = "Once";
    const int count = 30 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i)
        p += std::string(" ") + words[random() % std::size(words)];
    return p + ".";
}

void WriteBook(const fs::path& path) {
    std::mt19937 random(1);
    std::ofstream out(path);
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
           "xmlns:l=\"http://www.w3.org/1999/xlink\">\n<description><title-info><author>"
           "<first-name>Ann</first-name><last-name>Berg</last-name></author>"
           "<book-title>Harbour</book-title></title-info></description>\n"
           "<body><title><p>Harbour</p></title>\n";
    int note = 0;
    for (int c = 1; c <= kChapters; ++c) {
        out << "<section id=\"c" << c << "\"><title><p>Chapter " << c << "</p></title>\n";
        for (int p = 0; p < kParagraphs; ++p) {
            out << "<p>" << Paragraph(random);
            if (p % 2 == 0) {
                ++note;
                out << "<a l:href=\"#n" << note << "\" type=\"note\">[" << note << "]</a>";
            }
            out << "</p>\n";
            if (c % 3 == 1 && p == 1) out << "<image l:href=\"#pic" << c << ".png\"/>\n";
        }
        out << "</section>\n";
    }
    out << "</body>\n<body name=\"notes\">\n";
    for (int n = 1; n <= note; ++n)
        out << "<section id=\"n" << n << "\"><title><p>" << n << "</p></title><p>"
            << Paragraph(random) << "</p></section>\n";
    out << "</body>\n";
    for (int c = 1; c <= kChapters; c += 3)
        out << "<binary id=\"pic" << c << ".png\" content-type=\"image/png\">\n"
            << Base64(paginor::bench::GradientPng(160, 128, c)) << "\n</binary>\n";
    out << "</FictionBook>\n";
}

// Runs a command; returns its standard output, or nothing when it failed.
bool Run(const std::string& command, std::string& output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    return pclose(pipe) == 0;
}

void BM_ReaderHeapLargeBook(benchmark::State& state) {
    const fs::path root =
        fs::temp_directory_path() / ("paginor_reader_memory_" + std::to_string(getpid()));
    fs::create_directories(root);
    // A private copy of the program: its work folders sit beside it.
    fs::copy_file(PAGINOR_PROGRAM, root / "paginor");
    WriteBook(root / "book.fb2");
    {
        std::ofstream cfg(root / "book.cfg");
        cfg << "BookName=Harbour\r\nTextFileName=" << (root / "book.fb2").string()
            << "\r\nOutputDir=" << root.string() << "\r\nSplashTimeout=0\r\n";
    }
    std::string log;
    if (!Run("'" + (root / "paginor").string() + "' -make '" + (root / "book.cfg").string() + "'",
             log)) {
        state.SkipWithError("the book could not be made");
        fs::remove_all(root);
        return;
    }
    // Start, then page on, jump through the contents to a chapter and on,
    // then search (the whole book for a missing word, then one that is found).
    std::string actions = " heap key:fire";
    for (int i = 0; i < 20; ++i)
        actions += " key:down";
    actions += " key:1 select:0 key:right key:right key:right key:fire";
    for (int i = 0; i < 30; ++i)
        actions += " key:down";
    actions += " heap";
    // A long search runs in stretches; idle lets it finish.
    actions +=
        " key:4 type:nowhere-to-be-found cmd:Ok idle key:4 type:bridges cmd:Ok idle key:9 idle "
        "key:9 idle heap";
    const std::string command = "java -XX:+UseSerialGC -Xmx64m -jar '" +
                                std::string(MIDP_HOST_JAR) + "' --size 176x208 '" +
                                (root / "Harbour.jar").string() + "'" + actions;
    std::vector<long> heaps;
    for (auto _ : state) {
        std::string output;
        if (!Run(command, output)) {
            state.SkipWithError("the midp-host failed");
            break;
        }
        heaps.clear();
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("heap: ", 0) == 0) heaps.push_back(std::stol(line.substr(6)));
    }
    if (heaps.size() == 3) {
        state.counters["start_KB"] = static_cast<double>(heaps[0]) / 1024;
        state.counters["paged_KB"] = static_cast<double>(heaps[1]) / 1024;
        state.counters["searched_KB"] = static_cast<double>(heaps[2]) / 1024;
        for (long heap : heaps)
            if (heap > kPhoneHeap) state.SkipWithError("the reader holds more than 512 KB");
    } else if (!state.error_occurred()) {
        state.SkipWithError("the midp-host reported no heap");
    }
    fs::remove_all(root);
}
BENCHMARK(BM_ReaderHeapLargeBook)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
