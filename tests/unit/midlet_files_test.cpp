#include "core/bVar.h"
#include "midlet/bBookFiles.h"
#include "midlet/bDescriptors.h"
#include "midlet/bMidlet.h"
#include "midlet/bSettings.h"
#include "midlet_temp.h"

#include <gtest/gtest.h>

#include <regex>

using namespace paginor;
using namespace paginor::test;
namespace fs = std::filesystem;

namespace {

std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string BeString(std::u16string_view text) {
    std::string out = Be32(static_cast<uint32_t>(text.size()));
    for (char16_t c : text) {
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

// An options record whose work folders lie in a temporary folder.
struct TMidletFixture {
    TTempFolder Temp;
    TBookConfig Config;
    TMidletFixture() {
        Config.Temp1Dir = FromPath(Temp.Path / "temp1");
        Config.MetaInfDir = Config.Temp1Dir + u"/META-INF";
        Config.OutputDir = FromPath(Temp.Path / "out");
        fs::create_directories(Temp.Path / "temp1" / "META-INF");
        fs::create_directories(Temp.Path / "out");
    }
    fs::path InTemp1(const std::string& name) const { return Temp.Path / "temp1" / name; }
};

} // namespace

TEST(BookFiles, MaskUsesTheLow16BitsOfThePassword) {
    struct {
        std::u16string Text;
        int32_t Password;
        std::string Bytes;
    } cases[] = {
        {u"A", 0, std::string("\x00\x41", 2)},
        {u"A", 0x10000, std::string("\x00\x41", 2)}, // high bits do nothing
        {u"A", 0xFFFF, std::string("\xFF\xBE", 2)},  // every bit inverted
        {u"A", -1, std::string("\xFF\xBE", 2)},      // negative: same low 16 bits
        {u"\u0416z", 0x0101, std::string("\x05\x17\x01\x7B", 4)},
        {u"\U0001F600", 0, std::string("\xD8\x3D\xDE\x00", 4)}, // each surrogate by itself
        {u"\U0001F600", 0x00FF, std::string("\xD8\xC2\xDE\xFF", 4)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskedBookBytes(c.Text, c.Password), c.Bytes) << c.Password;
}

TEST(BookFiles, PiecesOf4096UnitsAndOneSpace) {
    struct {
        size_t TextUnits;
        std::vector<size_t> FileBytes;
    } cases[] = {
        {2, {6}},
        {4095, {8192}},
        {4096, {8192, 2}},
        {3 * 4096 + 10, {8192, 8192, 8192, 22}},
    };
    for (const auto& c : cases) {
        TMidletFixture f;
        f.Config.Password = 0x12345;
        f.Config.TextHead = u"H";
        f.Config.TextTail = u"T";
        TBookText text(f.Config);
        text.Text = std::u16string(c.TextUnits - 2, u'x');
        TBookMidlet midlet(f.Config);
        midlet.BookText = &text;
        midlet.WriteBookText();

        EXPECT_EQ(midlet.TextLength, static_cast<int32_t>(c.TextUnits + 1));
        std::string all;
        for (size_t n = 0; n < c.FileBytes.size(); ++n) {
            const std::string bytes = ReadBytes(f.InTemp1("book" + std::to_string(n) + ".dat"));
            EXPECT_EQ(bytes.size(), c.FileBytes[n]) << c.TextUnits << " piece " << n;
            all += bytes;
        }
        EXPECT_FALSE(fs::exists(f.InTemp1("book" + std::to_string(c.FileBytes.size()) + ".dat")));
        EXPECT_EQ(all, MaskedBookBytes(u"H" + text.Text + u"T ", 0x12345));
    }
}

TEST(BookFiles, UnwritableFolderNamesTheFileInTheError) {
    TMidletFixture f;
    f.Config.Temp1Dir = FromPath(f.Temp.Path / "missing");
    TBookText text(f.Config);
    text.Text = u"abc";
    TBookMidlet midlet(f.Config);
    midlet.BookText = &text;
    try {
        midlet.WriteBookText();
        FAIL();
    } catch (const TBookError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "! Can't save text file " + (f.Temp.Path / "missing" / "book0.dat").string());
    }
}

TEST(Settings, CheckValueFollowsTheShiftAndXorRule) {
    EXPECT_EQ(PasswordCheckValue(u"\x21\x22", 3), 0x64);
    EXPECT_EQ(PasswordCheckValue(u"", 1234), 0);
    const std::u16string check = MakeCheckString("Book\n1700000000");
    ASSERT_EQ(check.size(), 16u);
    for (char16_t c : check) {
        EXPECT_GE(c, 32);
        EXPECT_LT(c, 32 + 30000);
    }
    // The same key gives the same string; another book or time another.
    EXPECT_EQ(MakeCheckString("Book\n1700000000"), check);
    EXPECT_NE(MakeCheckString("Book\n1700000002"), check);
    EXPECT_NE(MakeCheckString("Book2\n1700000000"), check);
    // Bits above the low 16 of the password change nothing.
    EXPECT_EQ(PasswordCheckValue(check, 4711), PasswordCheckValue(check, 4711 + (5 << 16)));
    EXPECT_NE(PasswordCheckValue(check, 4711), PasswordCheckValue(check, 4712));
}

TEST(Settings, CfgDatHoldsEveryFieldInOrder) {
    TMidletFixture f;
    TBookConfig& c = f.Config;
    c.LineSpacing = -1;
    c.CharSpacing = 1;
    c.WordWrap = true;
    c.PortraitLayout = false;
    c.BackColor = {0xffffff, 0, 0x123456, 0, 0, 0, 0, 7};
    c.FontColor = {0xffffff, 0, 0x000001, 0, 0, 0, 0, 0};
    c.LinkColor = {0xff, 0, 0x0000ff, 0, 0, 0, 0, 9};
    c.TextMargin = 3;
    c.ImageMargin = 4;
    c.SmoothScroll = 20;
    c.SplashTimeout = 2;
    c.Fonts[2] = TFontDesc{u"Sans", 10, false, false};
    c.PasswordMode = 2;
    c.Password = 1234;
    c.MidletTexts[0] = u"Menu";
    c.MidletTexts[813] = u"own info";
    c.MidletTexts[1999] = u"\u0416";
    c.BookInfo = u"Author, 2026";
    TBookText text(c);
    text.Text = u"abc";
    text.TocPosition = 2;
    text.FirstLinkId = 0xE000;
    text.LastLinkId = 0xE003;
    auto link = [](char kind, std::u16string target, int32_t final) {
        TLinkItem item;
        item.Kind = kind;
        item.Target = std::move(target);
        item.FinalPosition = final;
        return item;
    };
    text.Links = {link('t', u"tChapter", 5), link('l', u"l#x", 17), link('h', u"hhttp://a.b/", 0),
                  link('I', u"I1.png", 0)};
    TBookMidlet midlet(c);
    midlet.BookText = &text;
    midlet.TextLength = 4097;
    midlet.WriteSettings();

    const std::string bytes = ReadBytes(f.InTemp1("cfg.dat"));
    // Scheme 1 has equal back and font colours and is left out; schemes 3
    // and 8 count.
    std::string expected = Be32(4097) + Be32(-1) + Be32(1) + Be32(1) + Be32(0) + Be32(2) +
                           Be32(0x123456) + Be32(1) + Be32(0xff) + Be32(7) + Be32(0) + Be32(9) +
                           Be32(3) + Be32(4) + Be32(20) + Be32(2) + Be32(1) + Be32(2) +
                           Be32(0xE000) + Be32(0xE003);
    for (const TLinkItem& item : text.Links) // positions as ResolveFinalPositions left them
        expected +=
            BeString(item.Kind == 't' || item.Kind == 'l' ? u"l" + IntToStr(item.FinalPosition)
                                                          : item.Target);
    expected += Be32(2);
    ASSERT_GE(bytes.size(), expected.size() + 4 + 32 + 4);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);

    size_t at = expected.size();
    EXPECT_EQ(bytes.substr(at, 4), Be32(16));
    std::u16string check;
    for (size_t i = 0; i < 16; ++i)
        check += static_cast<char16_t>((static_cast<unsigned char>(bytes[at + 4 + 2 * i]) << 8) |
                                       static_cast<unsigned char>(bytes[at + 5 + 2 * i]));
    at += 4 + 32;
    EXPECT_EQ(bytes.substr(at, 4), Be32(static_cast<uint32_t>(PasswordCheckValue(check, 1234))));
    at += 4;
    EXPECT_EQ(bytes.substr(at), Be32(3) + Be32(0) + BeString(u"Menu") + Be32(813) +
                                    BeString(u"Author, 2026") + Be32(1999) + BeString(u"\u0416"));

    // readme.txt follows cfg.dat in the same step.
    EXPECT_TRUE(fs::exists(f.InTemp1("readme.txt")));
}

TEST(Settings, Entry813CarriesBookInfoWheneverEitherIsSet) {
    struct Case {
        const char16_t* Entry;
        const char16_t* BookInfo;
        std::string Tail; // the interface texts at the end of cfg.dat
    };
    const Case cases[] = {
        {u"", u"", Be32(0)},
        // No "813" line: the book's details still reach the reader.
        {u"", u"Info", Be32(1) + Be32(813) + BeString(u"Info")},
        {u"own", u"", Be32(1) + Be32(813) + Be32(0)},
        {u"own", u"Info", Be32(1) + Be32(813) + BeString(u"Info")},
    };
    for (const Case& c : cases) {
        TMidletFixture f;
        f.Config.MidletTexts[813] = c.Entry;
        f.Config.BookInfo = c.BookInfo;
        TBookText text(f.Config);
        TBookMidlet midlet(f.Config);
        midlet.BookText = &text;
        midlet.WriteSettings();
        const std::string bytes = ReadBytes(f.InTemp1("cfg.dat"));
        // Without links the texts follow the password fields directly.
        ASSERT_GE(bytes.size(), c.Tail.size());
        EXPECT_EQ(bytes.substr(bytes.size() - c.Tail.size()), c.Tail)
            << ToUtf8(c.Entry) << "/" << ToUtf8(c.BookInfo);
    }
}

TEST(Settings, NoValidColourSchemeLeavesTheFirstFiveFields) {
    TMidletFixture f;
    f.Config.BackColor[0] = f.Config.FontColor[0];
    TBookText text(f.Config);
    TBookMidlet midlet(f.Config);
    midlet.BookText = &text;
    try {
        midlet.WriteSettings();
        FAIL();
    } catch (const TBookError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "! Can't save config file " + ToUtf8(f.Config.Temp1Dir) + "/cfg.dat");
    }
    EXPECT_EQ(fs::file_size(f.InTemp1("cfg.dat")), 20u);
    EXPECT_FALSE(fs::exists(f.InTemp1("readme.txt")));
}

TEST(Descriptors, ManifestAndJadLinesInTheirOrder) {
    TBookConfig c;
    c.MidletVendor = u"Orvantis";
    c.MidletVersion = u"1.0";
    c.MidletDescription = u"";
    c.MidletInfoUrl = u"http://x.example";
    c.CustomMidletData = {u"MIDlet-Category: Book", u"  \t ", u" Extra: v "};
    EXPECT_EQ(ComposeManifest("Novel2", c), "Manifest-Version: 1.0\r\n"
                                            "MIDlet-Name: Novel2\r\n"
                                            "MIDlet-Vendor: Orvantis\r\n"
                                            "MIDlet-1: Novel2, /logo.png, TBookMIDlet\r\n"
                                            "MIDlet-Version: 1.0\r\n"
                                            "MIDlet-Icon: /logo.png\r\n"
                                            "MIDlet-Description: \r\n"
                                            "MIDlet-Info-URL: http://x.example\r\n"
                                            "MicroEdition-Configuration: CLDC-1.0\r\n"
                                            "MicroEdition-Profile: MIDP-1.0\r\n");
    EXPECT_EQ(ComposeJad("Novel2", c, 12345), "MIDlet-Name: Novel2\r\n"
                                              "MIDlet-Version: 1.0\r\n"
                                              "MIDlet-Vendor: Orvantis\r\n"
                                              "MIDlet-Description: \r\n"
                                              "MIDlet-Info-URL: http://x.example\r\n"
                                              "MicroEdition-Profile: MIDP-1.0\r\n"
                                              "MicroEdition-Configuration: CLDC-1.0\r\n"
                                              "MIDlet-Icon: /logo.png\r\n"
                                              "MIDlet-Jar-URL: Novel2.jar\r\n"
                                              "MIDlet-Jar-Size: 12345\r\n"
                                              "MIDlet-1: Novel2, /logo.png, TBookMIDlet\r\n"
                                              "MIDlet-Category: Book\r\n"
                                              " Extra: v \r\n");
    c.MidletVendor = u"\u0416\u00e9";
    EXPECT_NE(ComposeJad("N", c, -1).find("MIDlet-Vendor: \xD0\x96\xC3\xA9\r\n"),
              std::string::npos);
    EXPECT_NE(ComposeJad("N", c, -1).find("MIDlet-Jar-Size: -1\r\n"), std::string::npos);
    // An imported book's title and authors, for an index of books.
    c.BookTitle = u"Vingt ans apr\u00e8s";
    c.BookAuthor = u" Alexandre Dumas\n";
    EXPECT_NE(ComposeJad("N", c, 1).find("\r\nBook-Title: Vingt ans apr\xC3\xA8s\r\nBook-Author: "
                                         "Alexandre Dumas\r\n"),
              std::string::npos);
    // The JAR's URL is escaped for an installer; the name stays as it is.
    const std::string russian = ToUtf8(u"\u0414\u0432\u0430 \u0433\u043E\u0434\u0430 #1");
    const std::string jad = ComposeJad(russian, c, 1);
    EXPECT_NE(jad.find("MIDlet-Name: " + russian + "\r\n"), std::string::npos);
    EXPECT_NE(jad.find("MIDlet-1: " + russian + ", /logo.png, TBookMIDlet\r\n"), std::string::npos);
    EXPECT_NE(
        jad.find("MIDlet-Jar-URL: %D0%94%D0%B2%D0%B0%20%D0%B3%D0%BE%D0%B4%D0%B0%20%231.jar\r\n"),
        std::string::npos);
}

std::u16string Repeat(const std::u16string& text, size_t count) {
    std::u16string out;
    for (size_t i = 0; i < count; ++i)
        out += text;
    return out;
}

// The physical lines of a manifest or JAD (each without its CR LF).
std::vector<std::string> PhysicalLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back("<no line end>" + text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(Descriptors, LongManifestAttributesGoOnInContinuationLines) {
    struct TCase {
        const char* Title;
        std::u16string Description;
        size_t Lines; // physical lines of the description attribute
    };
    const std::u16string prefix = u"MIDlet-Description: "; // 20 bytes
    const std::vector<TCase> cases = {
        {"exactly 72 bytes", std::u16string(52, u'a'), 1},
        {"73 bytes", std::u16string(53, u'a'), 2},
        {"long ASCII", std::u16string(300, u'x'), 5},
        {"two-byte letters", std::u16string(100, u'\u0416'), 4}, // 220 bytes: 72 70 70 8
        {"three-byte signs", std::u16string(70, u'\u6F22'), 4},  // 230 bytes: 71 69 69 21
        {"surrogate pairs", std::u16string(40, u'a') + Repeat(u"\U0001F600", 30), 3}, // 72 68 40
        {"blanks at the cut", std::u16string(51, u'a') + std::u16string(10, u' ') + u"b", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Title);
        TBookConfig config;
        config.MidletDescription = c.Description;
        const std::string manifest = ComposeManifest("Book", config);
        const std::vector<std::string> lines = PhysicalLines(manifest);
        ASSERT_EQ(lines.size(), 9 + c.Lines) << manifest;
        // Read back as a manifest reader does: a line that begins with a blank
        // continues the one before it, without that blank.
        std::vector<std::string> attributes;
        for (const std::string& line : lines) {
            EXPECT_LE(line.size(), 72u) << line;
            if (!line.empty() && line[0] == ' ')
                attributes.back() += line.substr(1);
            else
                attributes.push_back(line);
        }
        ASSERT_EQ(attributes.size(), 10u);
        EXPECT_EQ(attributes[6], ToUtf8(prefix + c.Description));
        // No cut falls inside a UTF-8 sequence: no continued part begins
        // with a continuation byte.
        for (size_t k = 1; k < c.Lines; ++k) {
            const auto& continued = lines[6 + k];
            ASSERT_GE(continued.size(), 2u);
            EXPECT_NE(static_cast<unsigned char>(continued[1]) & 0xC0, 0x80) << continued;
        }
        // The JAD is not a manifest: the same value stays on one line.
        EXPECT_NE(ComposeJad("Book", config, 1).find("\r\n" + attributes[6] + "\r\n"),
                  std::string::npos);
    }
}

TEST(Descriptors, LineBreaksInsideValuesCannotStartAnotherAttribute) {
    TBookConfig config;
    config.MidletDescription = u"one\r\nMIDlet-Jar-URL: other.jar\ntwo";
    config.CustomMidletData = {u"Extra: a\rb", u"", u""};
    EXPECT_NE(ComposeManifest("Book", config)
                  .find("\r\nMIDlet-Description: one  MIDlet-Jar-URL: other.jar two\r\n"),
              std::string::npos);
    const std::string jad = ComposeJad("Book", config, 1);
    EXPECT_NE(jad.find("\r\nMIDlet-Description: one  MIDlet-Jar-URL: other.jar two\r\n"),
              std::string::npos);
    EXPECT_TRUE(jad.ends_with("\r\nExtra: a b\r\n"));
}

TEST(Descriptors, ReadmeNamesTheBookAndItsSource) {
    TBookConfig c;
    c.BookName = u"Novel";
    c.TextFileName = u"/books/novel.txt";
    // The date is the given time in UTC, whatever the machine's zone.
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    const std::string readme = ComposeReadme(c, 1700000000);
    unsetenv("TZ");
    tzset();
    EXPECT_TRUE(std::regex_match(
        readme, std::regex("Java book \\[Novel\\] created from \\[/books/novel.txt\\] file on "
                           "2023-11-14 22:13:20 UTC\r\n\r\n\r\n[^\r\n]+\r\n")))
        << readme;
}
