// Fuzz target: the text file loader on any file content: decoding never fails.
#include "core/bObject.h"
#include "core/bVar.h"
#include "fuzz_target.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    const auto path = fuzz::WriteInput(data, size, ".txt");
    const std::u16string text = TBookObject().LoadTextFile(FromPath(path));
    // Every encoding but a detected legacy one yields at most one unit a byte.
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE && size % 2 == 0 &&
        text.size() != size / 2 - 1)
        std::abort();
    std::filesystem::remove(path);
    return 0;
}
