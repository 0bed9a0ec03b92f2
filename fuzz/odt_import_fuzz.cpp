// Fuzz target: the Word importer on any content read as an ODT package. It
// either returns tagged text or fails with a one-line message; it never
// crashes and writes pictures only directly inside its picture folder.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "fuzz_target.h"
#include "maker/bWord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    fuzz::CheckImport(data, size, ".odt",
                      [](const std::filesystem::path& book, const std::filesystem::path& pictures) {
                          TBookConfig config;
                          const std::u16string text = ImportWordDocument(
                              config, config, FromPath(book), FromPath(pictures));
                          (void)text;
                      });
    return 0;
}
