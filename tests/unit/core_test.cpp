#include "core/bObject.h"
#include "core/bVar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace paginor;

TEST(Utf, RoundTripsAcrossThePlanes) {
    const std::u16string text = u"A\u00e9\u0416\u20ac\U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"\u0416"), "\xD0\x96");
}

TEST(Utf, LowerCaseCoversCyrillicAndGreek) {
    EXPECT_EQ(LowerCase(u"ABC \u0416\u0401 \u03A3"), u"abc \u0436\u0451 \u03C3");
}

TEST(Text, CollapseBlanksMakesOneLine) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {" \r\n\t ", ""},
        {"  Bytes: 0x93\n  0x20\n", "Bytes: 0x93 0x20"},
        {"a\x01\x1f b", "a b"},
        {"\xD0\x96 \xD0\x96", "\xD0\x96 \xD0\x96"}, // UTF-8 bytes are not blanks
    };
    for (const auto& c : cases)
        EXPECT_EQ(CollapseBlanks(c.in), c.out) << c.in;
}

TEST(BookTime, SourceDateEpochElseTheSourceFileTime) {
    namespace fs = std::filesystem;
    const fs::path source =
        fs::temp_directory_path() / ("paginor-time-" + std::to_string(getpid()));
    std::fclose(std::fopen(source.c_str(), "w"));
    const timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    struct TCase {
        const char* Epoch; // nullptr: unset
        fs::path Source;
        int64_t Time; // -1: raises
    };
    const TCase cases[] = {
        {nullptr, source, 1500000000},
        {"1700000000", source, 1700000000},
        {"0", source, 0},
        {"1700000000", "/no/such/book.txt", 1700000000},
        {"", source, -1},
        {"17e8", source, -1},
        {"-5", source, -1},
        {" 1700000000", source, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Epoch ? c.Epoch : "unset");
        if (c.Epoch)
            setenv("SOURCE_DATE_EPOCH", c.Epoch, 1);
        else
            unsetenv("SOURCE_DATE_EPOCH");
        if (c.Time < 0)
            EXPECT_THROW(BookTime(c.Source), TBookError);
        else
            EXPECT_EQ(BookTime(c.Source), c.Time);
    }
    // Without either, the present time.
    unsetenv("SOURCE_DATE_EPOCH");
    const int64_t before = std::time(nullptr);
    const int64_t now = BookTime("/no/such/book.txt");
    EXPECT_GE(now, before);
    EXPECT_LE(now, std::time(nullptr));
    fs::remove(source);
}

TEST(Text, PercentEncodingEscapesAllButUnreservedBytes) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"Book-1_v2.~x.jar", "Book-1_v2.~x.jar"},
        {"Tom Jerry.jar", "Tom%20Jerry.jar"},
        {"a/b?c#d%e&f+g;h=i:j@k[l]!$'()*,",
         "a%2Fb%3Fc%23d%25e%26f%2Bg%3Bh%3Di%3Aj%40k%5Bl%5D%21%24%27%28%29%2A%2C"},
        {"\xD0\x94\xD0\xB2 \xE2\x82\xAC", "%D0%94%D0%B2%20%E2%82%AC"},
        {"\x01\x7F\xFF", "%01%7F%FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodePercentEscapes(c.in), c.out) << c.in;
        EXPECT_EQ(DecodePercentEscapes(EncodePercentEscapes(c.in)), c.in) << c.in;
    }
}
