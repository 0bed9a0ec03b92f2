#include "midlet/bResources.h"

#include "core/bObject.h"
#include "midlet/jar/JarWriter.h"

#include <libdeflate.h>
#include <memory>

namespace paginor {

namespace {

struct TDecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

} // namespace

std::string DeflatedResource(const TStoredResource& resource) {
    std::string stream(resource.Length, '\0');
    for (size_t i = 0; i < resource.Length; ++i)
        stream[i] = static_cast<char>(resource.Stored[i] ^ (i & 0xFF));
    return stream;
}

std::string RestoredResource(const TStoredResource& resource) {
    const std::string stream = DeflatedResource(resource);
    std::unique_ptr<libdeflate_decompressor, TDecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) throw TBookError("Can't start deflate decompression");
    std::string bytes(resource.Size, '\0');
    if (libdeflate_deflate_decompress(decompressor.get(), stream.data(), stream.size(),
                                      bytes.data(), bytes.size(), nullptr) != LIBDEFLATE_SUCCESS ||
        Crc32(bytes) != resource.Crc)
        throw TBookError(std::string("The built-in file ") + resource.Name + " is damaged");
    return bytes;
}

} // namespace paginor
