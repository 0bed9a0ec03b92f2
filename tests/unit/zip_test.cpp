// The zip reader: entries read into memory, limits against zip bombs, names
// that would leave the archive, references resolved to entry names.
#include "core/bObject.h"
#include "platform/ZipArchive.h"
#include "test_files.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace paginor;
using namespace paginor::testing;

namespace {

TEST(ZipArchive, ReadsEntriesInArchiveOrder) {
    TZipArchive zip =
        TZipArchive::FromBytes(ZipBytes({{"mimetype", "application/epub+zip", true},
                                         {"OEBPS/", ""},
                                         {"OEBPS/text/ch1.xhtml", "<p>one</p>"},
                                         {"word/document.xml", std::string(100000, 'w')}}),
                               "book.epub");
    EXPECT_EQ(zip.Names(),
              (std::vector<std::string>{"mimetype", "OEBPS/text/ch1.xhtml", "word/document.xml"}));
    EXPECT_EQ(zip.Read("mimetype"), "application/epub+zip");
    EXPECT_EQ(zip.Read("OEBPS/text/ch1.xhtml"), "<p>one</p>");
    EXPECT_EQ(zip.Read("word/document.xml"), std::string(100000, 'w'));
    EXPECT_FALSE(zip.TryRead("OEBPS/missing.xhtml"));
    EXPECT_EQ(ErrorOf([&] { zip.Read("missing"); }), "book.epub has no entry missing");
}

TEST(ZipArchive, OpensFilesAndSaysWhatIsWrong) {
    TTempDir dir;
    WriteBytes(dir / "good.docx", ZipBytes({{"a.txt", "A"}}));
    EXPECT_EQ(TZipArchive::Open(dir / "good.docx").Read("a.txt"), "A");

    const std::string zip = ZipBytes({{"a.txt", std::string(5000, 'a')}});
    const struct {
        const char* Name;
        std::string Bytes;
    } notZips[] = {
        {"empty.docx", ""},
        {"text.docx", "This is a plain text file, not a document."},
        {"cut.docx", zip.substr(0, zip.size() / 2)},
    };
    for (const auto& notZip : notZips) {
        WriteBytes(dir / notZip.Name, notZip.Bytes);
        const std::string path = (dir / notZip.Name).string();
        EXPECT_EQ(ErrorOf([&] { TZipArchive::Open(path); }), path + " is not a zip archive")
            << notZip.Name;
    }
    const std::string missing = (dir / "missing.docx").string();
    EXPECT_EQ(ErrorOf([&] { TZipArchive::Open(missing); }),
              "Can't read " + missing + ": File not found");
}

TEST(ZipArchive, LimitsStopZipBombs) {
    const TZipLimits small{.MaxEntries = 3, .MaxEntrySize = 1 << 20, .MaxTotalSize = 3 << 19};
    const std::string atLimit(1 << 20, '\0');
    const std::string pastLimit((1 << 20) + 1, '\0');

    // One entry exactly at the limit is fine; one byte more is a bomb.
    TZipArchive fits = TZipArchive::FromBytes(ZipBytes({{"a", atLimit}}), "fits.zip", small);
    EXPECT_EQ(fits.Read("a").size(), atLimit.size());
    TZipArchive bomb =
        TZipArchive::FromBytes(ZipBytes({{"word/document.xml", pastLimit}}), "bomb.docx", small);
    EXPECT_EQ(ErrorOf([&] { bomb.Read("word/document.xml"); }),
              "The entry word/document.xml of bomb.docx is too large: it inflates to more than "
              "1 MiB (a zip bomb?)");

    // Two entries within the entry limit overrun the total.
    TZipArchive two =
        TZipArchive::FromBytes(ZipBytes({{"a", atLimit}, {"b", atLimit}}), "two.zip", small);
    two.Read("a");
    EXPECT_EQ(ErrorOf([&] { two.Read("b"); }),
              "two.zip is too large: its entries inflate to more than 1572864 bytes (a zip bomb?)");

    EXPECT_EQ(ErrorOf([&] {
                  TZipArchive::FromBytes(ZipBytes({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}}),
                                         "many.zip", small);
              }),
              "many.zip has more than 3 entries");
}

// An archive may declare a small size and inflate to much more: the reader
// counts what comes out, not what the directory says.
TEST(ZipArchive, LyingSizeIsNoEscape) {
    std::string zip = ZipBytes({{"big", std::string(2 << 20, '\0')}});
    const uint32_t declared = 100;
    std::memcpy(&zip[22], &declared, 4); // local header: uncompressed size
    const size_t central = zip.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    std::memcpy(&zip[central + 24], &declared, 4);
    TZipArchive archive = TZipArchive::FromBytes(zip, "liar.zip", {.MaxEntrySize = 1 << 20});
    EXPECT_EQ(ErrorOf([&] { archive.Read("big"); }),
              "The entry big of liar.zip is too large: it inflates to more than 1 MiB (a zip "
              "bomb?)");
}

TEST(ZipArchive, NamesLeavingTheArchiveAreNeverFollowed) {
    TZipArchive zip = TZipArchive::FromBytes(ZipBytes({{"../evil.txt", "evil"},
                                                       {"/etc/passwd", "root"},
                                                       {"a/../../b.txt", "b"},
                                                       {"ok/file.txt", "ok"}}),
                                             "hostile.zip");
    EXPECT_EQ(zip.Names(), std::vector<std::string>{"ok/file.txt"});
    for (const char* name : {"../evil.txt", "/etc/passwd", "a/../../b.txt"}) {
        EXPECT_FALSE(zip.Contains(name)) << name;
        EXPECT_EQ(ErrorOf([&] { zip.Read(name); }),
                  std::string("hostile.zip: the entry name ") + name + " is refused");
    }
}

TEST(ZipArchive, ResolvesReferencesToEntryNames) {
    const struct {
        const char* Base;
        const char* Reference;
        std::optional<std::string> Entry;
    } cases[] = {
        {"word/document.xml", "media/image1.png", "word/media/image1.png"},
        {"word/document.xml", "../customXml/item1.xml", "customXml/item1.xml"},
        {"word/document.xml", "/word/media/a.png", "word/media/a.png"},
        {"word/document.xml", "./media/my%20picture.png", "word/media/my picture.png"},
        {"OEBPS/text/ch1.xhtml", "../images/p.jpg", "OEBPS/images/p.jpg"},
        {"content.opf", "text/ch1.xhtml", "text/ch1.xhtml"},
        {"word/document.xml", "../../etc/passwd", std::nullopt},
        {"word/document.xml", "media/%2e%2e/%2e%2e/%2e%2e/x", std::nullopt},
        {"word/document.xml", "http://example.com/a.png", std::nullopt},
        {"word/document.xml", "file:///etc/passwd", std::nullopt},
        {"word/document.xml", "media\\..\\..\\x", std::nullopt},
        {"word/document.xml", "", std::nullopt},
        {"word/document.xml", "..", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TZipArchive::ResolveName(c.Base, c.Reference), c.Entry)
            << c.Base << " + " << c.Reference;
}

} // namespace
