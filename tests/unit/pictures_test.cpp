// Book pictures: the five picture modes over small real pictures that the
// test draws itself, the rules and "noresize", and hostile input.
#include "core/bVar.h"
#include "maker/bImport.h"
#include "midlet/bMidlet.h"
#include "midlet_temp.h"
#include "picture_support.h"
#include "platform/PictureConverter.h"
#include "text_support.h"

#include <gtest/gtest.h>
#include <wand/MagickWand.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <unistd.h>

using namespace paginor;
using paginor::testing::CaptureLog;
using paginor::testing::DrawPicture;
using paginor::testing::ReadBack;
using paginor::testing::TLook;
using paginor::testing::TReadBack;
namespace fs = std::filesystem;

namespace {

std::string FileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A PNG that declares 30000x30000 pixels in a few hundred bytes.
std::string PngBomb() {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    std::string ihdr = "IHDR" + be32(30000) + be32(30000) + std::string("\x08\x00\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    png += be32(13) + ihdr + be32(0); // the CRC is not checked before the size
    png += be32(0) + "IEND" + be32(0xAE426082);
    return png;
}

// A valid 1-bit grey PNG, every row the same stripes, written by hand so
// that a very large picture stays a small file.
std::string BilevelPng(uint32_t width, uint32_t height) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        const std::string body = type + data;
        return be32(static_cast<uint32_t>(data.size())) + body +
               be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
    };
    std::string row(1 + (width + 7) / 8, '\x55');
    row[0] = '\0'; // no filter
    std::string raw;
    for (uint32_t y = 0; y < height; ++y)
        raw += row;
    std::string packed(compressBound(static_cast<uLong>(raw.size())), '\0');
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    return "\x89PNG\r\n\x1a\n" +
           chunk("IHDR", be32(width) + be32(height) + std::string("\x01\x00\x00\x00\x00", 5)) +
           chunk("IDAT", packed) + chunk("IEND", "");
}

class PicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Root = fs::temp_directory_path() /
               ("paginor_pictures_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(Root);
        fs::create_directories(Root / "pics");
        fs::create_directories(Root / "temp1");
        Config.Temp1Dir = FromPath(Root / "temp1");
        Pics = Root / "pics";
        Library.emplace();
    }
    void TearDown() override {
        Library.reset();
        fs::remove_all(Root);
    }

    // Fills the text with one picture record per reference, each preceded by a
    // record of another kind that must stay untouched.
    std::vector<TLinkItem>& Links(const std::vector<std::u16string>& references) {
        Text.Links.clear();
        for (const auto& reference : references) {
            Text.Links.push_back({u"hexample.org/page", 0, 0, 0, 1, 'h'});
            Text.Links.push_back({u"I" + reference, 0, 0, 0, 2, 'I'});
        }
        return Text.Links;
    }
    std::u16string Pic(const std::string& name) const { return FromPath(Pics / name); }
    fs::path Out(const std::string& name) const { return Root / "temp1" / name; }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Converting the text's pictures must fail with a message that names the
    // source file and holds every expected part.
    void ExpectConversionFails(const std::string& source,
                               const std::vector<std::string>& expected) {
        Midlet.BookText = &Text;
        try {
            Midlet.ConvertBookPictures();
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(ToUtf8(Pic(source))), std::string::npos) << message;
            for (const auto& part : expected)
                EXPECT_NE(message.find(part), std::string::npos) << message;
        }
    }

    fs::path Root, Pics;
    TBookConfig Config;
    TBookText Text{Config};
    TBookMidlet Midlet{Config};
    std::optional<TPictureConverter> Library; // keeps ImageMagick running for the drawing
};

struct TModeCase {
    const char* Title;
    int Mode;
    std::string Source;        // file in pics/
    std::u16string Rule;       // the tag's rule, without brackets ("" for none)
    std::u16string PngOptions; // ImagePngOptions when not empty
    std::u16string Target;     // expected Target after conversion
    std::string Format;        // read back from the written file
    size_t MaxWidth, MaxHeight;
    bool SameBytes; // the written file is the source, byte for byte
};

TEST_F(PicturesTest, EachModeNamesConvertsAndSizesLikeItsRule) {
    DrawPicture(Pics / "drawing.png", "png:", 400, 300, TLook::Drawing);
    DrawPicture(Pics / "photo.jpg", "jpeg:", 640, 480, TLook::Photo);
    DrawPicture(Pics / "photo.png", "png:", 640, 480, TLook::Photo);
    DrawPicture(Pics / "anim.gif", "gif:", 120, 90, TLook::Drawing);

    const std::vector<TModeCase> cases = {
        {"mode 1 copies a PNG as N.png", 1, "drawing.png", u"", u"", u"I1.png", "PNG", 400, 300,
         true},
        {"mode 1 copies a GIF as N.jpg", 1, "anim.gif", u"", u"", u"I1.jpg", "GIF", 120, 90, true},
        {"mode 1 ignores the rule", 1, "photo.jpg", u"-resize 10x10", u"", u"I1.jpg", "JPEG", 640,
         480, true},
        {"mode 2 keeps the JPEG of a photo", 2, "photo.png", u"", u"", u"I1.jpg", "JPEG", 160, 128,
         false},
        {"mode 2 keeps the PNG of a drawing", 2, "drawing.png", u"", u"", u"I1.png", "PNG", 160,
         128, false},
        {"mode 3 default rule", 3, "photo.jpg", u"", u"", u"I1.png", "PNG", 160, 120, false},
        {"mode 3 own rule", 3, "drawing.png", u"-resize 40x40> -depth 8", u"", u"I1.png", "PNG", 40,
         30, false},
        {"mode 3 rule with runs of blanks", 3, "drawing.png", u"  -resize   40x40>    -strip ", u"",
         u"I1.png", "PNG", 40, 30, false},
        {"mode 4 default rule", 4, "drawing.png", u"", u"", u"I1.jpg", "JPEG", 160, 120, false},
        {"mode 4 own rule", 4, "photo.png", u"-thumbnail 64x64^ -gravity center -extent 64x64", u"",
         u"I1.jpg", "JPEG", 64, 64, false},
        {"mode 3 noresize converts a GIF to PNG at full size", 3, "anim.gif", u"noresize", u"",
         u"I1.png", "PNG", 120, 90, false},
        {"mode 4 noresize converts a GIF to a real JPEG", 4, "anim.gif", u"NoResize", u"",
         u"I1.jpg", "JPEG", 120, 90, false},
        {"mode 4 noresize copies a JPEG", 4, "photo.jpg", u"noresize", u"", u"I1.jpg", "JPEG", 640,
         480, true},
        {"NORESIZE as the PNG default copies a PNG", 3, "drawing.png", u"", u"NORESIZE", u"I1.png",
         "PNG", 400, 300, true},
        {"NORESIZE as the PNG default converts a JPEG", 3, "photo.jpg", u"", u"NORESIZE", u"I1.png",
         "PNG", 640, 480, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
        Config.ImageMode = c.Mode;
        Config.ImagePngOptions =
            c.PngOptions.empty() ? TBookConfig().ImagePngOptions : c.PngOptions;
        const std::u16string reference =
            (c.Rule.empty() ? u"" : u"[" + c.Rule + u"] ") + Pic(c.Source);
        Links({reference});
        Midlet.BookText = &Text;
        Midlet.ConvertBookPictures();

        EXPECT_EQ(Text.Links[0].Target, u"hexample.org/page");
        ASSERT_EQ(Text.Links[1].Target, c.Target);
        const std::string written = ToUtf8(c.Target.substr(1));
        EXPECT_EQ(OutFiles(), std::vector<std::string>{written});
        const TReadBack back = ReadBack(Out(written));
        EXPECT_EQ(back.Format, c.Format);
        EXPECT_GT(back.Width, 0u);
        EXPECT_LE(back.Width, c.MaxWidth);
        EXPECT_LE(back.Height, c.MaxHeight);
        if (c.SameBytes)
            EXPECT_EQ(FileBytes(Out(written)), FileBytes(Pics / c.Source));
        else
            EXPECT_NE(FileBytes(Out(written)), FileBytes(Pics / c.Source));
    }
}

TEST_F(PicturesTest, NoResizeKeepsTheSizeAndTheDefaultRuleShrinksOnly) {
    DrawPicture(Pics / "small.png", "png:", 50, 40, TLook::Drawing);
    DrawPicture(Pics / "small.jpg", "jpeg:", 50, 40, TLook::Photo);
    DrawPicture(Pics / "wide.png", "png:", 800, 200, TLook::Drawing);
    Config.ImageMode = 3;
    Links({Pic("small.png"), Pic("wide.png"), u"[noresize] " + Pic("wide.png"), Pic("small.jpg")});
    Midlet.BookText = &Text;
    Midlet.ConvertBookPictures();
    const TReadBack small = ReadBack(Out("1.png")), wide = ReadBack(Out("2.png")),
                    full = ReadBack(Out("3.png")), smallJpeg = ReadBack(Out("4.png"));
    EXPECT_EQ(small.Width, 50u); // "160x128>" never enlarges
    EXPECT_EQ(small.Height, 40u);
    EXPECT_EQ(smallJpeg.Width, 50u); // nor does the JPEG decoder
    EXPECT_EQ(smallJpeg.Height, 40u);
    EXPECT_EQ(wide.Width, 160u); // the aspect ratio is kept
    EXPECT_EQ(wide.Height, 40u);
    EXPECT_EQ(full.Width, 800u);
    EXPECT_EQ(full.Height, 200u);
}

TEST_F(PicturesTest, LargeJpegsDecodedAtReducedScaleStillFillTheBox) {
    DrawPicture(Pics / "big.jpg", "jpeg:", 1280, 960, TLook::Photo);
    Config.ImageMode = 4;
    Links({Pic("big.jpg"), u"[-thumbnail 50x50^ -gravity center -extent 50x50] " + Pic("big.jpg"),
           u"[-resize 25%] " + Pic("big.jpg")});
    Midlet.BookText = &Text;
    Midlet.ConvertBookPictures();
    const TReadBack box = ReadBack(Out("1.jpg")), square = ReadBack(Out("2.jpg")),
                    quarter = ReadBack(Out("3.jpg"));
    EXPECT_EQ(box.Width, 160u);
    EXPECT_EQ(box.Height, 120u);
    EXPECT_EQ(square.Width, 50u);
    EXPECT_EQ(square.Height, 50u);
    EXPECT_EQ(quarter.Width, 320u);
    EXPECT_EQ(quarter.Height, 240u);
}

TEST_F(PicturesTest, NumbersFollowTheLinksAndModeTwoCandidatesShareTheirNumber) {
    DrawPicture(Pics / "photo.png", "png:", 300, 200, TLook::Photo);
    DrawPicture(Pics / "drawing.png", "png:", 300, 200, TLook::Drawing);
    DrawPicture(Pics / "other.png", "png:", 300, 200, TLook::Photo);
    Config.ImageMode = 2;
    Links({Pic("photo.png"), Pic("drawing.png"), Pic("photo.png"), Pic("other.png")});
    Midlet.BookText = &Text;
    Midlet.ConvertBookPictures();
    EXPECT_EQ(Text.Links[1].Target, u"I1.jpg");
    EXPECT_EQ(Text.Links[3].Target, u"I2.png");
    EXPECT_EQ(Text.Links[5].Target, u"I1.jpg"); // the same picture again
    EXPECT_EQ(Text.Links[7].Target, u"I3.jpg");
    // The loser of each pair is gone, and the winner really is the smaller.
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"1.jpg", "2.png", "3.jpg"}));
    for (const auto& link : Text.Links)
        EXPECT_NE(link.Kind == 'h', link.Target[0] == u'I');
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// How many times a log shows ImageMagick at work (not a conversion reused).
size_t Conversions(const std::string& log) {
    return Occurrences(log, "using ImageMagic") - Occurrences(log, "converted earlier");
}

TEST_F(PicturesTest, APictureShownManyTimesIsConvertedAndStoredOnce) {
    DrawPicture(Pics / "photo.jpg", "jpeg:", 640, 480, TLook::Photo);
    fs::create_symlink(Pics / "photo.jpg", Pics / "alias.jpg");
    struct {
        int Mode;
        std::u16string Extension;
        size_t Conversions; // ImageMagick runs for the whole book
    } const cases[] = {{1, u".jpg", 0}, {2, u".jpg", 4}, {3, u".png", 2}, {4, u".jpg", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mode);
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
        TBookMidlet midlet(Config); // one per book, as the driver makes it
        Config.ImageMode = c.Mode;
        SetLogThreshold(7);
        ::testing::internal::CaptureStdout();
        // Twenty references to one file (however it is spelled), one with a
        // rule of its own, then a second part of the book showing it again.
        std::vector<std::u16string> references(19, Pic("photo.jpg"));
        references.push_back(Pic("alias.jpg"));
        references.insert(references.begin() + 5, u"[-resize 40x40] " + Pic("photo.jpg"));
        Links(references);
        midlet.BookText = &Text;
        midlet.ConvertBookPictures();
        std::vector<std::u16string> targets;
        for (const auto& link : Text.Links)
            if (link.Kind == 'I') targets.push_back(link.Target);
        std::vector<std::u16string> expected(21, u"I1" + c.Extension);
        expected[5] = c.Mode == 1 ? expected[0] : u"I2" + c.Extension;
        EXPECT_EQ(targets, expected);
        const std::vector<std::string> first = OutFiles();
        EXPECT_EQ(first.size(), c.Mode == 1 ? 1u : 2u);

        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
        Links({Pic("photo.jpg"), Pic("photo.jpg")});
        midlet.ConvertBookPictures();
        EXPECT_EQ(Text.Links[1].Target, u"I1" + c.Extension);
        EXPECT_EQ(Text.Links[3].Target, u"I1" + c.Extension);
        EXPECT_EQ(OutFiles(), std::vector<std::string>{ToUtf8(u"1" + c.Extension)});
        const std::string log = ::testing::internal::GetCapturedStdout();
        SetLogThreshold(0);
        EXPECT_EQ(Conversions(log), c.Conversions) << log;
        EXPECT_EQ(ReadBack(Out(first[0])).Width, c.Mode == 1 ? 640u : 160u);
    }
}

TEST_F(PicturesTest, ModeTwoKeepsTheSmallerOfTheTwoConversions) {
    DrawPicture(Pics / "photo.png", "png:", 300, 200, TLook::Photo);
    DrawPicture(Pics / "drawing.png", "png:", 300, 200, TLook::Drawing);
    Config.ImageMode = 2;
    for (const char* name : {"photo.png", "drawing.png"}) {
        SCOPED_TRACE(name);
        Midlet.BookText = &Text;
        Config.ImageMode = 3;
        Links({Pic(name)});
        Midlet.ConvertBookPictures();
        const auto pngSize = fs::file_size(Out("1.png"));
        Config.ImageMode = 4;
        Links({Pic(name)});
        Midlet.ConvertBookPictures();
        const auto jpgSize = fs::file_size(Out("1.jpg"));
        Config.ImageMode = 2;
        Links({Pic(name)});
        Midlet.ConvertBookPictures();
        EXPECT_EQ(Text.Links[1].Target, pngSize <= jpgSize ? u"I1.png" : u"I1.jpg");
    }
}

// The link strings of cfg.dat, read after the fixed fields that precede them.
std::vector<std::u16string> CfgLinkStrings(const std::string& cfg, size_t count) {
    size_t at = 0;
    auto readInt = [&] {
        const auto* p = reinterpret_cast<const unsigned char*>(cfg.data() + at);
        at += 4;
        return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                                    (uint32_t{p[2]} << 8) | p[3]);
    };
    for (int i = 0; i < 5; ++i)
        readInt();
    const int schemes = readInt();
    for (int i = 0; i < 3 * schemes + 8; ++i)
        readInt();
    std::vector<std::u16string> links;
    for (size_t n = 0; n < count; ++n) {
        const int length = readInt();
        std::u16string text;
        for (int i = 0; i < length; ++i, at += 2)
            text += static_cast<char16_t>((static_cast<unsigned char>(cfg[at]) << 8) |
                                          static_cast<unsigned char>(cfg[at + 1]));
        links.push_back(text);
    }
    return links;
}

TEST_F(PicturesTest, CfgDatCarriesTheArchiveNamesOfPicturesAndPictureLinks) {
    DrawPicture(Pics / "photo.jpg", "jpeg:", 300, 200, TLook::Photo);
    DrawPicture(Pics / "drawing.png", "png:", 300, 200, TLook::Drawing);
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        Config.ImageMode = mode;
        Links({Pic("photo.jpg"), u"[-resize 30x30] " + Pic("drawing.png")});
        Text.Links.push_back({u"i" + Pic("photo.jpg"), 0, 0, 0, 5, 'i'});
        Text.FirstLinkId = 1;
        Text.LastLinkId = 5;
        Midlet.BookText = &Text;
        Midlet.ConvertBookPictures();
        Midlet.WriteSettings();
        const auto links = CfgLinkStrings(FileBytes(Out("cfg.dat")), 5);
        if (mode == 0)
            EXPECT_EQ(links,
                      (std::vector<std::u16string>{
                          u"hexample.org/page", u"I" + Pic("photo.jpg"), u"hexample.org/page",
                          u"I[-resize 30x30] " + Pic("drawing.png"), u"i" + Pic("photo.jpg")}));
        else
            EXPECT_EQ(links,
                      (std::vector<std::u16string>{u"hexample.org/page", u"I1.jpg",
                                                   u"hexample.org/page", u"I2.png", u"i1.jpg"}));
    }
    EXPECT_EQ(ReadBack(Out("1.jpg")).Format, "JPEG");
    EXPECT_EQ(ReadBack(Out("2.png")).Width, 30u);
}

TEST_F(PicturesTest, PictureLinksLeadToTheStoredPictureOfTheirFile) {
    DrawPicture(Pics / "photo.jpg", "jpeg:", 300, 200, TLook::Photo);
    DrawPicture(Pics / "drawing.png", "png:", 300, 200, TLook::Drawing);
    DrawPicture(Pics / "other.png", "png:", 300, 200, TLook::Drawing);
    fs::create_symlink(Pics / "photo.jpg", Pics / "alias.jpg");
    Config.SourceDir = FromPath(Pics) + u"/";
    // The inline pictures keep numbers 1 and 2 whatever the links say; a link
    // finds its file like a picture tag does (here relative to the source),
    // and a file reached by another spelling or through a symbolic link is
    // the same file.
    const std::vector<std::pair<char, std::u16string>> records = {
        {'i', u"other.png"}, // not stored inline: converted as number 3
        {'I', Pic("photo.jpg")},   {'I', u"[-resize 30x30] " + Pic("drawing.png")},
        {'i', u"drawing.png"},     // the second inline picture, with its own rule
        {'i', u"./alias.jpg"},     // the first inline picture
        {'i', Pic("./other.png")}, // the link that stored number 3
    };
    struct TCase {
        int Mode;
        std::vector<std::u16string> Targets;
        std::vector<std::string> Files;
    };
    const std::vector<TCase> cases = {
        {1,
         {u"i3.png", u"I1.jpg", u"I2.png", u"i2.png", u"i1.jpg", u"i3.png"},
         {"1.jpg", "2.png", "3.png"}},
        {2,
         {u"i3.png", u"I1.jpg", u"I2.png", u"i2.png", u"i1.jpg", u"i3.png"},
         {"1.jpg", "2.png", "3.png"}},
        {3,
         {u"i3.png", u"I1.png", u"I2.png", u"i2.png", u"i1.png", u"i3.png"},
         {"1.png", "2.png", "3.png"}},
        {4,
         {u"i3.jpg", u"I1.jpg", u"I2.jpg", u"i2.jpg", u"i1.jpg", u"i3.jpg"},
         {"1.jpg", "2.jpg", "3.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mode);
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
        Config.ImageMode = c.Mode;
        Text.Links.clear();
        for (const auto& [kind, target] : records)
            Text.Links.push_back({std::u16string(1, kind) + target, 0, 0, 0, 1, kind});
        Midlet.BookText = &Text;
        Midlet.ConvertBookPictures();
        std::vector<std::u16string> targets;
        for (const auto& link : Text.Links)
            targets.push_back(link.Target);
        EXPECT_EQ(targets, c.Targets);
        EXPECT_EQ(OutFiles(), c.Files);
        // The link's own picture is converted like an inline one without a rule.
        const fs::path third = Out(c.Files[2]);
        if (c.Mode == 1) {
            EXPECT_EQ(FileBytes(third), FileBytes(Pics / "other.png"));
        } else {
            EXPECT_EQ(ReadBack(third).Width, 160u);
            EXPECT_EQ(ReadBack(third).Format, c.Mode == 4 ? "JPEG" : "PNG");
        }
        EXPECT_EQ(ReadBack(Out(c.Files[1])).Width, c.Mode == 1 ? 300u : 30u); // mode 1 copies
    }
}

TEST_F(PicturesTest, APictureLinkToABadFileIsTreatedLikeAPictureTag) {
    WriteBytes(Pics / "notes.png", "plain text\n");
    Config.ImageMode = 3;
    Text.Links = {{u"i" + Pic("missing.png"), 0, 0, 0, 1, 'i'}};
    ExpectConversionFails("missing.png", {"File not found"});
    for (const int mode : {1, 2}) {
        Config.ImageMode = mode;
        Text.Links = {{u"i" + Pic("notes.png"), 0, 0, 0, 1, 'i'}};
        Midlet.BookText = &Text;
        const std::string log = CaptureLog([&] { Midlet.ConvertBookPictures(); });
        EXPECT_NE(log.find("? Picture " + ToUtf8(Pic("notes.png")) + " can't be read"),
                  std::string::npos)
            << log;
        EXPECT_EQ(Text.Links[0].Target, u"i");
        EXPECT_TRUE(OutFiles().empty());
    }
}

TEST_F(PicturesTest, ModeZeroAndUnknownModesLeaveTheRecordsAlone) {
    DrawPicture(Pics / "drawing.png", "png:", 40, 30, TLook::Drawing);
    for (int mode : {0, 5, -1}) {
        Config.ImageMode = mode;
        Links({u"[-write /tmp/x] " + Pic("drawing.png"), Pic("missing.png")});
        Text.Links.push_back({u"i" + Pic("missing.png"), 0, 0, 0, 3, 'i'});
        const auto before = Text.Links;
        Midlet.BookText = &Text;
        Midlet.ConvertBookPictures();
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(Text.Links[i].Target, before[i].Target);
        EXPECT_TRUE(OutFiles().empty());
    }
}

TEST_F(PicturesTest, LogLinesNameTheBranchTheRuleAndTheSize) {
    DrawPicture(Pics / "a.png", "png:", 40, 30, TLook::Drawing);
    DrawPicture(Pics / "b.jpg", "jpeg:", 40, 30, TLook::Photo);
    SetLogThreshold(7);
    Config.ImageMode = 3;
    const std::u16string rule = u" -resize  20x20> ";
    Links({u"[" + rule + u"]" + Pic("a.png")});
    Midlet.BookText = &Text;
    ::testing::internal::CaptureStdout();
    Midlet.ConvertBookPictures();
    Midlet.ConvertPicture(Pic("a.png"), u"2.png", u"noresize");
    Midlet.ConvertPicture(Pic("b.jpg"), u"3.png", u"noresize");
    const std::string log = ::testing::internal::GetCapturedStdout();
    SetLogThreshold(0);
    const std::string a = ToUtf8(Pic("a.png")), b = ToUtf8(Pic("b.jpg"));
    EXPECT_NE(log.find("  .. Analyzing link to picture I[ -resize  20x20> ]" + a + "\n"),
              std::string::npos)
        << log;
    // The tag's rule is trimmed when it is taken out of the brackets.
    EXPECT_NE(log.find(".. Writing picture file " + a +
                       " -> 1.png using ImageMagic, rule  2 [-resize  20x20>]\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(".. Writing picture file " + a +
                       " -> 2.png without resize and convert (as is), rule [noresize]\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(".. Writing picture file " + b +
                       " -> 3.png without resize (format conversion), rule [noresize]\n"),
              std::string::npos)
        << log;
    const std::string size2 = std::to_string(fs::file_size(Out("2.png")));
    EXPECT_NE(
        log.find("+ Picture file saved " + Out("2.png").string() + " (" + size2 + " bytes)\n"),
        std::string::npos)
        << log;
}

TEST_F(PicturesTest, LowerCasedTagNamesFindTheFileWhateverItsCase) {
    fs::create_directories(Pics / "Book Art");
    DrawPicture(Pics / "Book Art" / "Cover.PNG", "png:", 40, 30, TLook::Drawing);
    Config.ImageMode = 1;
    Links({LowerCase(Pic("Book Art/Cover.PNG"))});
    Config.SourceDir = FromPath(Pics) + u"/";
    Text.Links.push_back({u"Ibook art/cover.png", 0, 0, 0, 3, 'I'}); // relative to SourceDir
    Midlet.BookText = &Text;
    Midlet.ConvertBookPictures();
    // Both spellings find the one file, which is stored once.
    EXPECT_EQ(Text.Links[1].Target, u"I1.png");
    EXPECT_EQ(Text.Links[2].Target, u"I1.png");
    EXPECT_EQ(FileBytes(Out("1.png")), FileBytes(Pics / "Book Art" / "Cover.PNG"));
}

TEST_F(PicturesTest, PercentSignsInFolderNamesAreNotSceneNumbers) {
    fs::create_directories(Root / "t%d");
    Config.Temp1Dir = FromPath(Root / "t%d");
    fs::create_directories(Pics / "50%");
    // Drawn under a plain name: the drawing goes through ImageMagick's names too.
    DrawPicture(Pics / "50%" / "a.png", "png:", 40, 30, TLook::Drawing);
    fs::rename(Pics / "50%" / "a.png", Pics / "50%" / "a%03d.png");
    Config.ImageMode = 4;
    Links({Pic("50%/a%03d.png")});
    Midlet.BookText = &Text;
    Midlet.ConvertBookPictures();
    EXPECT_EQ(ReadBack(Root / "t%d" / "1.jpg").Format, "JPEG");
}

// ----- hostile and broken input -----

struct TBadCase {
    const char* Title;
    int Mode;
    std::string Source; // file in pics/, written by the test
    std::u16string Rule;
    std::vector<std::string> Expected; // parts of the message
};

TEST_F(PicturesTest, UnreadablePicturesAreLeftOutAndBadRulesEndTheMidlet) {
    DrawPicture(Pics / "good.png", "png:", 300, 200, TLook::Photo);
    const std::string good = FileBytes(Pics / "good.png");
    WriteBytes(Pics / "truncated.png", good.substr(0, good.size() / 2));
    WriteBytes(Pics / "bomb.png", PngBomb());
    WriteBytes(Pics / "notes.png", "just some text\nthat claims to be a picture\n");
    WriteBytes(Pics / "empty.png", "");
    fs::create_symlink("/etc/passwd", Pics / "passwd.jpg");
    fs::create_directories(Pics / "folder.png");
    const std::string outside = (Root / "written-outside.png").string();
    const std::u16string outside16 = FromPath(Root / "written-outside.png");

    // A picture that is there but cannot be read is left out, said in one
    // line naming it; the record then names no picture.
    const std::vector<TBadCase> unreadable = {
        {"truncated PNG", 3, "truncated.png", u"", {"damaged"}},
        {"image bomb", 2, "bomb.png", u"", {"too large: 30000x30000 pixels"}},
        {"text file", 4, "notes.png", u"", {"not a PNG, JPEG, GIF or BMP picture"}},
        {"empty file", 3, "empty.png", u"", {"not a PNG, JPEG, GIF or BMP picture"}},
        {"system file", 2, "passwd.jpg", u"", {"not a PNG, JPEG, GIF or BMP picture"}},
        {"text file, copied as it is", 1, "notes.png", u"", {"not a PNG, JPEG, GIF or BMP"}},
        {"enlarging past the limits", 3, "good.png", u"-resize 20000x20000", {"Can't convert"}},
    };
    for (const auto& c : unreadable) {
        SCOPED_TRACE(c.Title);
        Config.ImageMode = c.Mode;
        Links({(c.Rule.empty() ? u"" : u"[" + c.Rule + u"] ") + Pic(c.Source), Pic("good.png")});
        Midlet.BookText = &Text;
        const std::string log = CaptureLog([&] { Midlet.ConvertBookPictures(); });
        const std::string line =
            "? Picture " + ToUtf8(Pic(c.Source)) + " can't be read and is left out: ";
        EXPECT_NE(log.find(line), std::string::npos) << log;
        for (const auto& part : c.Expected)
            EXPECT_NE(log.find(part), std::string::npos) << log;
        // The next picture takes the number; nothing of the failed one stays.
        EXPECT_EQ(Text.Links[1].Target, u"I");
        EXPECT_TRUE(Text.Links[3].Target == u"I1.png" || Text.Links[3].Target == u"I1.jpg")
            << ToUtf8(Text.Links[3].Target);
        EXPECT_EQ(OutFiles().size(), 1u);
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
    }

    // Pictures that do not exist, and rules the converter refuses, are the
    // tags' faults and end the midlet.
    const std::vector<TBadCase> cases = {
        {"missing", 3, "missing.png", u"", {"Can't convert picture file ", "File not found"}},
        {"folder", 3, "folder.png", u"", {"not a plain file"}},
        {"-write", 3, "good.png", u"-resize 10x10 -write " + outside16, {"-write is not allowed"}},
        {"@file", 3, "good.png", u"@/etc/passwd", {"@/etc/passwd is not allowed"}},
        {"@file as a value",
         4,
         "good.png",
         u"-resize @/etc/passwd",
         {"-resize does not allow the value @/etc/passwd"}},
        {"percent escape", 3, "good.png", u"-resize %h", {"does not allow the value"}},
        {"path as a value",
         3,
         "good.png",
         u"-background /etc/passwd",
         {"does not allow the value"}},
        {"missing value", 3, "good.png", u"-depth 8 -resize", {"-resize needs a value"}},
        {"quality out of range", 4, "good.png", u"-quality 1000", {"does not allow the value"}},
        {"eleven options",
         3,
         "good.png",
         u"-strip -strip -strip -strip -strip -strip -strip "
         u"-strip -strip -strip -strip",
         {"11 options, more than the ten"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        for (const auto& entry : fs::directory_iterator(Root / "temp1"))
            fs::remove(entry);
        Config.ImageMode = c.Mode;
        Links({(c.Rule.empty() ? u"" : u"[" + c.Rule + u"] ") + Pic(c.Source)});
        ExpectConversionFails(c.Source, c.Expected);
        // Nothing half-written stays behind, and nothing is written outside.
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_FALSE(fs::exists(outside));
    }
}

TEST_F(PicturesTest, ModeOneNeverCopiesWhatIsNotAPicture) {
    WriteBytes(Pics / "notes.png", "plain text\n");
    fs::create_symlink("/etc/passwd", Pics / "passwd.jpg");
    Config.ImageMode = 1;
    for (const char* name : {"notes.png", "passwd.jpg"}) {
        SCOPED_TRACE(name);
        Links({Pic(name)});
        Midlet.BookText = &Text;
        const std::string log = CaptureLog([&] { Midlet.ConvertBookPictures(); });
        EXPECT_NE(log.find("? Picture " + ToUtf8(Pic(name)) + " can't be read and is left out"),
                  std::string::npos)
            << log;
        EXPECT_TRUE(OutFiles().empty());
    }
    // A picture that is not there at all fails the midlet, as the tag names it.
    Links({Pic("missing.gif")});
    try {
        Midlet.ConvertBookPictures();
        ADD_FAILURE() << "no error";
    } catch (const TBookError& error) {
        EXPECT_EQ(std::string(error.what()), "! Can't save picture file " +
                                                 ToUtf8(Pic("missing.gif")) + " -> " +
                                                 ToUtf8(Config.Temp1Dir) + "/1.jpg");
    }
    EXPECT_TRUE(OutFiles().empty());
}

TEST(PictureConverter, ResourceLimitsStopABombWhoseHeaderIsNotChecked) {
    const fs::path dir = fs::temp_directory_path() / ("paginor_bomb_" + std::to_string(getpid()));
    fs::create_directories(dir);
    WriteBytes(dir / "bomb.png", PngBomb());
    TPictureConverter converter;
    // Claims a harmless size, so only ImageMagick's own limits stand in the way.
    const TPictureInfo lie{TPictureFormat::Png, 100, 100};
    EXPECT_THROW(converter.Convert(dir / "bomb.png", lie, {}, dir / "out.png", TPictureFormat::Png),
                 TBookError);
    EXPECT_FALSE(fs::exists(dir / "out.png"));
    fs::remove_all(dir);
}

TEST(PictureConverter, InspectReadsTheSizeFromEachHeader) {
    const fs::path dir =
        fs::temp_directory_path() / ("paginor_inspect_" + std::to_string(getpid()));
    fs::create_directories(dir);
    {
        TPictureConverter library;
        DrawPicture(dir / "a.png", "png:", 31, 17, TLook::Drawing);
        DrawPicture(dir / "a.jpg", "jpeg:", 33, 19, TLook::Photo);
        DrawPicture(dir / "a.gif", "gif:", 35, 21, TLook::Drawing);
        DrawPicture(dir / "a.bmp", "bmp:", 37, 23, TLook::Drawing);
    }
    struct {
        const char* Name;
        TPictureFormat Format;
        uint32_t Width, Height;
    } const cases[] = {{"a.png", TPictureFormat::Png, 31, 17},
                       {"a.jpg", TPictureFormat::Jpeg, 33, 19},
                       {"a.gif", TPictureFormat::Gif, 35, 21},
                       {"a.bmp", TPictureFormat::Bmp, 37, 23}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPictureInfo info = TPictureConverter::Inspect(dir / c.Name);
        EXPECT_EQ(info.Format, c.Format);
        EXPECT_EQ(info.Width, c.Width);
        EXPECT_EQ(info.Height, c.Height);
    }
    fs::remove_all(dir);
}

TEST(PictureConverter, AllowListTakesTheUsualRulesAndNothingElse) {
    auto split = [](const std::string& rule) {
        std::vector<std::string> options;
        std::istringstream in(rule);
        for (std::string option; in >> option;)
            options.push_back(option);
        return options;
    };
    for (const char* rule :
         {"-resize 160x128> -depth 8", "-resize 160x128> -quality 100 -depth 8",
          "-thumbnail 64x64^ -gravity Center -extent 64x64", "-scale 50% -colors 16 +dither",
          "-resize 120x120! -type Grayscale -strip", "-background #ff00ff -rotate 90",
          "-resize 100x100 -colorspace gray -normalize"})
        EXPECT_NO_THROW(TPictureConverter::CheckOptions(split(rule))) << rule;
    for (const char* rule :
         {"-write x.png", "-read x.png", "-fx u*2", "-draw circle", "-annotate 0 %[exif:*]",
          "-define png:x=y", "-resize", "-depth x", "-gravity up", "-colors 1", "x.png", "+write x",
          "-script x", "-resize 10x10 -set filename:x y"})
        EXPECT_THROW(TPictureConverter::CheckOptions(split(rule)), TBookError) << rule;
}

// ----- phone PNGs (configured pictures, covers) -----

TEST_F(PicturesTest, PhonePngKeepsAFittingPngAndConvertsEverythingElse) {
    DrawPicture(Pics / "drawing.png", "png:", 400, 300, TLook::Drawing);
    DrawPicture(Pics / "photo.jpg", "jpeg:", 640, 480, TLook::Photo);
    DrawPicture(Pics / "anim.gif", "gif:", 120, 90, TLook::Drawing);
    DrawPicture(Pics / "icon.bmp", "bmp:", 37, 23, TLook::Drawing);
    struct {
        const char* Source;
        std::optional<TPictureBox> Box;
        bool Copied;
        size_t Width, Height;
    } const cases[] = {
        {"drawing.png", std::nullopt, true, 400, 300},
        {"drawing.png", TPictureBox{400, 300}, true, 400, 300},
        {"drawing.png", TPictureBox{160, 160}, false, 160, 120},
        {"drawing.png", TPictureBox{600, 150}, false, 200, 150},
        {"photo.jpg", std::nullopt, false, 640, 480},
        {"photo.jpg", TPictureBox{1000, 1000}, false, 640, 480}, // never enlarged
        {"anim.gif", TPictureBox{60, 60}, false, 60, 45},
        {"icon.bmp", std::nullopt, false, 37, 23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Source) + (c.Box ? " in a box" : ""));
        fs::remove(Out("out.png"));
        EXPECT_EQ(TPictureConverter::MakePhonePng(Pics / c.Source, Out("out.png"), c.Box),
                  c.Copied);
        const TReadBack back = ReadBack(Out("out.png"));
        EXPECT_EQ(back.Format, "PNG");
        EXPECT_EQ(back.Width, c.Width);
        EXPECT_EQ(back.Height, c.Height);
        EXPECT_EQ(FileBytes(Out("out.png")) == FileBytes(Pics / c.Source), c.Copied);
    }
}

// The colour type a PNG's header names (3: palette).
int PngColourType(const fs::path& path) {
    const std::string bytes = FileBytes(path);
    return bytes.size() > 25 ? static_cast<unsigned char>(bytes[25]) : -1;
}

TEST_F(PicturesTest, SmallestPngTakesAFaithfulPaletteOnlyWhenItIsSmaller) {
    DrawPicture(Pics / "photo.png", "png:", 176, 208, TLook::Photo);
    DrawPicture(Pics / "drawing.png", "png:", 176, 208, TLook::Drawing);
    {
        // The photo with transparency: a palette would lose it.
        paginor::testing::TWand wand(NewMagickWand());
        ASSERT_TRUE(MagickReadImage(wand.get(), ("png:" + (Pics / "photo.png").string()).c_str()));
        ASSERT_TRUE(MagickSetImageAlphaChannel(wand.get(), SetAlphaChannel));
        ASSERT_TRUE(MagickWriteImage(wand.get(), ("png:" + (Pics / "clear.png").string()).c_str()));
    }
    const struct {
        const char* Source;
        bool Palette;
    } cases[] = {
        {"photo.png", true},    // thousands of colours
        {"drawing.png", false}, // four colours: nothing to gain
        {"clear.png", false},   // transparency kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Source);
        fs::copy_file(Pics / c.Source, Out("out.png"), fs::copy_options::overwrite_existing);
        const std::string before = FileBytes(Out("out.png"));
        const int64_t saved = TPictureConverter::MakeSmallestPng(Out("out.png"));
        const std::string after = FileBytes(Out("out.png"));
        EXPECT_EQ(saved, static_cast<int64_t>(before.size() - after.size()));
        EXPECT_EQ(saved > 0, c.Palette);
        if (c.Palette) {
            EXPECT_EQ(PngColourType(Out("out.png")), 3);
        }
        const TReadBack back = ReadBack(Out("out.png"));
        EXPECT_EQ(back.Format, "PNG");
        EXPECT_EQ(back.Width, 176u);
        EXPECT_EQ(back.Height, 208u);
        if (!c.Palette) {
            EXPECT_EQ(after, before);
        }
    }
    WriteBytes(Out("bad.png"), "not a picture");
    EXPECT_THROW(TPictureConverter::MakeSmallestPng(Out("bad.png")), TBookError);

    // A photograph's cover becomes a palette PNG within the smallest screen.
    DrawPicture(Pics / "cover.jpg", "jpeg:", 600, 800, TLook::Photo);
    const TBookObject log;
    ASSERT_TRUE(MakeCoverPicture(log, (Pics / "cover.jpg").string(), Out("splash.png").string(),
                                 "cover.jpg"));
    EXPECT_EQ(PngColourType(Out("splash.png")), 3);
    EXPECT_EQ(ReadBack(Out("splash.png")).Height, kSmallestScreen.Height);
}

TEST_F(PicturesTest, PhonePngRefusesWhatIsNotAPictureNamingTheFile) {
    WriteBytes(Pics / "notes.png", "plain text\n");
    fs::create_symlink("/etc/passwd", Pics / "passwd.png");
    fs::create_directories(Pics / "folder.png");
    const std::pair<const char*, const char*> cases[] = {
        {"notes.png", "not a PNG, JPEG, GIF or BMP picture"},
        {"passwd.png", "not a PNG, JPEG, GIF or BMP picture"},
        {"folder.png", "not a PNG, JPEG, GIF or BMP picture (not a plain file)"},
        {"missing.png", "File not found"},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        try {
            TPictureConverter::MakePhonePng(Pics / name, Out("out.png"));
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()), "Can't convert picture file " +
                                                     (Pics / name).string() + " -> " +
                                                     Out("out.png").string() + ": " + reason);
        }
        EXPECT_TRUE(OutFiles().empty());
    }
}

TEST_F(PicturesTest, EachConfiguredPictureIsCheckedAndMadeAPng) {
    DrawPicture(Pics / "drawing.png", "png:", 40, 30, TLook::Drawing);
    DrawPicture(Pics / "photo.jpg", "jpeg:", 48, 36, TLook::Photo);
    WriteBytes(Pics / "notes.png", "plain text\n");
    fs::create_symlink("/etc/passwd", Pics / "passwd");
    struct {
        std::u16string TBookConfig::*Option;
        const char* File;
        const char* Failure;
    } const keys[] = {
        {&TBookConfig::IconFileName, "logo.png", "Can' save MIDlet icon file (0) "},
        {&TBookConfig::SplashFileName, "splash.png", "Can't save splash screen picture file (0) "},
        {&TBookConfig::BackgroundFileName, "background.png",
         "Can't save background picture file (0) "},
        {&TBookConfig::LinkLFileName, "linkl.png", "Can't save pointer picture file #1 (0) "},
        {&TBookConfig::LinkPFileName, "linkp.png", "Can't save pointer picture file #2 (0) "},
    };
    for (const auto& key : keys) {
        SCOPED_TRACE(key.File);
        for (const char* bad : {"notes.png", "passwd"}) {
            for (const auto& entry : fs::directory_iterator(Root / "temp1"))
                fs::remove(entry);
            Config = TBookConfig();
            Config.Temp1Dir = FromPath(Root / "temp1");
            Config.*key.Option = Pic(bad);
            try {
                Midlet.WritePictures();
                ADD_FAILURE() << "no error for " << bad;
            } catch (const TBookError& error) {
                EXPECT_EQ(std::string(error.what()), "! " + std::string(key.Failure) +
                                                         ToUtf8(Pic(bad)) + " -> " +
                                                         Out(key.File).string());
            }
            EXPECT_FALSE(fs::exists(Out(key.File)));
        }
        Config.*key.Option = Pic("photo.jpg");
        Midlet.WritePictures();
        EXPECT_EQ(ReadBack(Out(key.File)).Format, "PNG");
        EXPECT_EQ(ReadBack(Out(key.File)).Width, 48u);
        Config.*key.Option = Pic("drawing.png");
        Midlet.WritePictures();
        EXPECT_EQ(FileBytes(Out(key.File)), FileBytes(Pics / "drawing.png"));
    }
}

TEST(PictureConverter, PicturesWithinTheDocumentedLimitsConvert) {
    const test::TTempFolder folder;
    // 30 million pixels of one bit, under the 40 million the converter takes.
    WriteBytes(folder.Path / "scan.png", BilevelPng(6000, 5000));
    TPictureConverter converter;
    const TPictureInfo info = TPictureConverter::Inspect(folder.Path / "scan.png");
    converter.Convert(folder.Path / "scan.png", info, {"-resize", "160x128>", "-depth", "8"},
                      folder.Path / "out.png", TPictureFormat::Png);
    const TPictureInfo written = TPictureConverter::Inspect(folder.Path / "out.png");
    EXPECT_EQ(written.Width, 154u);
    EXPECT_EQ(written.Height, 128u);
}

TEST(PictureConverter, ResourceLimitsAndTheTimeLimitAreReportedAsSuch) {
    const test::TTempFolder folder;
    WriteBytes(folder.Path / "scan.png", BilevelPng(6000, 5000));
    const TPictureInfo scan = TPictureConverter::Inspect(folder.Path / "scan.png");
    struct {
        const char* Title;
        std::optional<MagickSizeType> DiskLimit; // none: as the converter sets it
        std::chrono::milliseconds TimeLimit;
        std::string Expected;
    } const cases[] = {
        // No temporary disk: 300 MB of pixels cannot be held at all.
        {"refused before decoding", 0, TPictureConverter::kTimeLimit,
         "the picture needs 287 MiB for its pixels, more than the converter may use (256 MiB of "
         "memory and 0 MiB of temporary disk)"},
        // Room on paper, but the disk cache runs out while the picture is read.
        {"out of room while decoding", 40ull << 20, TPictureConverter::kTimeLimit,
         "the converter ran out of room for the picture's pixels (287 MiB; it may use 256 MiB of "
         "memory and 40 MiB of temporary disk)"},
        {"time limit", std::nullopt, std::chrono::milliseconds(0),
         "the conversion took longer than its time limit of 0 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        TPictureConverter converter(c.TimeLimit);
        if (c.DiskLimit) SetMagickResourceLimit(DiskResource, *c.DiskLimit);
        try {
            converter.Convert(folder.Path / "scan.png", scan, {"-resize", "160x128>"},
                              folder.Path / "out.png", TPictureFormat::Png);
            ADD_FAILURE() << "no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()), c.Expected);
        }
        EXPECT_FALSE(fs::exists(folder.Path / "out.png"));
    }
}

} // namespace
