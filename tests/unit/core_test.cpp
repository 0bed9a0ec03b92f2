#include "core/bObject.h"
#include "core/bVar.h"

#include <gtest/gtest.h>

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
