// The fields of an RTF document that would read other files are taken out
// before LibreOffice sees it, however the instruction is spelled; the rest of
// the document stays byte for byte.
#include "platform/RtfFields.h"

#include <gtest/gtest.h>

using namespace paginor;

namespace {

TEST(RtfFields, FieldsThatReadOtherFilesAreTakenOut) {
    const struct {
        const char* Name;
        std::string Rtf;
        std::string Kept;
        std::vector<std::string> Removed;
    } cases[] = {
        {"a linked picture",
         R"({\rtf1 a{\field{\*\fldinst INCLUDEPICTURE "/home/ann/p.png" \\d}{\fldrslt }}b})",
         R"({\rtf1 a{\field{\fldrslt }}b})",
         {R"(INCLUDEPICTURE "/home/ann/p.png" \d)"}},
        {"included text, its shown result kept",
         R"({\rtf1 {\field{\*\fldinst {\b includetext} "../notes.txt"}{\fldrslt old text}}})",
         R"({\rtf1 {\field{\fldrslt old text}}})",
         {R"(includetext "../notes.txt")"}},
        {"a keyword spelled with escapes and a group without \\*",
         R"({\rtf1 {\field{\fldinst \'49NCLUDE\u80?ICTURE x.png}{\fldrslt }}})",
         R"({\rtf1 {\field{\fldrslt }}})",
         {"INCLUDEPICTURE x.png"}},
        {"a linked picture inside a kept hyperlink's instruction",
         R"({\rtf1 {\field{\*\fldinst HYPERLINK "h" {\field{\*\fldinst INCLUDEPICTURE y}}}{\fldrslt z}}})",
         R"({\rtf1 {\field{\*\fldinst HYPERLINK "h" {\field}}{\fldrslt z}}})",
         {"INCLUDEPICTURE y"}},
        {"kept fields and text stay as they are",
         R"({\rtf1 {\field{\*\fldinst HYPERLINK \\l "n1"}{\fldrslt [1]}} {\field{\*\fldinst TOC \\o}{\fldrslt c}} \{INCLUDEPICTURE\}})",
         R"({\rtf1 {\field{\*\fldinst HYPERLINK \\l "n1"}{\fldrslt [1]}} {\field{\*\fldinst TOC \\o}{\fldrslt c}} \{INCLUDEPICTURE\}})",
         {}},
        {"binary data is passed over, not read as braces",
         "{\\rtf1 {\\pict\\bin3 }{\\}{\\field{\\*\\fldinst LINK Excel x}}}",
         "{\\rtf1 {\\pict\\bin3 }{\\}{\\field}}",
         {"LINK Excel x"}},
        {"a document cut short inside an instruction",
         R"({\rtf1 text{\field{\*\fldinst INCLUDEPICTURE "/etc)",
         R"({\rtf1 text{\field)",
         {R"(INCLUDEPICTURE "/etc)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> removed;
        EXPECT_EQ(WithoutOutsideFields(c.Rtf, removed), c.Kept);
        EXPECT_EQ(removed, c.Removed);
    }
}

TEST(RtfFields, RtfIsKnownByItsContent) {
    EXPECT_TRUE(IsRtf("{\\rtf1 x}"));
    EXPECT_TRUE(IsRtf("\xEF\xBB\xBF \r\n{\\RTF1 x}"));
    EXPECT_FALSE(IsRtf("\xD0\xCF\x11\xE0"));
    EXPECT_FALSE(IsRtf("text {\\rtf1}"));
    EXPECT_FALSE(IsRtf(""));
}

} // namespace
