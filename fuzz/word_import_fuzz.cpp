// Fuzz target: the Word importer on any content, read as a DOCX package when
// it starts like a zip archive and as a web page otherwise. It either returns
// tagged text or fails with a one-line message; it never crashes, writes
// pictures only directly inside its picture folder, and its text holds no
// picture or file link and no picture tag naming a file outside that folder.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "fuzz_target.h"
#include "maker/bWord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    const bool zip = size >= 2 && data[0] == 'P' && data[1] == 'K';
    fuzz::CheckImport(data, size, zip ? ".docx" : ".html",
                      [](const std::filesystem::path& book, const std::filesystem::path& pictures) {
                          TBookConfig config;
                          const std::u16string text = ImportWordDocument(
                              config, config, FromPath(book), FromPath(pictures));
                          fuzz::CheckDocumentTags(ToUtf8(text), pictures);
                      });
    return 0;
}
