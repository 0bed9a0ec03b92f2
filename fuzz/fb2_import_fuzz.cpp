// Fuzz target: the FB2 importer on any file content. It either returns tagged
// text or fails with a one-line message; it never crashes and writes pictures
// only directly inside its picture folder.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "fuzz_target.h"
#include "maker/bFB2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    fuzz::CheckImport(data, size, ".fb2",
                      [](const std::filesystem::path& book, const std::filesystem::path& pictures) {
                          TBookConfig config;
                          const std::u16string text =
                              ImportFictionBook(config, config, FromPath(book), FromPath(pictures));
                          (void)text;
                      });
    return 0;
}
