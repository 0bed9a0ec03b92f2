// Fuzz target: the FB2 importer on any file content. It either returns tagged
// text or fails with a one-line message; it never crashes and writes pictures
// only directly inside its picture folder.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "fuzz_target.h"
#include "maker/bFB2.h"

#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    namespace fs = std::filesystem;
    const auto path = fuzz::WriteInput(data, size, ".fb2");
    const fs::path pictures = path.parent_path() / (path.filename().string() + ".pictures");
    fs::remove_all(pictures);
    fs::create_directory(pictures);
    TBookConfig config;
    try {
        const std::u16string text =
            ImportFictionBook(config, config, FromPath(path), FromPath(pictures));
        (void)text;
    } catch (const TBookError& error) {
        if (std::string(error.what()).find('\n') != std::string::npos) std::abort();
    }
    for (const auto& entry : fs::recursive_directory_iterator(pictures))
        if (entry.path().parent_path() != pictures || !entry.is_regular_file()) std::abort();
    fs::remove_all(pictures);
    fs::remove(path);
    return 0;
}
