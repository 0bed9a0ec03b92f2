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
