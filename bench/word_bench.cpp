// Word importer throughput: a generated web page of about 5 MB, a generated
// DOCX file of about 5 MB (chapters under heading styles, styled runs as Word
// writes them, note links, 1 MB of pictures) and an ODT of the same kind
// (LibreOffice's markup, notes with their bodies), each imported
// into tagged text with its pictures stored; and, separately, one LibreOffice
// conversion of that DOCX (when LibreOffice is installed).
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bWord.h"
#include "platform/OfficeConverter.h"

#include <benchmark/benchmark.h>

#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace paginor;

constexpr size_t kBookSize = 5 << 20;
constexpr size_t kPictureBytes = 500'000; // two of them

// Words drawn from a fixed sequence out of a vocabulary of a few thousand
// made-up words, so the text compresses about as prose does.
class TWords {
public:
    TWords() {
        static const char* const kSyllables[] = {"ba",   "ker", "lo",  "min", "sa", "tre", "vo",
                                                 "gal",  "den", "ri",  "shu", "pa", "mor", "el",
                                                 "quin", "the", "ast", "io",  "nu", "ven"};
        for (int i = 0; i < 3000; ++i) {
            std::string word;
            for (int n = 1 + static_cast<int>(Random() % 3); n > 0; --n)
                word += kSyllables[Random() % std::size(kSyllables)];
            Vocabulary.push_back(word);
        }
        Vocabulary.push_back("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    }
    std::string Sentence(int words) {
        std::string sentence;
        for (int i = 0; i < words; ++i) {
            if (i) sentence += ' ';
            sentence += Vocabulary[Random() % Vocabulary.size()];
        }
        return sentence;
    }

private:
    std::mt19937 Random{2026};
    std::vector<std::string> Vocabulary;
};

// A picture-sized blob that starts like a PNG (the importer stores it as it
// is; nothing decodes it).
std::string PictureBytes() {
    std::string bytes = "\x89PNG\r\n\x1A\n";
    bytes += std::string("\0\0\0\x0DIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 21);
    bytes.resize(kPictureBytes, 'Q');
    return bytes;
}

std::string GeneratePage(size_t targetSize) {
    TWords words;
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Bench</title>"
                       "<style>p { margin: 0 }</style></head><body>\n";
    for (int chapter = 1; page.size() < targetSize; ++chapter) {
        page += "<h1 id=\"c" + std::to_string(chapter) + "\">Chapter " + std::to_string(chapter) +
                "</h1>\n";
        if (chapter % 50 == 1) page += "<p><img src=\"p1.png\" alt=\"A picture\"></p>\n";
        for (int i = 0; i < 40; ++i)
            page += "<p>" + words.Sentence(8) + " <em>" + words.Sentence(2) + "</em> " +
                    words.Sentence(6) + "<a href=\"#n1\">[1]</a> <strong>" + words.Sentence(3) +
                    "</strong> " + words.Sentence(5) + ".</p>\n";
    }
    return page + "<p id=\"n1\">[1] The note.</p></body></html>\n";
}

std::string GenerateDocumentXml(size_t targetCompressed) {
    TWords words;
    const std::string run =
        "<w:r w:rsidRPr=\"00A1B2C3\"><w:rPr><w:rFonts w:ascii=\"Times New "
        "Roman\"/><w:lang w:val=\"en-GB\"/></w:rPr><w:t xml:space=\"preserve\">";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document "
                      "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                      "relationships\" xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/"
                      "wordprocessingDrawing\" xmlns:a=\"http://schemas.openxmlformats.org/"
                      "drawingml/2006/main\"><w:body>";
    // Word's XML compresses to about a twelfth; the loop writes enough of it.
    for (int chapter = 1; xml.size() < targetCompressed * 12; ++chapter) {
        xml += "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/></w:pPr><w:bookmarkStart w:id=\"" +
               std::to_string(chapter) + "\" w:name=\"c" + std::to_string(chapter) + "\"/>" + run +
               "Chapter " + std::to_string(chapter) + "</w:t></w:r><w:bookmarkEnd w:id=\"" +
               std::to_string(chapter) + "\"/></w:p>";
        if (chapter % 50 == 1)
            xml += "<w:p><w:r><w:drawing><wp:inline><wp:docPr id=\"1\" name=\"P\" descr=\"A "
                   "picture\"/><a:graphic><a:graphicData><a:blip r:embed=\"rIdPicture\"/>"
                   "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
        for (int i = 0; i < 40; ++i)
            xml += "<w:p w:rsidR=\"00A1B2C3\" w:rsidRDefault=\"00A1B2C3\"><w:pPr><w:spacing "
                   "w:after=\"120\"/></w:pPr>" +
                   run + words.Sentence(8) + " </w:t></w:r><w:r><w:rPr><w:i/></w:rPr><w:t>" +
                   words.Sentence(2) + "</w:t></w:r>" + run + " " + words.Sentence(6) +
                   "</w:t></w:r><w:hyperlink w:anchor=\"n1\">" + run +
                   "[1]</w:t></w:r></w:hyperlink>" + run + " " + words.Sentence(8) +
                   ".</w:t></w:r></w:p>";
    }
    return xml +
           "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"n1\"/><w:r><w:t>[1] The note.</w:t></w:r>"
           "</w:p><w:sectPr/></w:body></w:document>";
}

void WritePackage(const fs::path& path,
                  const std::vector<std::pair<const char*, const std::string*>>& entries);

// Writes the DOCX package.
void WriteDocx(const fs::path& path, const std::string& documentXml, const std::string& picture) {
    const std::string relationships =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
        "2006/relationships\"><Relationship Id=\"rIdStyles\" Type=\"http://schemas."
        "openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rIdPicture\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
        "2006/relationships/image\" Target=\"media/image1.png\"/></Relationships>";
    const std::string styles =
        "<?xml version=\"1.0\"?><w:styles xmlns:w=\"http://schemas.openxmlformats.org/"
        "wordprocessingml/2006/main\"><w:style w:type=\"paragraph\" w:styleId=\"Heading1\">"
        "<w:name w:val=\"heading 1\"/></w:style></w:styles>";
    const std::string types =
        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "content-types\"><Default Extension=\"rels\" ContentType=\"application/vnd."
        "openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
        "ContentType=\"application/xml\"/><Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd."
        "openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
    const std::string packageRelationships =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
        "2006/relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
        "officeDocument/2006/relationships/officeDocument\" Target=\"word/document.xml\"/>"
        "</Relationships>";
    WritePackage(path, {
                           {"[Content_Types].xml", &types},
                           {"_rels/.rels", &packageRelationships},
                           {"word/document.xml", &documentXml},
                           {"word/_rels/document.xml.rels", &relationships},
                           {"word/styles.xml", &styles},
                           {"word/media/image1.png", &picture},
                           {"word/media/image2.png", &picture},
                       });
}

// An OpenDocument text of the same kind: chapters as text:h, spans, note
// citations with their bodies, a picture frame now and then.
std::string GenerateContentXml(size_t targetCompressed) {
    TWords words;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
                      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                      "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><office:body><office:text>";
    // LibreOffice's XML compresses to about a sixth; the loop writes enough.
    for (int chapter = 1; xml.size() < targetCompressed * 6; ++chapter) {
        xml += "<text:h text:style-name=\"Heading_20_1\" text:outline-level=\"1\">"
               "<text:bookmark-start text:name=\"c" +
               std::to_string(chapter) + "\"/>Chapter " + std::to_string(chapter) + "</text:h>";
        if (chapter % 50 == 1)
            xml += "<text:p><draw:frame draw:name=\"P\"><draw:image "
                   "xlink:href=\"Pictures/image1.png\"/></draw:frame></text:p>";
        for (int i = 0; i < 40; ++i)
            xml += "<text:p text:style-name=\"P1\">" + words.Sentence(8) +
                   " <text:span text:style-name=\"T1\">" + words.Sentence(2) + "</text:span> " +
                   words.Sentence(6) +
                   (i == 0 ? "<text:note text:note-class=\"footnote\"><text:note-citation>" +
                                 std::to_string(chapter) +
                                 "</text:note-citation><text:note-body><text:p>The note." +
                                 "</text:p></text:note-body></text:note>"
                           : std::string()) +
                   " " + words.Sentence(8) + ".</text:p>";
    }
    return xml + "</office:text></office:body></office:document-content>";
}

void WriteOdt(const fs::path& path, const std::string& contentXml, const std::string& picture) {
    const std::string mimetype = "application/vnd.oasis.opendocument.text";
    WritePackage(path, {{"mimetype", &mimetype},
                        {"content.xml", &contentXml},
                        {"Pictures/image1.png", &picture},
                        {"Pictures/image2.png", &picture}});
}

// Writes a package with libzip, deflating the XML and storing the pictures
// and the mimetype.
void WritePackage(const fs::path& path,
                  const std::vector<std::pair<const char*, const std::string*>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes->data(), bytes->size(), 0);
        const zip_int64_t index = zip_file_add(archive, name, source, 0);
        if (std::string_view(name).ends_with(".png") || std::string_view(name) == "mimetype")
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    zip_close(archive);
}

class TBenchFolder {
public:
    TBenchFolder() {
        std::string pattern = (fs::temp_directory_path() / "paginor-word-bench-XXXXXX").string();
        if (mkdtemp(pattern.data())) Path = pattern;
    }
    ~TBenchFolder() {
        std::error_code ignored;
        if (!Path.empty()) fs::remove_all(Path, ignored);
    }
    fs::path Path;
};

void Import(benchmark::State& state, const fs::path& book, const fs::path& pictures) {
    TBookConfig config;
    for (auto _ : state) {
        std::u16string text =
            ImportWordDocument(config, config, FromPath(book), FromPath(pictures));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(book)));
}

void WordImportFiveMegabyteHtml(benchmark::State& state) {
    TBenchFolder folder;
    if (folder.Path.empty()) return state.SkipWithError("can't create a temporary folder");
    fs::create_directory(folder.Path / "pictures");
    std::ofstream(folder.Path / "p1.png", std::ios::binary) << PictureBytes();
    std::ofstream(folder.Path / "book.html", std::ios::binary) << GeneratePage(kBookSize);
    Import(state, folder.Path / "book.html", folder.Path / "pictures");
}
BENCHMARK(WordImportFiveMegabyteHtml)->Unit(benchmark::kMillisecond);

// A zipped document (DOCX, ODT) of about kBookSize with two pictures,
// written by `write` into the benchmark's folder, then imported.
template <typename Write>
void ImportPackage(benchmark::State& state, const char* name, const char* counter, Write write) {
    TBenchFolder folder;
    if (folder.Path.empty()) return state.SkipWithError("can't create a temporary folder");
    fs::create_directory(folder.Path / "pictures");
    write(folder.Path / name);
    state.counters[counter] = static_cast<double>(fs::file_size(folder.Path / name));
    Import(state, folder.Path / name, folder.Path / "pictures");
}

void WordImportFiveMegabyteDocx(benchmark::State& state) {
    ImportPackage(state, "book.docx", "docx_bytes", [](const fs::path& path) {
        WriteDocx(path, GenerateDocumentXml(kBookSize - 2 * kPictureBytes), PictureBytes());
    });
}
BENCHMARK(WordImportFiveMegabyteDocx)->Unit(benchmark::kMillisecond);

void WordImportFiveMegabyteOdt(benchmark::State& state) {
    ImportPackage(state, "book.odt", "odt_bytes", [](const fs::path& path) {
        WriteOdt(path, GenerateContentXml(kBookSize - 2 * kPictureBytes), PictureBytes());
    });
}
BENCHMARK(WordImportFiveMegabyteOdt)->Unit(benchmark::kMillisecond);

// LibreOffice's start, load and save of a DOCX, once: this is what a .doc,
// .rtf or .odt book costs on top of its import. The argument is the size of
// the DOCX's compressed text in KB (a novel of 300 pages is about 500 KB).
void WordLibreOfficeConversion(benchmark::State& state) {
    TBenchFolder folder;
    if (folder.Path.empty()) return state.SkipWithError("can't create a temporary folder");
    WriteDocx(folder.Path / "book.docx",
              GenerateDocumentXml(static_cast<size_t>(state.range(0)) << 10), PictureBytes());
    state.counters["docx_bytes"] = static_cast<double>(fs::file_size(folder.Path / "book.docx"));
    for (auto _ : state) {
        try {
            std::string docx = ConvertToDocx(folder.Path / "book.docx").Docx;
            benchmark::DoNotOptimize(docx);
        } catch (const TBookError& error) {
            state.SkipWithError(error.what());
            return;
        }
    }
}
BENCHMARK(WordLibreOfficeConversion)
    ->Arg(100)
    ->Arg(500)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
