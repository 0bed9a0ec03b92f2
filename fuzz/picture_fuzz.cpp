// Fuzz target: any file content as a book picture. The header check either
// refuses it or gives a size within limits to the converter, and the
// converter either writes a PNG or raises; nothing else.
#include "core/bObject.h"
#include "fuzz_target.h"
#include "platform/PictureConverter.h"

#include <cstdlib>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace paginor;
    const auto source = fuzz::WriteInput(data, size, ".picture");
    const auto target = fuzz::WriteInput(nullptr, 0, ".png");
    std::filesystem::remove(target);
    try {
        const TPictureInfo info = TPictureConverter::Inspect(source);
        TPictureConverter converter;
        converter.Convert(source, info, {"-resize", "160x128>", "-depth", "8"}, target,
                          TPictureFormat::Png);
        // Written: a PNG no larger than the rule's box.
        const TPictureInfo written = TPictureConverter::Inspect(target);
        if (written.Format != TPictureFormat::Png || written.Width > 160 || written.Height > 128)
            std::abort();
    } catch (const TBookError&) {
        // Refused or failed: nothing may be left behind.
        if (std::filesystem::exists(target)) std::abort();
    }
    std::filesystem::remove(source);
    std::filesystem::remove(target);
    return 0;
}
