#include "midlet/bResources.h"

#include "core/bObject.h"
#include "midlet/jar/JarWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <zlib.h>

using namespace paginor;

namespace {

std::vector<unsigned char> Restore(const TStoredResource& resource) {
    const std::string bytes = RestoredResource(resource);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// zlib's inflation of a raw deflate stream of a known size, independent of
// the program's own.
std::string Inflate(const std::string& stream, size_t size) {
    std::string out(size, '\0');
    uLongf outSize = size;
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(outSize);
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.avail_out == 0;
    inflateEnd(&z);
    return whole ? out : "<inflate failed>";
}

} // namespace

TEST(Resources, EveryResourceIsAHighlyCompressedStreamWithItsSizeAndCrc) {
    std::vector<const TStoredResource*> all;
    for (const TStoredResource& r : kReaderClasses)
        all.push_back(&r);
    for (const TStoredResource& r : kDefaultPictures)
        all.push_back(&r);
    for (const TStoredResource* r : all) {
        SCOPED_TRACE(r->Name);
        const std::string stream = DeflatedResource(*r);
        ASSERT_EQ(stream.size(), r->Length);
        const std::string bytes = Inflate(stream, r->Size);
        EXPECT_EQ(bytes, RestoredResource(*r));
        EXPECT_EQ(
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())),
            r->Crc);
        // Compressed at the highest level: no larger than a fresh level-12
        // stream (the same, as long as libdeflate is the same).
        EXPECT_LE(stream.size(), RawDeflate(bytes, 12).size());
    }
}

TEST(Resources, ADamagedResourceIsAnError) {
    const std::string plain = "A small file of bytes to embed, twice: A small file of bytes.";
    const std::string stream = RawDeflate(plain, 12);
    std::vector<unsigned char> stored(stream.size());
    for (size_t i = 0; i < stream.size(); ++i)
        stored[i] = static_cast<unsigned char>(stream[i]) ^ (i & 255);
    const uint32_t crc = Crc32(plain);
    struct TCase {
        const char* What;
        size_t Length, Size;
        uint32_t Crc;
        bool Good;
    };
    const TCase cases[] = {
        {"whole", stored.size(), plain.size(), crc, true},
        {"stream cut short", stored.size() - 3, plain.size(), crc, false},
        {"size too large", stored.size(), plain.size() + 1, crc, false},
        {"wrong CRC", stored.size(), plain.size(), crc ^ 1, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TStoredResource resource{"x.bin", stored.data(), c.Length, c.Size, c.Crc};
        if (c.Good)
            EXPECT_EQ(RestoredResource(resource), plain);
        else
            EXPECT_THROW(RestoredResource(resource), TBookError);
    }
}

TEST(Resources, ReaderClassesRestoreToCldcClassFilesInWritingOrder) {
    const char* names[10] = {"TBookCanvas", "TBookN1Canvas", "TBookN2Canvas", "TBookCanvasInit",
                             "TBookMIDlet", "TFont",         "TLoadableFont", "TImage",
                             "TLinkItem",   "TSms"};
    for (int k = 0; k < 10; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(std::string(kReaderClasses[k].Name), std::string(names[k]) + ".class");
        const auto bytes = Restore(kReaderClasses[k]);
        ASSERT_GT(bytes.size(), 100u);
        // Magic CAFEBABE, minor 3, major 45: the class file version phones accept.
        const std::vector<unsigned char> head(bytes.begin(), bytes.begin() + 8);
        EXPECT_EQ(head, (std::vector<unsigned char>{0xCA, 0xFE, 0xBA, 0xBE, 0, 3, 0, 45}));
        // The class name is readable in the restored constant pool.
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(names[k]), std::string::npos);
    }
}

TEST(Resources, DefaultPicturesRestoreToPngFiles) {
    const char* names[4] = {"point.png", "logo.png", "linkl.png", "linkp.png"};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(std::string(kDefaultPictures[k].Name), names[k]);
        const auto bytes = Restore(kDefaultPictures[k]);
        ASSERT_GT(bytes.size(), 16u);
        const std::vector<unsigned char> head(bytes.begin(), bytes.begin() + 8);
        EXPECT_EQ(head, (std::vector<unsigned char>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
        // The last chunk is IEND: the stored form covers the whole file.
        EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "IEND");
    }
}
