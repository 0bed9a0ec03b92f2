// The text file loader: encodings chosen by mark and size, the tolerant UTF-8
// decoder, the legacy single-byte path, failures; and the progress log lines.
#include "core/bObject.h"
#include "core/bVar.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using namespace paginor;
using paginor::testing::EncodeText;
using paginor::testing::TTempDir;
using paginor::testing::Utf16Bytes;
using paginor::testing::WriteBytes;

namespace {

class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override { SetLogThreshold(0); }

    std::u16string Load(const std::string& bytes) {
        const auto path = Dir / "text.txt";
        WriteBytes(path, bytes);
        return TBookObject().LoadTextFile(FromPath(path));
    }

    TTempDir Dir;
};

struct TLoadCase {
    const char* Name;
    std::string Bytes;
    std::u16string Expected;
};

const std::string kUtf8Mark = "\xEF\xBB\xBF";

TEST_F(LoaderTest, DecodesByMarkAndSize) {
    const TLoadCase cases[] = {
        {"empty file", "", u""},
        {"UTF-8 mark only", kUtf8Mark, u""},
        {"UTF-16LE mark only", "\xFF\xFE", u""},
        {"UTF-16BE mark only", "\xFE\xFF", u""},
        {"UTF-16LE", Utf16Bytes(u"A\u0416\u20AC", false), u"A\u0416\u20AC"},
        {"UTF-16BE", std::string("\xFE\xFF\x00\x41\x00\x42", 6), u"AB"},
        {"UTF-16 keeps an unpaired surrogate and U+0000",
         std::string("\xFF\xFE\x00\xD8\x00\x00\x41\x00", 8), std::u16string(u"\xD800\0A", 3)},
        {"odd size with a UTF-16 mark is single-byte", "\xFF\xFE\x41", u"\u00FF\u00FE\u0041"},
        {"UTF-8 without mark", "caf\xC3\xA9 \xD0\x96", u"caf\u00E9 \u0416"},
        {"plain ASCII", "BookName=x\r\n", u"BookName=x\r\n"},
        {"latin-1 text",
         "Gr\xFC\xDF"
         "e aus K\xF6ln",
         u"Gr\u00FC\u00DFe aus K\u00F6ln"},
        {"windows-1251 text",
         "\xD1\xFA\xE5\xF8\xFC \xE6\xE5 \xE5\xF9\xB8 \xFD\xF2\xE8\xF5 \xEC\xFF\xE3\xEA\xE8\xF5 "
         "\xF4\xF0\xE0\xED\xF6\xF3\xE7\xF1\xEA\xE8\xF5 \xE1\xF3\xEB\xEE\xEA",
         u"Съешь же ещё этих мягких французских булок"},
        {"KOI8-R text", "\xF0\xD2\xC9\xD7\xC5\xD4, \xCD\xC9\xD2", u"Привет, мир"},
        {"short windows-1251 text", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", u"Привет, мир"},
        // Mostly lower-case prose, which uchardet takes for Mac Cyrillic.
        {"windows-1251 prose",
         EncodeText("Жили-были дед да баба, и была у них курочка Ряба.", "CP1251"),
         u"Жили-были дед да баба, и была у них курочка Ряба."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(c.Bytes), c.Expected) << c.Name;
}

TEST(LegacyCharsets, DecodeWholeTextsAndRefuseBytesTheyDoNotDefine) {
    const std::string russian = "Съешь же ещё этих мягких французских булок";
    const std::string japanese = "日本語のテキスト、かなとカナ";
    const std::string beyondBmp = "漢字 \xF0\xA0\x80\x80 x"; // U+20000, a surrogate pair
    const std::string sjis = EncodeText(japanese, "SHIFT_JIS");
    struct {
        const char* Name;
        std::string Bytes;
        std::string Charset;
        std::optional<std::u16string> Expected;
    } const cases[] = {
        {"a single-byte code page", EncodeText(russian, "CP1251"), "WINDOWS-1251",
         FromUtf8(russian)},
        {"KOI8-R", EncodeText(russian, "KOI8-R"), "KOI8-R", FromUtf8(russian)},
        {"a multi-byte charset", sjis, "SHIFT_JIS", FromUtf8(japanese)},
        {"a character beyond the first plane", EncodeText(beyondBmp, "GB18030"), "GB18030",
         FromUtf8(beyondBmp)},
        {"a byte the code page leaves undefined", "ok\x98", "WINDOWS-1251", std::nullopt},
        {"a sequence cut short", sjis.substr(0, sjis.size() - 1), "SHIFT_JIS", std::nullopt},
        {"an unknown charset", "abc", "X-NOTHING", std::nullopt},
        {"nothing at all", "", "SHIFT_JIS", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCharsetText(c.Bytes, c.Charset), c.Expected) << c.Name;
}

TEST_F(LoaderTest, ALargeLegacyTextIsDetectedAndDecodedWhole) {
    // Several megabytes: detection reads a sample, decoding every byte. The
    // lower-case prose is the kind uchardet takes for Mac Cyrillic.
    const std::string line = "жили-были дед да баба, и была у них курочка ряба.\r\n";
    std::string utf8;
    while (utf8.size() < (6u << 20))
        utf8 += line;
    utf8 += "Конец."; // capitals, at the very end, outside the sample
    const std::string bytes = EncodeText(utf8, "CP1251") + " "; // odd size
    EXPECT_EQ(Load(bytes), FromUtf8(utf8 + " "));
}

TEST_F(LoaderTest, MarkedUtf8DecoderIsTolerant) {
    const TLoadCase cases[] = {
        {"three-byte sequence", "\xE2\x82\xAC", u"\u20AC"},
        {"four-byte sequence keeps its low 16 bits", "\xF0\x9F\x98\x80", u"\uF600"},
        {"ASCII inside a sequence does not interrupt it", "\x41\xC3\x42\xA9", u"AB\u00E9"},
        {"lone continuation byte", "\xA9", u""},
        {"stray continuation bytes are dropped",
         "A\xA9\xA9"
         "B",
         u"AB"},
        {"continuations after a complete sequence are dropped", "\xC3\xA9\xA9\xA9x", u"\u00E9x"},
        {"lead byte abandons a pending sequence", "\xE2\x82\xC3\xA9", u"\u00E9"},
        {"sequence cut short by the end", "ok\xE2\x82", u"ok"},
        {"overlong form is accepted",
         "\xC0\x80"
         "A",
         std::u16string(u"\0A", 2)},
        {"encoded surrogate is accepted", "\xED\xA0\x80", u"\xD800"},
        {"six continuation bytes after FE", "\xFE\x80\x80\x80\x80\x81\x82", u"\x0042"},
        {"five continuation bytes after FC", "\xFC\x80\x80\x80\x81\x81", u"\x0041"},
        {"a second mark is a character", kUtf8Mark, u"\uFEFF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(kUtf8Mark + c.Bytes), c.Expected) << c.Name;
}

TEST_F(LoaderTest, FailsWithTheSystemReason) {
    struct {
        const char* Name;
        std::filesystem::path Path;
        const char* Message;
    } cases[] = {
        {"missing file", Dir / "missing.txt", "File not found"},
        {"missing folder", Dir / "none" / "x.txt", "File not found"},
        {"folder", Dir.Path, "Is a directory"},
        {"device", "/dev/zero", "Not a regular file"},
    };
    for (const auto& c : cases) {
        try {
            TBookObject().LoadTextFile(FromPath(c.Path));
            ADD_FAILURE() << c.Name << ": no error";
        } catch (const TBookError& error) {
            EXPECT_STREQ(error.what(), c.Message) << c.Name;
        }
    }
}

TEST_F(LoaderTest, UnreadableFileFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const auto path = Dir / "locked.txt";
    WriteBytes(path, "x");
    ::chmod(path.c_str(), 0);
    EXPECT_THROW(TBookObject().LoadTextFile(FromPath(path)), TBookError);
}

TEST_F(LoaderTest, ReportsTheEncodingAtLevelSix) {
    const auto path = Dir / "be.txt";
    WriteBytes(path, std::string("\xFE\xFF\x00\x41\x00\x42", 6));
    const std::u16string name = FromPath(path);

    SetLogThreshold(6);
    ::testing::internal::CaptureStdout();
    TBookObject().LoadTextFile(name);
    const std::string shown = ::testing::internal::GetCapturedStdout();
    const std::regex expected("\\d\\d:\\d\\d:\\d\\d  \\.\\. Loading text file " + path.string() +
                              "\n\\d\\d:\\d\\d:\\d\\d  \\.\\. Format: Unicode BE, file size 6\n");
    EXPECT_TRUE(std::regex_match(shown, expected)) << shown;

    SetLogThreshold(5);
    ::testing::internal::CaptureStdout();
    TBookObject().LoadTextFile(name);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(Log, PrintsUpToTheThreshold) {
    struct {
        int Threshold;
        int Level;
        bool Shown;
    } cases[] = {{0, 3, false}, {-1, 3, false}, {3, 3, true}, {5, 6, false},
                 {6, 6, true},  {6, 7, false},  {7, 7, true}, {100, 7, true}};
    for (const auto& c : cases) {
        SetLogThreshold(c.Threshold);
        ::testing::internal::CaptureStdout();
        TBookObject().Log(c.Level, "- message");
        const std::string shown = ::testing::internal::GetCapturedStdout();
        if (c.Shown)
            EXPECT_TRUE(std::regex_match(shown, std::regex("\\d\\d:\\d\\d:\\d\\d  - message\n")))
                << shown;
        else
            EXPECT_EQ(shown, "") << c.Threshold << " " << c.Level;
    }
    SetLogThreshold(7);
    ::testing::internal::CaptureStdout();
    TBookObject().Log(7, "");
    EXPECT_TRUE(std::regex_match(::testing::internal::GetCapturedStdout(),
                                 std::regex("\\d\\d:\\d\\d:\\d\\d  \n")));
    SetLogThreshold(0);
}

} // namespace
