// The options record: constructor and reader defaults, the configuration
// reader's lookup rules and value syntax, and the example writer.
#include "config/bConfig.h"
#include "core/bVar.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

using namespace paginor;
using paginor::testing::ReadBytes;
using paginor::testing::TTempDir;
using paginor::testing::Utf16Bytes;
using paginor::testing::WriteBytes;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void TearDown() override { SetLogThreshold(0); }

    // A fresh record filled from a file holding the bytes.
    TBookConfig Read(const std::string& bytes) {
        const auto path = Dir / "book.cfg";
        WriteBytes(path, bytes);
        SetLogThreshold(0); // as at program start: the load itself is not logged
        TBookConfig config;
        config.ReadConfig(FromPath(path));
        return config;
    }

    TTempDir Dir;
};

// Every keyed field except the reader texts, as one comparable text.
std::string KeyedFields(const TBookConfig& c) {
    std::u16string s;
    auto add = [&](std::u16string_view name, const std::u16string& value) {
        s += std::u16string(name) + u"=" + value + u"\n";
    };
    auto num = [&](std::u16string_view name, long long value) { add(name, IntToStr(value)); };
    add(u"BookName", c.BookName);
    add(u"BookInfo", c.BookInfo);
    add(u"MidletVersion", c.MidletVersion);
    add(u"MidletVendor", c.MidletVendor);
    add(u"MidletInfoUrl", c.MidletInfoUrl);
    add(u"MidletDescription", c.MidletDescription);
    for (const auto& data : c.CustomMidletData)
        add(u"CustomMidletData", data);
    add(u"TextFileName", c.TextFileName);
    add(u"OutputDir", c.OutputDir);
    add(u"SplashFileName", c.SplashFileName);
    add(u"IconFileName", c.IconFileName);
    add(u"LinkLFileName", c.LinkLFileName);
    add(u"LinkPFileName", c.LinkPFileName);
    add(u"BackgroundFileName", c.BackgroundFileName);
    num(u"TextPartSize", c.TextPartSize);
    num(u"TextPartCount", c.TextPartCount);
    add(u"TextPartHead", c.TextPartHead);
    add(u"TextPartTail", c.TextPartTail);
    add(u"TextPartLink", c.TextPartLink);
    add(u"TextHead", c.TextHead);
    add(u"TextTail", c.TextTail);
    num(u"FormatEn", c.FormatEn);
    num(u"TagsEn", c.TagsEn);
    num(u"LineSpacing", c.LineSpacing);
    num(u"CharSpacing", c.CharSpacing);
    num(u"WordWrap", c.WordWrap);
    num(u"PortraitLayout", c.PortraitLayout);
    num(u"SplashTimeout", c.SplashTimeout);
    num(u"TextMargin", c.TextMargin);
    num(u"SmoothScroll", c.SmoothScroll);
    for (int n = 0; n < kColorMaps; ++n) {
        num(u"BackColor", c.BackColor[n]);
        num(u"FontColor", c.FontColor[n]);
        num(u"LinkColor", c.LinkColor[n]);
    }
    for (const auto& font : c.Fonts) {
        if (!font) {
            add(u"Font", u"none");
            continue;
        }
        add(u"Font", font->Name);
        num(u"FontSize", font->Size);
        num(u"Bold", font->Bold);
        num(u"Italic", font->Italic);
    }
    num(u"ImageMode", c.ImageMode);
    num(u"ImageMargin", c.ImageMargin);
    add(u"ImagePngOptions", c.ImagePngOptions);
    add(u"ImageJpgOptions", c.ImageJpgOptions);
    num(u"PasswordMode", c.PasswordMode);
    num(u"Password", c.Password);
    num(u"DebugLevel", c.DebugLevel);
    num(u"JarCompression", c.JarCompression);
    return ToUtf8(s);
}

TEST(ConfigModel, ConstructorDefaults) {
    const TBookConfig c;
    EXPECT_EQ(c.DebugLevel, 6);
    EXPECT_EQ(c.ImageMode, 1);
    EXPECT_EQ(c.BackColor[0], 0xffffff);
    EXPECT_EQ(c.LinkColor[0], 0xff);
    EXPECT_EQ(c.BackColor[1], 0);
    EXPECT_EQ(c.MidletVersion, u"5.0.8");
    EXPECT_EQ(c.MidletVendor, u"Orvantis");
    EXPECT_EQ(c.MidletInfoUrl, u"orvantis.example");
    EXPECT_EQ(c.MidletDescription, u"test book");
    EXPECT_EQ(c.ImagePngOptions, u"-resize 160x128> -depth 8");
    EXPECT_EQ(c.ImageJpgOptions, u"-resize 160x128> -quality 100 -depth 8");
    EXPECT_EQ(c.FontCount(), 0);
    EXPECT_TRUE(c.BookName.empty() && c.BookInfo.empty() && c.OutputDir.empty());
    EXPECT_FALSE(c.TagsEn || c.WordWrap || c.PortraitLayout || c.TagsForced);
    EXPECT_EQ(c.MidletTexts.size(), 2000u);
}

// A file without any option gives the reader's defaults, whatever else it
// holds: comments only, nothing at all, or binary bytes.
TEST_F(ConfigTest, FilesWithoutOptionsGiveTheReaderDefaults) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) >> 3);
    const std::pair<const char*, std::string> inputs[] = {
        {"comments", "# BookName=x\r\n#\r\n# TagsEn=false\r\n"},
        {"empty", ""},
        {"binary", binary},
        {"UTF-16 comments", Utf16Bytes(u"#comment\r\n#BookName=y\r\n", false)},
    };
    for (const auto& [name, bytes] : inputs) {
        const TBookConfig c = Read(bytes);
        SCOPED_TRACE(name);
        EXPECT_EQ(c.BookName, u"TestBook");
        EXPECT_EQ(c.BookInfo, Widen(kDefaultBookInfo));
        EXPECT_EQ(c.TextFileName, u"text.txt");
        EXPECT_EQ(c.OutputDir, u".");
        EXPECT_EQ(c.MidletVersion, u"1.0");
        EXPECT_EQ(c.MidletVendor, u"Orvantis");
        EXPECT_EQ(c.MidletInfoUrl, u"http://orvantis.example");
        EXPECT_EQ(c.MidletDescription, u"Lectoria");
        EXPECT_TRUE(c.TagsEn && c.WordWrap && c.PortraitLayout);
        EXPECT_FALSE(c.FormatEn);
        EXPECT_EQ(c.SplashTimeout, 2);
        EXPECT_EQ(c.TextMargin, 3);
        EXPECT_EQ(c.SmoothScroll, 20);
        EXPECT_EQ(c.ImageMode, 2);
        EXPECT_EQ(c.DebugLevel, 6);
        EXPECT_EQ(LogThreshold(), 6);
        EXPECT_EQ(c.BackColor[0], 0xffffff);
        EXPECT_EQ(c.LinkColor[0], 0xff);
        EXPECT_EQ(c.BackColor[7], 0);
        EXPECT_EQ(c.ImagePngOptions, u"-resize 160x128> -depth 8");
        EXPECT_EQ(c.FontCount(), 0);
        for (const auto& text : c.MidletTexts)
            ASSERT_TRUE(text.empty());
    }
}

struct TReadCase {
    const char* Name;
    std::string Bytes;
    std::function<void(const TBookConfig&)> Check;
};

TEST_F(ConfigTest, LookupRules) {
    const TReadCase cases[] = {
        {"no line end", "BookName=x", [](auto& c) { EXPECT_EQ(c.BookName, u"x"); }},
        {"first line ignores case", "bookname=x\r\n", [](auto& c) { EXPECT_EQ(c.BookName, u"x"); }},
        {"later lines keep case", "#\r\nbookname=x\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"TestBook"); }},
        {"line after an empty first line", "\r\nBookName=x",
         [](auto& c) { EXPECT_EQ(c.BookName, u"x"); }},
        {"blank before =", "BookName = x\r\n", [](auto& c) { EXPECT_EQ(c.BookName, u"TestBook"); }},
        {"blank before the key", "#\r\n BookName=x\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"TestBook"); }},
        {"value trimmed", "#\r\nBookName=  x y\t \r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"x y"); }},
        {"first occurrence wins", "#\r\nBookName=a\r\nBookName=b\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"a"); }},
        {"first line wins over an exact later line", "BOOKNAME=a\r\nBookName=b\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"a"); }},
        {"commented option", "#BookName=x\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"TestBook"); }},
        {"hash inside a value", "#\r\nBookName=a # b\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"a # b"); }},
        {"empty string value", "#\r\nBookName=\r\nSplashTimeout=\r\n",
         [](auto& c) {
             EXPECT_EQ(c.BookName, u"");
             EXPECT_EQ(c.SplashTimeout, 2);
         }},
        {"LF-only file", "BookName=x\nTextFileName=y\n",
         [](auto& c) {
             EXPECT_EQ(c.BookName, u"x");
             EXPECT_EQ(c.TextFileName, u"y");
         }},
        {"lone CR ends a line", "#\r\nBookName=a\rTextFileName=b\r\n",
         [](auto& c) {
             EXPECT_EQ(c.BookName, u"a");
             EXPECT_EQ(c.TextFileName, u"b");
         }},
        {"LF CR is two line ends", "#\n\rBookName=a\n\r",
         [](auto& c) { EXPECT_EQ(c.BookName, u"a"); }},
        {"key that only starts like another", "#\r\nBookNameX=a\r\nTextFileNameBook=b\r\n",
         [](auto& c) {
             EXPECT_EQ(c.BookName, u"TestBook");
             EXPECT_EQ(c.TextFileName, u"text.txt");
         }},
        {"last and first-past-last reader text", "#\r\n1999=abc\r\n2000=def\r\n0=zero\r\n",
         [](auto& c) {
             EXPECT_EQ(c.MidletTexts[1999], u"abc");
             EXPECT_EQ(c.MidletTexts[0], u"zero");
             EXPECT_EQ(c.MidletTexts[200], u"");
         }},
        {"text key with a leading zero is not a text key", "#\r\n01=x\r\n",
         [](auto& c) { EXPECT_EQ(c.MidletTexts[1], u""); }},
        {"UTF-16LE file",
         Utf16Bytes(u"BookName=\u041A\u043D\u0438\u0433\u0430\r\nTagsEn=false", false),
         [](auto& c) {
             EXPECT_EQ(c.BookName, u"\u041A\u043D\u0438\u0433\u0430");
             EXPECT_FALSE(c.TagsEn);
         }},
        {"UTF-16BE file", Utf16Bytes(u"#\r\nOutputDir=out\r\n", true),
         [](auto& c) { EXPECT_EQ(c.OutputDir, u"out"); }},
        {"UTF-8 file with mark",
         "\xEF\xBB\xBF"
         "BookName=\xC3\xA9t\xC3\xA9\r\n",
         [](auto& c) { EXPECT_EQ(c.BookName, u"\u00E9t\u00E9"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Check(Read(c.Bytes));
    }
}

// A configuration whose lines end in LF, in CR, or in a mix of the three
// line ends reads exactly like its CR LF twin.
TEST_F(ConfigTest, EveryLineEndReadsLikeCrLf) {
    const std::vector<std::string> lines = {"bookname=Lighthouse",
                                            "# a comment with = in it",
                                            "",
                                            "TextFileName=  books/tide clock.txt  ",
                                            "OutputDir=out",
                                            "BookName=not the first line",
                                            "TagsEn=false",
                                            "WordWrap=TRUE",
                                            "FontName2=Mono",
                                            "FontSize2=$10",
                                            "BackColor2=$123456",
                                            "TextMargin=-7",
                                            "DebugLevel=3",
                                            "1999=last text",
                                            "0=first text",
                                            "OutputDir=second",
                                            "BookInfo=a # b"};
    auto joined = [&](std::vector<std::string> ends) {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i)
            text += lines[i] + ends[i % ends.size()];
        return text;
    };
    const TBookConfig twin = Read(joined({"\r\n"}));
    // The twin itself reads every line, so a reader that lost lines differs.
    EXPECT_EQ(twin.BookName, u"Lighthouse");
    EXPECT_EQ(twin.TextFileName, u"books/tide clock.txt");
    EXPECT_EQ(twin.OutputDir, u"out");
    EXPECT_EQ(twin.BookInfo, u"a # b");
    ASSERT_TRUE(twin.Fonts[1]);
    EXPECT_EQ(twin.Fonts[1]->Size, 16);
    EXPECT_EQ(twin.BackColor[1], 0x123456);
    EXPECT_EQ(twin.TextMargin, -7);
    EXPECT_EQ(twin.DebugLevel, 3);
    EXPECT_FALSE(twin.TagsEn);
    EXPECT_EQ(twin.MidletTexts[1999], u"last text");

    const std::pair<const char*, std::string> variants[] = {
        {"LF", joined({"\n"})},
        {"CR", joined({"\r"})},
        {"mixed", joined({"\n", "\r\n", "\r"})},
        {"LF without the last line end", joined({"\n"}).substr(0, joined({"\n"}).size() - 1)},
        {"UTF-16 with LF", Utf16Bytes(FromUtf8(joined({"\n"})), false)},
    };
    for (const auto& [name, bytes] : variants) {
        SCOPED_TRACE(name);
        const TBookConfig c = Read(bytes);
        EXPECT_EQ(KeyedFields(c), KeyedFields(twin));
        EXPECT_EQ(c.MidletTexts, twin.MidletTexts);
    }
}

// A key that is no option and an integer or Boolean value that does not
// parse each give one level-6 line; the values read are those the rules give.
TEST_F(ConfigTest, MistypedKeysAndValuesAreTold) {
    struct TCase {
        const char* Lines;
        std::vector<std::string> Told;
    };
    const TCase cases[] = {
        {"# a comment\r\nTextFilename=a.txt",
         {"? Unknown option TextFilename ignored; did you mean TextFileName?"}},
        {"# first\r\nbookname=x\r\nBookName =y\r\nFont.Bold4=true\r\nSplashTimeOut=3",
         {"? Unknown option bookname ignored; did you mean BookName?",
          "? Option BookName ignored: blanks stand around its key; write BookName=value at the "
          "start of the line",
          "? Unknown option Font.Bold4 ignored; did you mean Font.Bold1?",
          "? Unknown option SplashTimeOut ignored; did you mean SplashTimeout?"}},
        {"2000=a\r\n0012=b\r\n00=c\r\n0=d",
         {"? Unknown option 2000 ignored; did you mean 1999?",
          "? Unknown option 0012 ignored; did you mean 12?",
          "? Unknown option 00 ignored; did you mean 0?"}},
        {"ImageMargins=1\r\nImageMargins=2",
         {"? Unknown option ImageMargins ignored; did you mean ImageMargin?"}},
        {"SplashTimeout=t\x1bwo\r\nBackColor1=#ffffff\r\nPassword=1234567890123",
         {"? Option Password value 1234567890123 is not a number; the default 0 is kept",
          "? Option SplashTimeout value t?wo is not a number; the default 2 is kept",
          "? Option BackColor1 value #ffffff is not a number; the default $ffffff is kept"}},
        // Shell habits: quotes around a name, blanks around the "=".
        {"TextFileName=\"my book.txt\"\r\n OutputDir = 'phone'\r\nIconFileName='a.png\r\n"
         "BookInfo=\"Title\"",
         {"? Option TextFileName value \"my book.txt\" is in quotes, which are taken as part of "
          "the name; write it without them",
          "? Option OutputDir ignored: blanks stand around its key; write OutputDir=value at the "
          "start of the line"}},
        {"DebugLevel=seven",
         {"? Option DebugLevel value seven is not a number; the default 6 is kept"}},
        // JarCompression takes 1..12; 1 and 12 pass quietly.
        {"JarCompression=0",
         {"? Option JarCompression value 0 is out of range 1..12; the "
          "default 1 is kept"}},
        {"JarCompression=13",
         {"? Option JarCompression value 13 is out of range 1..12; the default 1 is kept"}},
        {"JarCompression=-3",
         {"? Option JarCompression value -3 is out of range 1..12; the "
          "default 1 is kept"}},
        {"JarCompression=fast",
         {"? Option JarCompression value fast is not a number; the default 1 is kept"}},
        {"WordWrap=yes\r\nFormatEn=1",
         {"? Option FormatEn value 1 is neither true nor false; it reads as false (the "
          "default is false)",
          "? Option WordWrap value yes is neither true nor false; it reads as false (the "
          "default is true)"}},
        // Options, comments, lines that are no option lines and binary bytes
        // pass quietly.
        {"bookname=x\r\n# Nothing=1\r\n  # indented=1\r\nno equals sign\r\n=7\r\n"
         "\x1b[2J=1\r\nKey\x01=2\r\n"
         "BookName=y\r\nFontSize2=12\r\nFont.Italic3=no\r\n1999=z\r\nTagsEn=FALSE\r\n"
         "SplashTimeout=\r\nTextMargin=\r\nWordWrap=",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Lines);
        ::testing::internal::CaptureStdout();
        Read(c.Lines);
        const std::string shown = ::testing::internal::GetCapturedStdout();
        std::vector<std::string> told;
        for (size_t start = 0; start < shown.size();) {
            const size_t end = shown.find('\n', start);
            told.push_back(shown.substr(start + 10, end - start - 10)); // without the time
            start = end + 1;
        }
        EXPECT_EQ(told, c.Told);
    }
    // The notices follow DebugLevel like every other level-6 line.
    ::testing::internal::CaptureStdout();
    Read("DebugLevel=3\r\nTextFilenam=a.txt\r\nTagsEn=yes");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(ConfigTest, IntegerSyntax) {
    // TextMargin defaults to 3, which no accepted value below gives.
    const std::pair<const char*, int> cases[] = {
        {"$ffffff", 0xffffff},
        {"0xffffff", 0xffffff},
        {"0XFFFFFF", 0xffffff},
        {"xffffff", 0xffffff},
        {"Xffffff", 0xffffff},
        {"16777215", 0xffffff},
        {"+16777215", 0xffffff},
        {"0016777215", 0xffffff},
        {"-12", -12},
        {"-$10", -16},
        {"-0x10", -16},
        {"$7fffffff", INT_MAX},
        {"$80000000", INT_MIN},
        {"$FFFFFFFF", -1},
        {"-$80000000", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"$00000001", 1},
        // Rejected: the default stays.
        {"#ffffff", 3},
        {"$100000000", 3},
        {"2147483648", 3},
        {"-2147483649", 3},
        {"99999999999999999999", 3},
        {"$", 3},
        {"0x", 3},
        {"x", 3},
        {"-", 3},
        {"+-1", 3},
        {"12a", 3},
        {"1 2", 3},
        {"$fg", 3},
        {"1.5", 3},
        {"", 3},
    };
    for (const auto& [value, expected] : cases) {
        const TBookConfig c = Read("#\r\nTextMargin=" + std::string(value) + "\r\n");
        EXPECT_EQ(c.TextMargin, expected) << value;
    }
    EXPECT_EQ(Read("#\r\nPassword=000123\r\n").Password, 123);
    EXPECT_EQ(Read("#\r\nSplashTimeout=-0\r\n").SplashTimeout, 0);
}

TEST_F(ConfigTest, Booleans) {
    const std::pair<const char*, bool> cases[] = {
        {"TagsEn=TRUE", true},   {"TagsEn=true", true},   {"TagsEn= True ", true},
        {"TagsEn=yes", false},   {"TagsEn=1", false},     {"TagsEn=false", false},
        {"TagsEn=truex", false}, {"TagsEn=", true},       {"TagsEn= \t", true},
        {"#TagsEn=false", true}, {"FormatEn=true", true},
    };
    for (const auto& [line, expected] : cases) {
        const TBookConfig c = Read("#\r\n" + std::string(line) + "\r\n");
        EXPECT_EQ(std::string(line).starts_with("FormatEn") ? c.FormatEn : c.TagsEn, expected)
            << line;
    }
}

TEST_F(ConfigTest, FontSlots) {
    const TReadCase cases[] = {
        {"slot 2 alone", "#\r\nFontName2=Arial\r\n",
         [](auto& c) {
             ASSERT_TRUE(c.Fonts[1]);
             EXPECT_EQ(c.Fonts[1]->Name, u"Arial");
             EXPECT_EQ(c.Fonts[1]->Size, 10);
             EXPECT_FALSE(c.Fonts[1]->Bold || c.Fonts[1]->Italic);
             EXPECT_FALSE(c.Fonts[0] || c.Fonts[2]);
             EXPECT_EQ(c.FontCount(), 1);
         }},
        {"slot 3 default size", "#\r\nFontName3=Arial\r\n",
         [](auto& c) {
             ASSERT_TRUE(c.Fonts[2]);
             EXPECT_EQ(c.Fonts[2]->Size, 11);
         }},
        {"empty name ignores the other keys", "#\r\nFontName1=\r\nFontSize1=12\r\n",
         [](auto& c) { EXPECT_EQ(c.FontCount(), 0); }},
        {"size and styles",
         "#\r\nFontName1=DejaVu Sans\r\nFontSize1=14\r\nFont.Bold1=TRUE\r\nFont.Italic1=true\r\n"
         "FontName3=Mono\r\nFont.Bold3=no\r\nFontSize3=abc\r\n",
         [](auto& c) {
             ASSERT_TRUE(c.Fonts[0] && c.Fonts[2]);
             EXPECT_EQ(c.Fonts[0]->Name, u"DejaVu Sans");
             EXPECT_EQ(c.Fonts[0]->Size, 14);
             EXPECT_TRUE(c.Fonts[0]->Bold && c.Fonts[0]->Italic);
             EXPECT_EQ(c.Fonts[2]->Size, 11);
             EXPECT_FALSE(c.Fonts[2]->Bold);
             EXPECT_EQ(c.FontCount(), 2);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Check(Read(c.Bytes));
    }
}

TEST_F(ConfigTest, DebugLevelSetsTheLogThresholdWhenRead) {
    const std::pair<const char*, int> cases[] = {
        {"DebugLevel=3", 3}, {"DebugLevel=-1", -1}, {"DebugLevel=99", 99}, {"DebugLevel=abc", 6}};
    for (const auto& [line, expected] : cases) {
        SetLogThreshold(0);
        const TBookConfig c = Read("#\r\n" + std::string(line) + "\r\n");
        EXPECT_EQ(c.DebugLevel, expected) << line;
        EXPECT_EQ(LogThreshold(), expected) << line;
    }
}

TEST_F(ConfigTest, UnreadableFileRaisesTheReadError) {
    const std::filesystem::path paths[] = {Dir / "missing.cfg", Dir.Path, "/dev/null"};
    for (const auto& path : paths) {
        TBookConfig c;
        try {
            c.ReadConfig(FromPath(path));
            ADD_FAILURE() << path << ": no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()), "Can't read config file " + path.string());
        }
        // Nothing was read, so every field keeps its constructor value.
        EXPECT_EQ(KeyedFields(c), KeyedFields(TBookConfig()));
    }
}

TEST_F(ConfigTest, ReaderFailureIsLoggedWhenTheThresholdAllows) {
    SetLogThreshold(3);
    ::testing::internal::CaptureStdout();
    TBookConfig c;
    EXPECT_THROW(c.ReadConfig(FromPath(Dir / "missing.cfg")), TBookError);
    const std::string shown = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(shown.find("  Can't read config file: " + (Dir / "missing.cfg").string() +
                         "; File not found\n"),
              std::string::npos)
        << shown;
}

// The lines of UTF-16 text that ends every line with CR LF; a last line
// without CR LF is kept with a marker so that it cannot pass unnoticed.
std::vector<std::string> CrLfLines(const std::u16string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u"\r\n", start);
        if (end == std::u16string::npos) {
            lines.push_back(ToUtf8(text.substr(start)) + " <no CR LF>");
            break;
        }
        lines.push_back(ToUtf8(text.substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

// The example as the fixture holds it (UTF-8, LF line ends), with CR LF.
std::u16string ExpectedExample() {
    const std::string text =
        ReadBytes(std::filesystem::path(PAGINOR_FIXTURES_DIR) / "config" / "example-config.txt");
    std::u16string out;
    for (char16_t c : FromUtf8(text)) {
        if (c == u'\n') out += u'\r';
        out += c;
    }
    return out;
}

TEST_F(ConfigTest, ExampleIsWrittenWordForWord) {
    const auto path = Dir / "example.cfg";
    TBookConfig().WriteExampleConfig(FromPath(path));
    const std::string bytes = ReadBytes(path);

    const std::u16string expected = ExpectedExample();
    // Mark, UTF-16LE, nothing after the last CR LF (the lines below name any
    // difference).
    EXPECT_TRUE(bytes == Utf16Bytes(expected, false));
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE\x23\x00\x54\x00", 6));

    std::u16string written;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        written += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8));
    const auto lines = CrLfLines(written);
    const auto wanted = CrLfLines(expected);
    for (size_t i = 0; i < std::min(lines.size(), wanted.size()); ++i)
        ASSERT_EQ(lines[i], wanted[i]) << "line " << i + 1;
    EXPECT_EQ(lines.size(), 716u);

    // 77 comment lines and 213 three-line option blocks.
    size_t options = 0, comments = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].starts_with("#")) {
            ++options;
            EXPECT_TRUE(i >= 2 && lines[i - 2] == "#" && lines[i - 1].starts_with("#"))
                << "line " << i + 1;
        } else {
            ++comments;
        }
    }
    EXPECT_EQ(options, 213u);
    EXPECT_EQ(comments - 2 * options, 77u);
}

TEST_F(ConfigTest, ExampleReadsBackAsTheConstructorValuesAndTheDisplayAsWithoutTheKeys) {
    const auto path = Dir / "example.cfg";
    const TBookConfig fresh;
    fresh.WriteExampleConfig(FromPath(path));
    TBookConfig read;
    ::testing::internal::CaptureStdout();
    read.ReadConfig(FromPath(path));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "every key is an option";
    // The display options, TagsEn, ImageMode and MidletInfoUrl read back as
    // a configuration without them gives: upright, wrapped, with a margin.
    const TBookConfig absent = Read("# nothing but a comment\r\n");
    TBookConfig expected = fresh;
    expected.TagsEn = absent.TagsEn;
    expected.SplashTimeout = absent.SplashTimeout;
    expected.WordWrap = absent.WordWrap;
    expected.PortraitLayout = absent.PortraitLayout;
    expected.TextMargin = absent.TextMargin;
    expected.SmoothScroll = absent.SmoothScroll;
    expected.ImageMode = absent.ImageMode;
    expected.MidletInfoUrl = absent.MidletInfoUrl;
    EXPECT_EQ(KeyedFields(read), KeyedFields(expected));
    EXPECT_TRUE(read.WordWrap && read.PortraitLayout && read.TagsEn);
    EXPECT_EQ(read.TextMargin, 3);
    EXPECT_EQ(read.MidletInfoUrl, u"http://orvantis.example");

    int filled = 0;
    for (const auto& text : read.MidletTexts)
        filled += !text.empty();
    EXPECT_EQ(filled, 134); // 136 listed texts, of which 306 and 307 are empty
    EXPECT_EQ(read.MidletTexts[0], u"1: Navigator");
    EXPECT_EQ(read.MidletTexts[20], u"Lectoria 5.0.8");
    EXPECT_EQ(read.MidletTexts[21], u"orvantis.example");
    EXPECT_EQ(read.MidletTexts[213], u"Smooth scroll");
    EXPECT_EQ(read.MidletTexts[801], u"Book details:"); // the reader trims values
    EXPECT_EQ(read.MidletTexts[813], u"my test book");
    EXPECT_EQ(read.MidletTexts[907], u"http://orvantis.example");
    EXPECT_EQ(read.MidletTexts[1302], u"Password test string");
    EXPECT_TRUE(read.MidletTexts[306].empty() && read.MidletTexts[307].empty());
    EXPECT_TRUE(read.MidletTexts[12].empty());
}

TEST_F(ConfigTest, ExampleCarriesTheRecordValues) {
    TBookConfig config;
    config.BookName = u"\u041A\u043D\u0438\u0433\u0430";
    config.Password = -5;
    config.FormatEn = true;
    config.JarCompression = 12;
    config.Fonts[1] = TFontDesc{u"Arial", 12, true, false};
    config.BackColor[0] = 0x123456; // the colour maps are fixed examples
    const auto path = Dir / "example.cfg";
    config.WriteExampleConfig(FromPath(path));

    std::u16string written = TBookObject().LoadTextFile(FromPath(path));
    const auto lines = CrLfLines(written);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    for (const char* line :
         {"BookName=\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0", "Password=-5", "FormatEn=true",
          "JarCompression=12", "FontSize2=12", "FontName2=Arial", "Font.Bold2=true",
          "Font.Italic2=false",
          "FontSize1=", "FontName1=", "Font.Bold1=", "Font.Italic3=", "BackColor1=$ffffff"})
        EXPECT_TRUE(has(line)) << line;

    TBookConfig read;
    read.ReadConfig(FromPath(path));
    EXPECT_EQ(read.BookName, config.BookName);
    EXPECT_EQ(read.JarCompression, 12);
    ASSERT_TRUE(read.Fonts[1]);
    EXPECT_EQ(read.Fonts[1]->Size, 12);
    EXPECT_TRUE(read.Fonts[1]->Bold);
    EXPECT_FALSE(read.Fonts[1]->Italic);
    EXPECT_EQ(read.FontCount(), 1);
}

TEST_F(ConfigTest, ExampleWriteFailureNamesTheFile) {
    const std::filesystem::path paths[] = {Dir / "none" / "x.cfg", Dir.Path};
    for (const auto& path : paths) {
        try {
            TBookConfig().WriteExampleConfig(FromPath(path));
            ADD_FAILURE() << path << ": no error";
        } catch (const TBookError& error) {
            EXPECT_EQ(std::string(error.what()), "Cant't save config file " + path.string());
        }
    }
}

TEST(ConfigModel, ResolveFileNameSearchesTheProgramFolderFirst) {
    TTempDir exe, source, start, config;
    for (const auto* dir : {&exe, &source, &start, &config})
        WriteBytes(*dir / "only-last.txt", "x");
    WriteBytes(exe / "both.txt", "x");
    WriteBytes(source / "both.txt", "x");
    WriteBytes(source / "source.txt", "x");
    WriteBytes(config / "config.txt", "x");
    std::filesystem::create_directory(exe / "folder.txt");
    WriteBytes(source / "folder.txt", "x");

    TBookConfig c;
    auto slash = [](const TTempDir& d) { return FromPath(d.Path) + u"/"; };
    c.ExeDir = slash(exe);
    c.SourceDir = slash(source);
    c.StartDir = slash(start);
    c.ConfigDir = slash(config);
    EXPECT_EQ(c.ResolveFileName(u"both.txt"), slash(exe) + u"both.txt");
    EXPECT_EQ(c.ResolveFileName(u"source.txt"), slash(source) + u"source.txt");
    EXPECT_EQ(c.ResolveFileName(u"config.txt"), slash(config) + u"config.txt");
    EXPECT_EQ(c.ResolveFileName(u"folder.txt"), slash(source) + u"folder.txt");
    EXPECT_EQ(c.ResolveFileName(u"nowhere.txt"), u"nowhere.txt");
    EXPECT_EQ(c.ResolveFileName(u"/abs/nowhere.txt"), u"/abs/nowhere.txt");
}

} // namespace
