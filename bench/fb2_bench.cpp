// FB2 import throughput: a generated book of about 5 MB (chapters, titles,
// styled paragraphs, note links, a notes body and 1 MB of pictures).
#include "config/bConfig.h"
#include "core/bVar.h"
#include "maker/bFB2.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace paginor;

std::string GenerateBook(size_t targetSize) {
    std::string book = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\" "
                       "xmlns:l=\"http://www.w3.org/1999/xlink\"><description><title-info>"
                       "<book-title>Bench</book-title><author><first-name>A</first-name>"
                       "<last-name>B</last-name></author><date>2026</date><coverpage>"
                       "<image l:href=\"#cover.jpg\"/></coverpage></title-info></description>\n"
                       "<body>\n";
    const std::string paragraph =
        "<p>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, this is a line of the book with "
        "<emphasis>styled</emphasis> words, a <strong>strong</strong> part and a note"
        "<a l:href=\"#n1\" type=\"note\">[1]</a> in the middle of it.</p>\n";
    const std::string pictures = "<binary id=\"cover.jpg\">" + std::string(500000, 'Q') +
                                 "</binary><binary id=\"p1.png\">" + std::string(500000, 'Q') +
                                 "</binary>";
    for (int chapter = 1; book.size() + pictures.size() < targetSize; ++chapter) {
        book += "<section id=\"c" + std::to_string(chapter) + "\"><title><p>Chapter " +
                std::to_string(chapter) + "</p></title>\n";
        if (chapter % 50 == 1) book += "<image l:href=\"#p1.png\"/>\n";
        for (int i = 0; i < 40; ++i)
            book += paragraph;
        book += "</section>\n";
    }
    book += "</body><body name=\"notes\"><section id=\"n1\"><p>The note.</p></section></body>";
    return book + pictures + "</FictionBook>\n";
}

void Fb2ImportFiveMegabyteBook(benchmark::State& state) {
    std::string folder = (fs::temp_directory_path() / "paginor-fb2-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("can't create a temporary folder");
        return;
    }
    const fs::path book = fs::path(folder) / "book.fb2";
    const std::string bytes = GenerateBook(5 << 20);
    std::ofstream(book, std::ios::binary) << bytes;
    TBookConfig config;
    for (auto _ : state) {
        std::u16string text =
            ImportFictionBook(config, config, FromPath(book), FromPath(fs::path(folder)));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    fs::remove_all(folder);
}
BENCHMARK(Fb2ImportFiveMegabyteBook)->Unit(benchmark::kMillisecond);

} // namespace
