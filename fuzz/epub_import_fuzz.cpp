// Fuzz target: the EPUB importer. The input is a book's files written one
// after another, each as a line "== NAME" followed by its content, which the
// target packs into a zip archive, so that mutations reach the container,
// the package document, the contents and the pages rather than only the zip
// format. An input that begins "PK" is taken as the archive itself. The
// import either returns tagged text or fails with a one-line message; it
// never crashes, writes only directly inside its picture folder, and its text
// holds no picture or file link and no picture tag naming a file outside it.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "fuzz_target.h"
#include "maker/bEpub.h"

#include <zip.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Packs the "== NAME" sections into a zip archive at `path`.
bool PackSections(std::string_view input, const fs::path& path) {
    std::vector<std::pair<std::string, std::string>> files;
    constexpr std::string_view kMark = "== ";
    size_t at = input.starts_with(kMark) ? 0 : input.find("\n== ");
    while (at != std::string_view::npos) {
        if (input[at] == '\n') ++at;
        const size_t nameEnd = input.find('\n', at);
        if (nameEnd == std::string_view::npos) break;
        const size_t next = input.find("\n== ", nameEnd);
        files.emplace_back(
            std::string(input.substr(at + kMark.size(), nameEnd - at - kMark.size())),
            std::string(input.substr(nameEnd + 1, next == std::string_view::npos
                                                      ? std::string_view::npos
                                                      : next - nameEnd - 1)));
        at = next;
    }
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return false;
    for (const auto& [name, content] : files) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source) break;
        if (zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0)
            zip_source_free(source);
    }
    return zip_close(archive) == 0 || (zip_discard(archive), false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::CheckImport(data, size, ".epub", [input](const fs::path& book, const fs::path& pictures) {
        // The sections replace the input file with the archive they make.
        if (!input.starts_with("PK") && !PackSections(input, book)) return;
        TBookConfig config;
        const std::u16string text =
            ImportEpubBook(config, config, FromPath(book), FromPath(pictures));
        fuzz::CheckDocumentTags(ToUtf8(text), pictures);
    });
    return 0;
}
