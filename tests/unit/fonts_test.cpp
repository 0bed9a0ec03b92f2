// Loadable fonts: the word stream and its files, checked against glyphs that
// the test renders itself with FreeType from the same font file.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "midlet/bMidlet.h"
#include "midlet/bSettings.h"
#include "platform/FontRenderer.h"
#include "text/bText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

#include FT_TRUETYPE_TABLES_H

using namespace paginor;
namespace fs = std::filesystem;

namespace {

TFontDesc Font(const char* name, int size, bool bold = false, bool italic = false) {
    return TFontDesc{Widen(name), size, bold, italic};
}

// A font opened directly with FreeType, independent of the converter: the
// cell from the OS/2 Windows metrics (rounded up), hinted monochrome glyphs,
// each character advancing by its rounded advance.
class TReferenceFont {
public:
    explicit TReferenceFont(const TFontDesc& font) {
        const TFontMatch match = TFontRenderer::FindFont(font);
        EXPECT_EQ(FT_Init_FreeType(&Library), 0);
        EXPECT_EQ(FT_New_Face(Library, match.File.c_str(), match.Index, &Face), 0);
        const int ppem = (font.Size * 96 + 36) / 72;
        EXPECT_EQ(FT_Set_Pixel_Sizes(Face, 0, ppem), 0);
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(Face, FT_SFNT_OS2));
        const double scale = double(ppem) / Face->units_per_EM;
        Ascent = int(std::ceil(os2->usWinAscent * scale - 1e-9));
        Height = Ascent + int(std::ceil(os2->usWinDescent * scale - 1e-9));
    }
    ~TReferenceFont() {
        FT_Done_Face(Face);
        FT_Done_FreeType(Library);
    }
    bool Has(char16_t c) const { return FT_Get_Char_Index(Face, c) != 0; }
    int Advance(char16_t c) const {
        EXPECT_EQ(FT_Load_Char(Face, c, FT_LOAD_TARGET_MONO), 0);
        return int((Face->glyph->advance.x + 32) >> 6);
    }
    // The string drawn on a white field with its cell's top-left at (0, 0);
    // rows[y][x] is ink.
    std::vector<std::vector<bool>> Draw(std::u16string_view text) const {
        int width = 0;
        for (char16_t c : text)
            width += Advance(c);
        std::vector<std::vector<bool>> rows(Height, std::vector<bool>(width, false));
        int pen = 0;
        for (char16_t c : text) {
            EXPECT_EQ(FT_Load_Char(Face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
            const FT_Bitmap& b = Face->glyph->bitmap;
            EXPECT_EQ(b.pixel_mode, FT_PIXEL_MODE_MONO);
            for (int r = 0; r < int(b.rows); ++r)
                for (int col = 0; col < int(b.width); ++col) {
                    const int x = pen + Face->glyph->bitmap_left + col;
                    const int y = Ascent - Face->glyph->bitmap_top + r;
                    if (x < 0 || x >= width || y < 0 || y >= Height) continue;
                    if (b.buffer[r * b.pitch + col / 8] & (0x80 >> (col % 8))) rows[y][x] = true;
                }
            pen += int((Face->glyph->advance.x + 32) >> 6);
        }
        return rows;
    }
    // The column words of a drawn string: bit k of column x is row k.
    std::vector<uint32_t> Columns(std::u16string_view text) const {
        const auto rows = Draw(text);
        std::vector<uint32_t> columns(rows.empty() ? 0 : rows[0].size(), 0);
        for (int k = 0; k < std::min(Height, 32); ++k)
            for (size_t x = 0; x < columns.size(); ++x)
                if (rows[k][x]) columns[x] |= 1u << k;
        return columns;
    }

    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    int Ascent = 0;
    int Height = 0;
};

std::vector<uint32_t> ReadWords(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint32_t> words;
    unsigned char b[4];
    while (in.read(reinterpret_cast<char*>(b), 4))
        words.push_back(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
    return words;
}

// Every piece of font f, joined back into one stream.
std::vector<uint32_t> ReadFont(const fs::path& folder, int f) {
    std::vector<uint32_t> words;
    for (int m = 0;; ++m) {
        const fs::path piece =
            folder / ("font" + std::to_string(f) + "p" + std::to_string(m) + ".dat");
        if (!fs::exists(piece)) break;
        const auto part = ReadWords(piece);
        words.insert(words.end(), part.begin(), part.end());
        if (part.size() < 2048) break;
    }
    return words;
}

// The glyphs of a stream by character: its columns.
std::map<char16_t, std::vector<uint32_t>> ParseFont(const std::vector<uint32_t>& words) {
    std::map<char16_t, std::vector<uint32_t>> glyphs;
    size_t at = 1;
    for (int g = 0; g < 16; ++g) {
        const size_t end = at + 1 + words.at(at);
        for (++at; at < end;) {
            const char16_t c = char16_t(words.at(at));
            EXPECT_EQ(c & 15, g);
            const uint32_t width = words.at(at + 1);
            glyphs[c].assign(words.begin() + at + 2, words.begin() + at + 2 + width);
            at += 2 + width;
        }
        EXPECT_EQ(at, end);
    }
    EXPECT_EQ(at, words.size());
    return glyphs;
}

class FontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("paginor_fonts_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        SavedThreshold = LogThreshold();
        SetLogThreshold(7);
    }
    void TearDown() override {
        SetLogThreshold(SavedThreshold);
        fs::remove_all(Folder);
    }
    std::u16string FolderName() const { return FromPath(Folder); }
    int Convert(const std::u16string& charset, const TFontDesc& font, int index = 0) {
        return Midlet.ConvertFont(charset, font, index, FolderName());
    }

    fs::path Folder;
    int SavedThreshold = 0;
    TBookConfig Config;
    TBookMidlet Midlet{Config};
};

TEST_F(FontsTest, SingleLetterGivesTwentySevenWordsInOneFile) {
    // At 8 points the letter A is 8 pixels wide in a cell of 13 rows.
    const TFontDesc font = Font("Liberation Sans", 8);
    const TReferenceFont reference(font);
    ASSERT_EQ(reference.Advance(u'A'), 8);
    ASSERT_EQ(reference.Height, 13);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Convert(u"A", font), 1);
    const std::string log = testing::internal::GetCapturedStdout();

    const fs::path file = Folder / "font0p0.dat";
    EXPECT_EQ(fs::file_size(file), 108u);
    EXPECT_FALSE(fs::exists(Folder / "font0p1.dat"));
    const auto words = ReadWords(file);
    ASSERT_EQ(words.size(), 27u);
    EXPECT_EQ(words[0], uint32_t(reference.Height));
    EXPECT_EQ(words[1], 0u);
    EXPECT_EQ(words[2], 10u);
    EXPECT_EQ(words[3], 65u);
    EXPECT_EQ(words[4], 8u);
    const auto columns = reference.Columns(u"A");
    EXPECT_EQ(std::vector<uint32_t>(words.begin() + 5, words.begin() + 13), columns);
    EXPECT_EQ(std::vector<uint32_t>(words.begin() + 13, words.end()), std::vector<uint32_t>(14, 0));

    const std::string path = ToUtf8(FolderName()) + "/font0p0.dat";
    EXPECT_NE(log.find(".. Converting font Liberation Sans\n"), std::string::npos) << log;
    EXPECT_NE(log.find(".. Writing loadable font Liberation Sans [" +
                       std::to_string(reference.Height) + "] into file " + path + "\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("+ Font file saved " + path + "\n"), std::string::npos) << log;
}

TEST_F(FontsTest, HelloColumnsRedrawTheWordPixelForPixel) {
    const TFontDesc font = Font("Liberation Sans", 12);
    const TReferenceFont reference(font);
    Convert(u"Helo", font);
    const auto glyphs = ParseFont(ReadFont(Folder, 0));
    ASSERT_EQ(glyphs.size(), 4u);

    // Lay the stored glyphs side by side and compare with FreeType drawing the word.
    std::vector<uint32_t> columns;
    for (char16_t c : std::u16string(u"Hello"))
        columns.insert(columns.end(), glyphs.at(c).begin(), glyphs.at(c).end());
    const auto expected = reference.Draw(u"Hello");
    ASSERT_EQ(columns.size(), expected[0].size());
    std::string picture, wanted;
    int ink = 0;
    for (int y = 0; y < reference.Height; ++y) {
        for (size_t x = 0; x < columns.size(); ++x) {
            const bool set = (columns[x] >> y) & 1;
            ink += set;
            picture += set ? '#' : '.';
            wanted += expected[y][x] ? '#' : '.';
        }
        picture += '\n';
        wanted += '\n';
    }
    EXPECT_EQ(picture, wanted);
    EXPECT_GT(ink, 40) << picture;
}

TEST_F(FontsTest, CellTallerThanThirtyTwoRowsKeepsItsTopRows) {
    const TFontDesc font = Font("Liberation Sans", 26);
    const TReferenceFont reference(font);
    ASSERT_GT(reference.Height, 34);
    const auto rows = reference.Draw(u"g");
    ASSERT_TRUE(std::any_of(rows.begin() + 32, rows.end(), [](const auto& row) {
        return std::count(row.begin(), row.end(), true);
    })) << "the descender reaches below row 31";
    Convert(u"g", font);
    const auto words = ReadFont(Folder, 0);
    EXPECT_EQ(words.at(0), uint32_t(reference.Height));
    EXPECT_EQ(ParseFont(words).at(u'g'), reference.Columns(u"g"));
}

TEST_F(FontsTest, CharacterWithoutWidthIsStoredAfterABlank) {
    struct TCase {
        const char* font;
        char16_t c;
    };
    // A combining mark advances by nothing; a private-use code has no glyph.
    for (const TCase& test :
         {TCase{"DejaVu Sans", u'\u0301'}, TCase{"Liberation Sans", u'\uE000'}}) {
        SCOPED_TRACE(test.font);
        const TFontDesc font = Font(test.font, 12);
        const TReferenceFont reference(font);
        ASSERT_TRUE(!reference.Has(test.c) || reference.Advance(test.c) == 0);
        Convert(std::u16string(1, test.c), font);
        const auto glyphs = ParseFont(ReadFont(Folder, 0));
        const auto& columns = glyphs.at(test.c);
        const std::u16string drawn{u' ', test.c};
        EXPECT_EQ(int(columns.size()), reference.Advance(u' ') + reference.Advance(test.c));
        EXPECT_GE(columns.size(), size_t(reference.Advance(u' ')));
        EXPECT_EQ(columns, reference.Columns(drawn));
        EXPECT_TRUE(std::any_of(columns.begin(), columns.end(), [](uint32_t w) { return w != 0; }));
    }
}

// A set of characters whose stream has exactly `words` words (a subset sum
// over the widths FreeType gives).
std::u16string CharsetOfSize(const TReferenceFont& reference, size_t words) {
    const size_t target = words - 17;
    // reach[n]: the character that last completed a sum of n, or 0.
    std::vector<char16_t> reach(target + 1, 0);
    std::vector<bool> reached(target + 1, false);
    reached[0] = true;
    for (char16_t c = 0x21; c < 0x2000 && !reached[target]; ++c) {
        if (!reference.Has(c) || reference.Advance(c) == 0) continue;
        const size_t cost = 2 + reference.Advance(c);
        for (size_t n = target; n >= cost; --n)
            if (!reached[n] && reached[n - cost]) {
                reached[n] = true;
                reach[n] = c;
            }
    }
    if (!reached[target]) {
        ADD_FAILURE() << "no character set of " << words << " words";
        return {};
    }
    std::u16string charset;
    for (size_t n = target; n > 0; n -= 2 + reference.Advance(reach[n]))
        charset += reach[n];
    return charset;
}

TEST_F(FontsTest, StreamIsCutInto2048WordPiecesWithAnEmptyOneAfterAnExactFit) {
    const TFontDesc font = Font("Liberation Sans", 12);
    const TReferenceFont reference(font);
    struct TCase {
        size_t words;
        std::vector<uintmax_t> sizes;
    };
    for (const TCase& test : {TCase{2048, {8192, 0}}, TCase{2049, {8192, 4}},
                              TCase{4096, {8192, 8192, 0}}, TCase{3000, {8192, 3808}}}) {
        SCOPED_TRACE(test.words);
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        const std::u16string charset = CharsetOfSize(reference, test.words);
        EXPECT_EQ(Convert(charset, font, 2), int(test.sizes.size()));
        std::vector<uintmax_t> sizes;
        for (size_t m = 0; fs::exists(Folder / ("font2p" + std::to_string(m) + ".dat")); ++m)
            sizes.push_back(fs::file_size(Folder / ("font2p" + std::to_string(m) + ".dat")));
        EXPECT_EQ(sizes, test.sizes);
        EXPECT_EQ(ReadFont(Folder, 2).size(), test.words);
        EXPECT_EQ(ParseFont(ReadFont(Folder, 2)).size(), charset.size());
    }
}

TEST_F(FontsTest, FontsInSlotsOneAndThreeBecomeFontZeroAndOneAndCfgCountsTwo) {
    Config.Temp1Dir = FolderName();
    Config.Fonts[0] = Font("Liberation Sans", 12);
    Config.Fonts[2] = Font("DejaVu Sans", 20, true);
    ASSERT_EQ(Config.FontCount(), 2);
    TBookText text(Config);
    Midlet.BookText = &text;
    Midlet.WriteFonts();

    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(Folder))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"font0p0.dat", "font1p0.dat"}));
    EXPECT_EQ(ReadFont(Folder, 0).at(0), uint32_t(TReferenceFont(*Config.Fonts[0]).Height));
    EXPECT_EQ(ReadFont(Folder, 1).at(0), uint32_t(TReferenceFont(*Config.Fonts[2]).Height));

    // cfg.dat: text length, four layout values, one colour scheme of three
    // values, four display values, then the number of fonts.
    ASSERT_EQ(ValidColorSchemes(Config), 1);
    Midlet.WriteSettings();
    EXPECT_EQ(ReadWords(Folder / "cfg.dat").at(13), 2u);
}

TEST_F(FontsTest, NoConfiguredFontWritesNothing) {
    Config.Temp1Dir = FolderName();
    Midlet.WriteFonts();
    EXPECT_TRUE(fs::is_empty(Folder));
}

TEST_F(FontsTest, FailuresAreLoggedAndNameThePiece) {
    struct TCase {
        const char* what;
        std::u16string charset;
        TFontDesc font;
        bool badFolder;
        std::string path; // after the folder; empty when no piece was begun
        std::string reason;
    };
    std::u16string wide; // a set far beyond the largest loadable font
    for (char16_t c = 0x100; c < 0x1000; ++c)
        wide += c;
    const TCase cases[] = {
        {"missing folder", u"A", Font("Liberation Sans", 12), true, "/font0p0.dat",
         "Can't create file"},
        {"size zero", u"A", Font("Liberation Sans", 0), false, "", "has size 0"},
        {"too many words", wide, Font("Liberation Sans", 72), false, "", "more than the 131072"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.what);
        const std::u16string folder = test.badFolder ? FolderName() + u"/absent" : FolderName();
        testing::internal::CaptureStdout();
        try {
            Midlet.ConvertFont(test.charset, test.font, 0, folder);
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            const std::string path = test.path.empty() ? "" : ToUtf8(folder) + test.path;
            EXPECT_EQ(std::string(error.what()), "! Can't save font file " + path);
        }
        const std::string log = testing::internal::GetCapturedStdout();
        const size_t failure = log.find("  - ");
        ASSERT_NE(failure, std::string::npos) << log;
        EXPECT_NE(log.find(test.reason, failure), std::string::npos) << log;
        if (test.path.empty()) {
            EXPECT_TRUE(fs::is_empty(Folder));
        }
    }
}

TEST_F(FontsTest, NamesUsersKnowAndUnknownNamesFindAFontFile) {
    // Metric-compatible families stand in for the common desktop names.
    const TFontMatch arial = TFontRenderer::FindFont(Font("Arial", 10));
    EXPECT_EQ(arial.Family, "Liberation Sans");
    EXPECT_FALSE(arial.Named);
    const TFontMatch times = TFontRenderer::FindFont(Font("Times New Roman", 10, true));
    EXPECT_EQ(times.Family, "Liberation Serif");
    EXPECT_EQ(fs::path(times.File).filename(), "LiberationSerif-Bold.ttf");

    const TFontMatch dejavu = TFontRenderer::FindFont(Font("dejavu sans", 10));
    EXPECT_TRUE(dejavu.Named);
    EXPECT_EQ(fs::path(dejavu.File).filename(), "DejaVuSans.ttf");

    testing::internal::CaptureStdout();
    Convert(u"Ab", Font("No Such Font Family", 10));
    const std::string log = testing::internal::GetCapturedStdout();
    const TFontMatch nearest = TFontRenderer::FindFont(Font("No Such Font Family", 10));
    EXPECT_FALSE(nearest.Named);
    EXPECT_NE(log.find(".. Font No Such Font Family is not installed, using nearest match"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(nearest.File), std::string::npos) << log;
    EXPECT_EQ(ParseFont(ReadFont(Folder, 0)).size(), 2u);
}

// Ink pixels of a glyph and the mean ink column of its top and bottom halves.
struct TInk {
    int pixels = 0;
    double topX = 0, bottomX = 0;
};

TInk InkOf(const TFontRenderer& renderer, char16_t c) {
    const int width = renderer.AdvanceWidth(c);
    const TMonoBitmap glyph = renderer.Render(std::u16string(1, c), width);
    TInk ink;
    int top = 0, bottom = 0;
    for (int y = 0; y < glyph.Height; ++y)
        for (int x = 0; x < glyph.Width; ++x)
            if (glyph.Ink(x, y)) {
                ++ink.pixels;
                if (y < renderer.Ascent() / 2) {
                    ink.topX += x;
                    ++top;
                } else if (y < renderer.Ascent()) {
                    ink.bottomX += x;
                    ++bottom;
                }
            }
    ink.topX /= std::max(top, 1);
    ink.bottomX /= std::max(bottom, 1);
    return ink;
}

TEST(FontRenderer, BoldIsHeavierAndItalicLeansWhetherTheFamilyHasTheFaceOrNot) {
    // Liberation Sans has its own bold and italic faces; Droid Sans Fallback
    // (when installed) has one face only, so both are synthesised; DejaVu
    // Sans has its own bold and, when only its core faces are installed, a
    // synthesised italic.
    struct TCase {
        const char* family;
        char16_t stroke; // a glyph with a tall vertical stroke
        int ownFaces;    // 1: the family's own faces are used; 0: synthesised; -1: either
    };
    for (const TCase& test : {TCase{"Liberation Sans", u'l', 1}, TCase{"DejaVu Sans", u'l', -1},
                              TCase{"Droid Sans Fallback", u'\u4e28', 0}}) {
        SCOPED_TRACE(test.family);
        const TFontRenderer regular(Font(test.family, 16));
        if (!regular.Match().Named) continue;
        const TFontRenderer bold(Font(test.family, 16, true));
        const TFontRenderer italic(Font(test.family, 16, false, true));
        EXPECT_FALSE(regular.SynthesisedBold() || regular.SynthesisedItalic());
        if (test.ownFaces >= 0) {
            EXPECT_EQ(bold.SynthesisedBold(), test.ownFaces == 0);
            EXPECT_EQ(italic.SynthesisedItalic(), test.ownFaces == 0);
        }
        const TInk plain = InkOf(regular, test.stroke);
        EXPECT_GT(InkOf(bold, test.stroke).pixels, plain.pixels * 5 / 4);
        const TInk leaning = InkOf(italic, test.stroke);
        EXPECT_GT(leaning.topX - leaning.bottomX, 1.0);
        EXPECT_LT(std::abs(plain.topX - plain.bottomX), 1.0);
    }
}

TEST(FontRenderer, CellIsAscentPlusDescent) {
    const TFontRenderer renderer(Font("Liberation Sans", 12));
    EXPECT_EQ(renderer.PixelSize(), 16);
    EXPECT_EQ(renderer.CellHeight(), renderer.Ascent() + renderer.Descent());
    EXPECT_EQ(renderer.CellHeight(), TReferenceFont(Font("Liberation Sans", 12)).Height);
}

} // namespace
