// Zipped FB2 books: the archive's FB2 entry is imported exactly as the same
// bytes in a plain file would be; archives without one fail with one line.
#include "config/bConfig.h"
#include "core/bObject.h"
#include "core/bVar.h"
#include "maker/bFB2.h"
#include "test_files.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>

using namespace paginor;
using namespace paginor::testing;
namespace fs = std::filesystem;

namespace {

const std::string kPngMark = "\x89PNG\r\n\x1a\n";

// A small book with a note link, a picture and a cover (a 2x2 PNG).

std::string Book(const std::string& title) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\""
           " xmlns:l=\"http://www.w3.org/1999/xlink\"><description><title-info>"
           "<author><first-name>Anna</first-name><last-name>Berg</last-name></author>"
           "<book-title>" +
           title +
           "</book-title><coverpage><image l:href=\"#c.png\"/></coverpage></title-info>"
           "</description><body><section id=\"s1\"><title><p>One</p></title>"
           "<p>Text<a l:href=\"#n1\">[1]</a></p><image l:href=\"#c.png\"/></section></body>"
           "<body name=\"notes\"><section id=\"n1\"><p>Note</p></section></body>"
           "<binary id=\"c.png\" "
           "content-type=\"image/png\">iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQV"
           "R4nGM4IScHRAwQCgAfJgQRoo8irwAAAABJRU5ErkJggg==</binary></FictionBook>";
}

struct TImportResult {
    std::string Text, BookInfo, Splash, SplashBytes, Log;
};

class ZippedFb2 : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Dir / "temp2");
        PictureDir = FromPath(Dir / "temp2");
    }
    void TearDown() override { SetLogThreshold(0); }

    // Imports the file with `import`, capturing the level-7 log.
    TImportResult Run(const std::function<std::u16string(TBookConfig&)>& import) {
        TBookConfig config;
        std::stringstream captured;
        std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
        SetLogThreshold(7);
        TImportResult result;
        try {
            result.Text = ToUtf8(import(config));
        } catch (...) {
            std::cout.rdbuf(old);
            throw;
        }
        std::cout.rdbuf(old);
        result.BookInfo = ToUtf8(config.BookInfo);
        result.Splash = ToUtf8(config.SplashFileName);
        if (!result.Splash.empty()) result.SplashBytes = ReadBytes(result.Splash);
        result.Log = captured.str();
        return result;
    }
    TImportResult Plain(const std::string& bytes) {
        WriteBytes(Dir / "plain.fb2", bytes);
        return Run([&](TBookConfig& config) {
            return ImportFictionBook(config, config, FromPath(Dir / "plain.fb2"), PictureDir);
        });
    }
    TImportResult Zipped(const std::string& name, const std::vector<TZipEntry>& entries) {
        WriteBytes(Dir / name, ZipBytes(entries));
        return Run([&](TBookConfig& config) {
            return ImportZippedFictionBook(config, config, FromPath(Dir / name), PictureDir);
        });
    }
    std::string Error(const std::string& name, const std::string& bytes) {
        WriteBytes(Dir / name, bytes);
        TBookConfig config;
        try {
            ImportZippedFictionBook(config, config, FromPath(Dir / name), PictureDir);
        } catch (const TBookError& error) {
            return error.what();
        }
        return "(no error)";
    }

    TTempDir Dir;
    std::u16string PictureDir;
};

TEST_F(ZippedFb2, ImportsTheEntryExactlyAsAPlainFile) {
    const TImportResult plain = Plain(Book("River"));
    ASSERT_NE(plain.Text.find("<#link label n1>[1]<#/link>"), std::string::npos);
    ASSERT_TRUE(plain.SplashBytes.starts_with(kPngMark));
    struct Case {
        const char* File;
        TZipEntry Entry;
    };
    const Case cases[] = {
        {"book.fb2.zip", {"book.fb2", Book("River")}},
        {"book.fbz", {"book.fb2", Book("River"), true}},
        {"deep.fbz", {"books/Some Author/River.FB2", Book("River")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        const TImportResult zipped = Zipped(c.File, {c.Entry});
        EXPECT_EQ(zipped.Text, plain.Text);
        EXPECT_EQ(zipped.BookInfo, "River, Anna Berg");
        EXPECT_EQ(zipped.Splash, plain.Splash);
        EXPECT_EQ(zipped.SplashBytes, plain.SplashBytes);
        EXPECT_NE(zipped.Log.find(".. Reading [" + c.Entry.Name + "] from the archive"),
                  std::string::npos);
        EXPECT_NE(
            zipped.Log.find("+ FB2 file opened, size " + std::to_string(c.Entry.Bytes.size())),
            std::string::npos);
        EXPECT_NE(zipped.Log.find("+ FB2 file decoded"), std::string::npos);
    }
}

TEST_F(ZippedFb2, TakesTheFirstOfSeveralBooksAndSaysSo) {
    const TImportResult result = Zipped("two.fb2.zip", {{"readme.txt", "Two books inside."},
                                                        {"second.fb2", Book("Second")},
                                                        {"first.fb2", Book("First")}});
    EXPECT_EQ(result.BookInfo, "Second, Anna Berg");
    EXPECT_NE(result.Log.find("+ The archive holds 2 FB2 books; the first, [second.fb2], is read"),
              std::string::npos);
    // One book alone is not remarked on.
    EXPECT_EQ(Zipped("one.fbz", {{"only.fb2", Book("Only")}}).Log.find("FB2 books"),
              std::string::npos);
}

TEST_F(ZippedFb2, FailsWithOneClearLine) {
    const std::string folder = (Dir / "").string();
    struct Case {
        const char* File;
        std::string Bytes;
        std::string Expected;
    };
    const Case cases[] = {
        {"none.fbz", ZipBytes({{"book.txt", "text"}, {"cover.png", kPngMark}}),
         "The archive " + folder + "none.fbz holds no FB2 book (no .fb2 entry)"},
        // An entry whose name leaves the archive is never read.
        {"escape.fbz", ZipBytes({{"../book.fb2", Book("Away")}, {"/etc/book.fb2", Book("Away")}}),
         "The archive " + folder + "escape.fbz holds no FB2 book (no .fb2 entry)"},
        {"plain.fb2.zip", Book("Not zipped"), folder + "plain.fb2.zip is not a zip archive"},
        {"broken.fbz", ZipBytes({{"book.fb2", "<FictionBook><body>"}}),
         "XML error in line 1: Premature end of data in tag body line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        EXPECT_EQ(Error(c.File, c.Bytes), c.Expected);
    }
    TBookConfig config;
    try {
        ImportZippedFictionBook(config, config, FromPath(Dir / "missing.fbz"), PictureDir);
        ADD_FAILURE() << "a missing archive was read";
    } catch (const TBookError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Can't read " + folder + "missing.fbz: File not found");
    }
}

} // namespace
