#include "config/bConfig.h"
#include "core/bVar.h"
#include "maker/bBatch.h"
#include "maker/bSources.h"
#include "test_files.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

using namespace paginor;
using namespace paginor::testing;

namespace {

TEST(BatchArguments, OptionsAndBooks) {
    using A = TBatchOptions::TAction;
    struct {
        std::vector<std::string> Args;
        A Action;
        std::vector<std::string> Books;
        unsigned Jobs;
        bool ListOnly;
    } cases[] = {
        {{"a.epub", "b.fb2"}, A::Build, {"a.epub", "b.fb2"}, 0, false},
        {{"-j", "4", "-n", "lib"}, A::Build, {"lib"}, 4, true},
        {{"--", "-odd.txt", "-n"}, A::Build, {"-odd.txt", "-n"}, 0, false},
        {{"-", "x"}, A::Build, {"-", "x"}, 0, false},
        {{"a.txt", "--help"}, A::Help, {"a.txt"}, 0, false},
        {{"-h"}, A::Help, {}, 0, false},
        {{"--version", "a.txt"}, A::Version, {"a.txt"}, 0, false},
        {{"a.txt", "--bogus", "-n"}, A::Usage, {"a.txt"}, 0, false},
        {{"-make", "x.cfg"}, A::Usage, {}, 0, false},
    };
    for (const auto& c : cases) {
        const TBatchOptions o = ParseBatchArguments(c.Args);
        EXPECT_EQ(o.Action, c.Action) << c.Args.front();
        EXPECT_EQ(o.Books, c.Books) << c.Args.front();
        EXPECT_EQ(o.Jobs, c.Jobs) << c.Args.front();
        EXPECT_EQ(o.ListOnly, c.ListOnly) << c.Args.front();
    }
}

TEST(BatchArguments, ValuesAndSettings) {
    const TBatchOptions o = ParseBatchArguments(
        {"-o", "out", "-c", "my.cfg", "-s", "FontName1= DejaVu Sans ", "-s", "Password=a=b", "-q",
         "-s", "IconFileName=pics/icon.png", "-s", "SplashFileName=/abs.png", "x.txt"});
    EXPECT_EQ(o.OutputDir, "out");
    EXPECT_EQ(o.ConfigFile, "my.cfg");
    EXPECT_TRUE(o.Quiet);
    EXPECT_TRUE(o.AnyOption);
    const std::u16string cwd = FromPath(std::filesystem::current_path());
    const TSettings expected = {{u"FontName1", u"DejaVu Sans"},
                                {u"Password", u"a=b"},
                                {u"DebugLevel", u"3"},
                                {u"IconFileName", cwd + u"/pics/icon.png"},
                                {u"SplashFileName", u"/abs.png"}};
    EXPECT_EQ(o.Settings, expected);
    EXPECT_FALSE(ParseBatchArguments({"book.txt"}).AnyOption);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"-j", "0", "x"},
                                               {"-j", "two", "x"},
                                               {"-j", "99999999999", "x"},
                                               {"x", "-o"},
                                               {"-s", "novalue", "x"},
                                               {"-s", "=value", "x"}})
        EXPECT_THROW(ParseBatchArguments(wrong), TUsageError) << wrong[0] << " " << wrong[1];
}

TEST(BatchArguments, EveryOptionIsInTheHelp) {
    const std::vector<std::string> lines = BatchHelpLines();
    for (const char* option : {"-o DIR ", "-c FILE ", "-s KEY=VALUE ", "-j N ", "-q ", "-v ", "-n ",
                               "-h ", "--version "})
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(option);
        })) << option;
}

TEST(Sources, KnownByContent) {
    TTempDir dir;
    auto zip = [](const std::vector<TZipEntry>& entries) { return ZipBytes(entries); };
    struct {
        const char* Name;
        std::string Bytes;
        std::optional<TSourceKind> Kind;
        std::u16string Wanted;
    } cases[] = {
        {"fb2", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c --><FictionBook xmlns=\"x\">",
         TSourceKind::FictionBook, u""},
        {"fb2 prefixed", "<fb:FictionBook xmlns:fb=\"x\">", TSourceKind::FictionBook, u""},
        {"epub", zip({{"mimetype", "application/epub+zip"}, {"META-INF/container.xml", "<c/>"}}),
         TSourceKind::Epub, u""},
        {"zipped fb2", zip({{"Author/Book.FB2", "<FictionBook/>"}}), TSourceKind::ZippedFictionBook,
         u""},
        {"docx", zip({{"[Content_Types].xml", "<T/>"}, {"word/document.xml", "<w/>"}}),
         TSourceKind::Word, u".docx"},
        {"odt", zip({{"mimetype", "application/vnd.oasis.opendocument.text"}}), TSourceKind::Word,
         u".odt"},
        {"rtf", "{\\rtf1\\ansi hello}", TSourceKind::Word, u".rtf"},
        {"doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest", TSourceKind::Word,
         u".doc"},
        {"html", "<!DOCTYPE html><html><body>x</body></html>", TSourceKind::Word, u".html"},
        {"html without doctype", "  <HTML><body>x</body></HTML>", TSourceKind::Word, u".html"},
        {"other xml", "<?xml version=\"1.0\"?><svg/>", std::nullopt, u""},
        {"other zip", zip({{"a.txt", "x"}}), std::nullopt, u""},
        {"broken zip", "PK\x03\x04 and nothing", std::nullopt, u""},
        {"text", "Just a story about <things>.", std::nullopt, u""},
        {"empty", "", std::nullopt, u""},
    };
    for (const auto& c : cases) {
        const auto path = dir / "file.bin";
        WriteBytes(path, c.Bytes);
        const auto sniffed = SniffSource(FromPath(path));
        ASSERT_EQ(sniffed.has_value(), c.Kind.has_value()) << c.Name;
        if (!sniffed) {
            EXPECT_EQ(SourceKindOf(FromPath(path)), TSourceKind::Text) << c.Name;
            continue;
        }
        EXPECT_EQ(sniffed->Kind, *c.Kind) << c.Name;
        EXPECT_EQ(sniffed->WantedExtension, c.Wanted) << c.Name;
        // The importer a name without a known extension gets: by content when
        // its reader needs no extension, else the text loader.
        EXPECT_EQ(SourceKindOf(FromPath(path)), c.Wanted.empty() ? *c.Kind : TSourceKind::Text)
            << c.Name;
    }
    EXPECT_FALSE(SniffSource(FromPath(dir / "missing")).has_value());
    // The extension counts first: a .txt is text whatever it holds.
    WriteBytes(dir / "book.txt", "<FictionBook/>");
    EXPECT_EQ(SourceKindOf(FromPath(dir / "book.txt")), TSourceKind::Text);
}

TEST(Sources, BookNames) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Dumas.fb2", u"Dumas"}, {u"Dumas.FB2.ZIP", u"Dumas"},
        {u"a.b.epub", u"a.b"},    {u"noextension", u"noextension"},
        {u".hidden", u".hidden"}, {u"Три мушкетёра.txt", u"Три мушкетёра"},
    };
    for (const auto& [file, name] : cases)
        EXPECT_EQ(BookNameOf(file), name) << ToUtf8(file);
}

TEST(ConfigSettings, CountOverTheFileAndAreChecked) {
    TTempDir dir;
    WriteBytes(dir / "book.cfg", "BookName=File\r\nMidletVendor=Vendor\r\nFontName1=Serif\r\n");
    TBookConfig config;
    config.ReadConfig(FromPath(dir / "book.cfg"),
                      {{u"BookName", u"Set"}, {u"FontSize1", u"12"}, {u"BookName", u" Later "}});
    EXPECT_EQ(config.BookName, u"Later");
    EXPECT_EQ(config.MidletVendor, u"Vendor");
    ASSERT_TRUE(config.Fonts[0].has_value());
    EXPECT_EQ(config.Fonts[0]->Size, 12);

    TBookConfig noFile;
    noFile.ReadConfig(u"", {{u"DebugLevel", u"3"}, {u"42", u"Text forty-two"}});
    EXPECT_EQ(noFile.DebugLevel, 3);
    EXPECT_EQ(noFile.MidletTexts[42], u"Text forty-two");
    EXPECT_EQ(noFile.BookName, u"TestBook");

    const std::pair<std::u16string, std::string> wrong[] = {
        {u"Fontname1", "Unknown option Fontname1; did you mean FontName1?"},
        {u"bookname", "Unknown option bookname; did you mean BookName?"},
        {u"2000", "Unknown option 2000; did you mean 1999?"},
    };
    for (const auto& [key, message] : wrong) {
        TBookConfig c;
        try {
            c.ReadConfig(u"", {{key, u"x"}});
            ADD_FAILURE() << ToUtf8(key);
        } catch (const TBookError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
    SetLogThreshold(0);
}

} // namespace
