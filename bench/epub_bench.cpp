// EPUB books: a generated EPUB 3 of about 2 MB (60 chapters of varied prose
// with note links into a notes document, a contents navigation document, a
// few pictures and a cover). One benchmark measures the import alone (the
// package read, the documents parsed and walked into tagged text), the other
// the whole program turning the book into a midlet, as a user runs it.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bEpub.h"

#include "bench_pictures.h"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace paginor;

constexpr size_t kBookSize = 2 << 20;
constexpr int kChapters = 60;
constexpr int kPictures = 6;

// Prose from a vocabulary of made-up words, so that it compresses as real
// text does (about three to one).
class TProse {
public:
    TProse() {
        const char* syllables[] = {"ka", "ro",  "mi", "len", "tu", "sa",   "vor", "el",  "dan",
                                   "pi", "qua", "ne", "bo",  "ri", "stra", "u",   "gol", "fe"};
        for (int i = 0; i < 3000; ++i) {
            std::string word;
            for (int s = 0, n = 1 + static_cast<int>(Random() % 3); s < n; ++s)
                word += syllables[Random() % std::size(syllables)];
            Words.push_back(word);
        }
    }
    std::string Sentence() {
        std::string sentence;
        for (int i = 0, n = 6 + static_cast<int>(Random() % 12); i < n; ++i)
            sentence += (i ? " " : "") + Words[Random() % Words.size()];
        sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
        return sentence + (Random() % 5 ? ". " : ", she said. ");
    }

private:
    uint32_t Random() { return static_cast<uint32_t>(Engine()); }
    std::mt19937 Engine{2026};
    std::vector<std::string> Words;
};

std::string Page(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html "
           "xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\">"
           "<head><title>Page</title></head><body>" +
           body + "</body></html>";
}

// Writes the book; returns its size in bytes.
size_t WriteBook(const fs::path& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    entries.emplace_back("META-INF/container.xml",
                         "<?xml version=\"1.0\"?><container version=\"1.0\" "
                         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                         "<rootfile full-path=\"OEBPS/content.opf\" "
                         "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    std::string manifest = "<item id=\"nav\" href=\"nav.xhtml\" "
                           "media-type=\"application/xhtml+xml\" properties=\"nav\"/>"
                           "<item id=\"cover\" href=\"images/cover.png\" media-type=\"image/png\" "
                           "properties=\"cover-image\"/>";
    std::string spine, nav, notes;
    entries.emplace_back("OEBPS/images/cover.png", bench::GradientPng(320, 480, 9));
    for (int i = 0; i < kPictures; ++i) {
        const std::string name = "images/p" + std::to_string(i) + ".png";
        entries.emplace_back("OEBPS/" + name, bench::GradientPng(160, 128, i));
        manifest += "<item id=\"p" + std::to_string(i) + "\" href=\"" + name +
                    "\" media-type=\"image/png\"/>";
    }
    // The text fills what the pictures leave of the size, at about three
    // bytes of text to one of the book.
    size_t pictureBytes = 0;
    for (const auto& entry : entries)
        pictureBytes += entry.second.size();
    const size_t textBytes = (kBookSize - pictureBytes) * 3;
    TProse prose;
    int note = 0;
    for (int chapter = 1; chapter <= kChapters; ++chapter) {
        const std::string id = "c" + std::to_string(chapter);
        std::string body = "<section><h2>Chapter " + std::to_string(chapter) + "</h2>";
        if (chapter % 10 == 1)
            body += "<p><img src=\"../images/p" + std::to_string(chapter / 10 % kPictures) +
                    ".png\" alt=\"A picture\"/></p>";
        while (body.size() < textBytes / kChapters) {
            body += "<p>";
            for (int s = 0; s < 5; ++s)
                body += prose.Sentence();
            if (++note % 8 == 0) {
                const std::string n = std::to_string(note);
                body += "<a href=\"notes.xhtml#n" + n + "\" id=\"r" + n + "\">[" + n + "]</a>";
                notes += "<p id=\"n" + n + "\">" + prose.Sentence() + "<a href=\"" + id +
                         ".xhtml#r" + n + "\">Back</a></p>";
            }
            body += "<em>" + prose.Sentence() + "</em></p>\n";
        }
        entries.emplace_back("OEBPS/text/" + id + ".xhtml", Page(body + "</section>"));
        manifest += "<item id=\"" + id + "\" href=\"text/" + id +
                    ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"" + id + "\"/>";
        nav += "<li><a href=\"text/" + id + ".xhtml\">Chapter " + std::to_string(chapter) +
               "</a></li>";
    }
    entries.emplace_back("OEBPS/text/notes.xhtml", Page(notes));
    manifest +=
        "<item id=\"notes\" href=\"text/notes.xhtml\" media-type=\"application/xhtml+xml\"/>";
    spine += "<itemref idref=\"notes\" linear=\"no\"/>";
    entries.emplace_back("OEBPS/nav.xhtml",
                         Page("<nav epub:type=\"toc\"><ol>" + nav + "</ol></nav>"));
    entries.emplace_back(
        "OEBPS/content.opf",
        "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
        "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Bench</dc:title>"
        "<dc:creator>A. Writer</dc:creator></metadata><manifest>" +
            manifest + "</manifest><spine>" + spine + "</spine></package>");

    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return 0;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_discard(archive);
            return 0;
        }
    }
    if (zip_close(archive) != 0) return 0;
    return fs::file_size(path);
}

// User and system time of the finished child processes so far.
double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A private folder holding the generated book, removed afterwards.
struct TBenchBook {
    fs::path Folder;
    fs::path Book;
    size_t Size = 0; // 0 when the book could not be written

    TBenchBook() {
        std::string pattern = (fs::temp_directory_path() / "paginor-epub-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        Folder = pattern;
        Book = Folder / "book.epub";
        Size = WriteBook(Book);
    }
    ~TBenchBook() {
        std::error_code ignored;
        if (!Folder.empty()) fs::remove_all(Folder, ignored);
    }
};

void EpubImportTwoMegabyteBook(benchmark::State& state) {
    const TBenchBook book;
    if (book.Size == 0) {
        state.SkipWithError("can't write the book");
        return;
    }
    fs::create_directories(book.Folder / "temp2");
    TBookConfig config;
    for (auto _ : state) {
        std::u16string text =
            ImportEpubBook(config, config, FromPath(book.Book), FromPath(book.Folder / "temp2"));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.Size));
    state.counters["book_MB"] = static_cast<double>(book.Size) / (1 << 20);
}
BENCHMARK(EpubImportTwoMegabyteBook)->Unit(benchmark::kMillisecond);

// The program run as a user runs it, from a private copy whose work folders
// sit beside it; real time, since most of it is one process.
void EpubToMidletTwoMegabyteBook(benchmark::State& state) {
    const TBenchBook book;
    if (book.Size == 0) {
        state.SkipWithError("can't write the book");
        return;
    }
    fs::copy_file(PAGINOR_PROGRAM, book.Folder / "paginor");
    std::ofstream(book.Folder / "book.cfg")
        << "BookName=Bench\r\nTextFileName=" << book.Book.string()
        << "\r\nOutputDir=" << book.Folder.string() << "\r\nDebugLevel=3\r\n";
    const std::string command = "'" + (book.Folder / "paginor").string() + "' -make '" +
                                (book.Folder / "book.cfg").string() + "' > /dev/null";
    const double before = ChildrenCpuSeconds();
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the book could not be made");
            break;
        }
    // The program's own processor time, which a loaded machine does not
    // stretch as it stretches real time.
    state.counters["program_cpu_s"] = (ChildrenCpuSeconds() - before) /
                                      static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * book.Size));
    state.counters["book_MB"] = static_cast<double>(book.Size) / (1 << 20);
}
BENCHMARK(EpubToMidletTwoMegabyteBook)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
