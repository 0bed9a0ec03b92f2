#include "midlet/bResources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace paginor;

namespace {

std::vector<unsigned char> Restore(const TStoredResource& resource) {
    std::vector<unsigned char> bytes(resource.Length);
    for (size_t i = 0; i < resource.Length; ++i)
        bytes[i] = static_cast<unsigned char>(resource.Stored[i] ^ (i & 255));
    return bytes;
}

} // namespace

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
