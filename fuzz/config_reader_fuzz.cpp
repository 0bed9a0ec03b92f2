// Fuzz target: the configuration reader on any file content. It must fill the
// record without crashing, whatever the bytes.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "fuzz_target.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    const auto path = fuzz::WriteInput(data, size, ".cfg");
    SetLogThreshold(0);
    TBookConfig config;
    config.ReadConfig(FromPath(path)); // a readable file never fails
    SetLogThreshold(0);
    // The record stays usable: every slot that holds a font has a name.
    for (const auto& font : config.Fonts)
        if (font && font->Name.empty()) std::abort();
    if (config.MidletTexts.size() != kMidletTexts) std::abort();
    std::filesystem::remove(path);
    return 0;
}
