#include "core/bVar.h"
#include "maker/bMaker.h"
#include "maker/bSources.h"
#include "midlet/bMidlet.h"
#include "midlet/bResources.h"
#include "midlet_temp.h"

#include <gtest/gtest.h>

#include <set>

using namespace paginor;
using namespace paginor::test;
namespace fs = std::filesystem;

namespace {

// Raises the log threshold for one test and puts it back afterwards.
struct TLogLevel {
    int Saved = LogThreshold();
    explicit TLogLevel(int level) { SetLogThreshold(level); }
    ~TLogLevel() { SetLogThreshold(Saved); }
};

// The log lines without their time stamps.
std::vector<std::string> Messages(const std::string& output) {
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = output.find('\n', start)) != std::string::npos) {
        const std::string line = output.substr(start, end - start);
        lines.push_back(line.size() > 10 ? line.substr(10) : line);
        start = end + 1;
    }
    return lines;
}

struct TMidletFolders {
    TTempFolder Temp;
    TBookConfig Config;
    TMidletFolders() {
        Config.Temp1Dir = FromPath(Temp.Path / "temp1");
        Config.MetaInfDir = Config.Temp1Dir + u"/META-INF";
        Config.OutputDir = FromPath(Temp.Path / "out");
        Config.BookName = u"Novel";
        Config.TextFileName = u"/books/novel.txt";
        fs::create_directories(Temp.Path / "temp1" / "META-INF");
        fs::create_directories(Temp.Path / "out");
    }
    std::set<std::string> JarNames(const std::string& jar) const {
        std::string output;
        RunCommand(Python() +
                       " -c \"import sys, zipfile\n"
                       "print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))\" '" +
                       (Temp.Path / "out" / jar).string() + "'",
                   output);
        std::set<std::string> names;
        size_t start = 0, end;
        while ((end = output.find('\n', start)) != std::string::npos) {
            names.insert(output.substr(start, end - start));
            start = end + 1;
        }
        return names;
    }
};

} // namespace

TEST(MidletAssembly, TwoPartsOneAfterTheOtherKeepTheirOwnFiles) {
    TMidletFolders f;
    f.Config.SplashFileName = FromPath(f.Temp.Path / "splash-source.png");
    WriteBytes(f.Temp.Path / "splash-source.png", OnePixelPng());
    WriteBytes(f.Temp.Path / "temp1" / "stale.dat", "left from an earlier run");
    TBookMidlet midlet(f.Config);
    TBookText first(f.Config), second(f.Config);
    first.Text = std::u16string(5000, u'a');
    second.Text = u"short";
    midlet.MakeMidlet("Novel1", first);
    f.Config.SplashFileName.clear();
    midlet.MakeMidlet("Novel2", second);

    const std::set<std::string> common = {"META-INF/",           "META-INF/MANIFEST.MF",
                                          "TBookCanvas.class",   "TBookN1Canvas.class",
                                          "TBookN2Canvas.class", "TBookCanvasInit.class",
                                          "TBookMIDlet.class",   "TFont.class",
                                          "TLoadableFont.class", "TImage.class",
                                          "TLinkItem.class",     "TSms.class",
                                          "point.png",           "logo.png",
                                          "linkl.png",           "linkp.png",
                                          "book0.dat",           "cfg.dat",
                                          "readme.txt"};
    std::set<std::string> firstNames = common;
    firstNames.insert({"book1.dat", "splash.png"});
    EXPECT_EQ(f.JarNames("Novel1.jar"), firstNames);
    EXPECT_EQ(f.JarNames("Novel2.jar"), common);
    EXPECT_EQ(midlet.TextLength, 6);

    // Only the JAR and the JAD remain; the work folders are empty.
    EXPECT_TRUE(fs::is_empty(f.Temp.Path / "temp1" / "META-INF"));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.Temp.Path / "temp1"), {}), 1);
    const std::string jad = ReadBytes(f.Temp.Path / "out" / "Novel2.jad");
    EXPECT_NE(jad.find("MIDlet-Jar-Size: " +
                       std::to_string(fs::file_size(f.Temp.Path / "out" / "Novel2.jar")) + "\r\n"),
              std::string::npos);
}

TEST(MidletAssembly, SettingsFailureIsWrappedTwice) {
    TMidletFolders f;
    f.Config.BackColor[0] = f.Config.FontColor[0];
    TBookMidlet midlet(f.Config);
    TBookText text(f.Config);
    text.Text = u"text";
    TLogLevel level(3);
    testing::internal::CaptureStdout();
    try {
        midlet.MakeMidlet("Novel", text);
        ADD_FAILURE() << "no error";
    } catch (const TBookError& e) {
        EXPECT_EQ(std::string(e.what()), "! Can't create java program (MIDlet)");
    }
    const std::string cfg = ToUtf8(f.Config.Temp1Dir) + "/cfg.dat";
    EXPECT_EQ(Messages(testing::internal::GetCapturedStdout()),
              (std::vector<std::string>{"There is no any valid color scheme",
                                        "- There is no any valid color scheme",
                                        "- ! Can't save config file " + cfg}));
    EXPECT_FALSE(fs::exists(f.Temp.Path / "out" / "Novel.jar"));
    EXPECT_FALSE(fs::exists(f.Temp.Path / "out" / "Novel.jad"));
}

TEST(MidletAssembly, MissingPictureAndBadNamesFailTheMidlet) {
    std::string longName;
    for (int n = 0; n < 126; ++n)
        longName += "\xD0\x91"; // Cyrillic Be
    struct {
        std::string Name;
        std::u16string Icon;
        std::string Inner;
    } cases[] = {
        {"Novel", u"/nowhere/icon.png", "- ! Can' save MIDlet icon file (0) /nowhere/icon.png -> "},
        {"../escape", u"", "- Wrong midlet name [../escape]"},
        {"", u"", "- Wrong midlet name []"},
        {"...", u"", "- Wrong midlet name [...]"},
        {".,", u"", "- Wrong midlet name [.,]"},
        {"Tab\there", u"", "- Wrong midlet name [Tab\there]"},
        // NAME.jar must fit a file name's 255 bytes: 126 two-byte letters do not.
        {longName, u"",
         "- Wrong midlet name [" + longName +
             "]: it is 252 bytes long, and a file name takes at most 251 before its .jar"},
    };
    for (const auto& c : cases) {
        TMidletFolders f;
        f.Config.IconFileName = c.Icon;
        TBookMidlet midlet(f.Config);
        TBookText text(f.Config);
        text.Text = u"text";
        TLogLevel level(3);
        testing::internal::CaptureStdout();
        EXPECT_THROW(midlet.MakeMidlet(c.Name, text), TBookError);
        const auto lines = Messages(testing::internal::GetCapturedStdout());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(0, c.Inner.size()), c.Inner);
        EXPECT_TRUE(fs::is_empty(f.Temp.Path / "out")) << c.Name;
        EXPECT_FALSE(fs::exists(f.Temp.Path / "escape.jar"));
    }
}

TEST(MidletAssembly, NamesThatWouldBreakTheDescriptorsAreMadeSafe) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom, Jerry", "Tom Jerry"},   {"Tom ,Jerry,", "Tom Jerry"}, {"a,,b", "a b"},
        {".hidden", "hidden"},         {"...Book", "Book"},          {"Vol. 2.", "Vol. 2."},
        {"Lev Tolstoy", "Lev Tolstoy"}};
    for (const auto& [name, safe] : cases) {
        SCOPED_TRACE(name);
        TMidletFolders f;
        TBookMidlet midlet(f.Config);
        TBookText text(f.Config);
        text.Text = u"text";
        midlet.MakeMidlet(name, text);
        EXPECT_EQ(midlet.Name, safe);
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(f.Temp.Path / "out"))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{safe + ".jad", safe + ".jar"}));
        const std::string jad = ReadBytes(f.Temp.Path / "out" / (safe + ".jad"));
        EXPECT_NE(jad.find("\r\nMIDlet-1: " + safe + ", /logo.png, TBookMIDlet\r\n"),
                  std::string::npos);
        EXPECT_NE(jad.find("\r\nMIDlet-Jar-URL: " + EncodePercentEscapes(safe) + ".jar\r\n"),
                  std::string::npos);
    }
}

TEST(MidletAssembly, ResourcesAreRestoredToTheirPlainBytes) {
    TMidletFolders f;
    TBookMidlet midlet(f.Config);
    // The embedded classes come out as class files, the pictures as PNG.
    midlet.WriteReaderClasses();
    EXPECT_EQ(ReadBytes(f.Temp.Path / "temp1" / "TBookMIDlet.class").substr(0, 4),
              "\xCA\xFE\xBA\xBE");
    const std::u16string path = f.Config.Temp1Dir + u"/r.png";
    midlet.WriteResource(kDefaultPictures[1], path);
    EXPECT_EQ(ReadBytes(ToPath(path)), RestoredResource(kDefaultPictures[1]));
    try {
        midlet.WriteResource(kDefaultPictures[0], u"/nonexistent-folder/x");
        FAIL();
    } catch (const TBookError& e) {
        EXPECT_EQ(std::string(e.what()), "Can't save file /nonexistent-folder/x");
    }
}

TEST(MidletAssembly, ClearFolderKeepsSubFolders) {
    TMidletFolders f;
    WriteBytes(f.Temp.Path / "temp1" / "a.dat", "a");
    WriteBytes(f.Temp.Path / "temp1" / "extra" / "b.dat", "b");
    TBookMidlet(f.Config).ClearFolder(f.Config.Temp1Dir);
    EXPECT_FALSE(fs::exists(f.Temp.Path / "temp1" / "a.dat"));
    EXPECT_TRUE(fs::exists(f.Temp.Path / "temp1" / "extra" / "b.dat"));
    EXPECT_TRUE(fs::exists(f.Temp.Path / "temp1" / "META-INF"));
    EXPECT_EQ(TBookMidlet::GetFileSize(f.Config.Temp1Dir + u"/missing"), -1);
    EXPECT_EQ(TBookMidlet::GetFileSize(FromPath(f.Temp.Path / "temp1" / "extra" / "b.dat")), 1);
}

TEST(Maker, ExtensionsAndDumps) {
    struct {
        std::u16string Extension, Name;
        bool Match;
    } cases[] = {
        {u".txt", u"Story.TXT", true},  {u".txt", u".txt", false},      {u".fb2", u"a.b.fb2", true},
        {u".htm", u"page.html", false}, {u".html", u"page.HtMl", true}, {u".txt", u"txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasExtension(c.Extension, c.Name), c.Match) << ToUtf8(c.Name);

    TTempFolder temp;
    const std::u16string dump = FromPath(temp.Path / "Book.dump");
    TBookMaker::SaveDump(dump, u"A\u0416");
    EXPECT_EQ(ReadBytes(ToPath(dump)), std::string("\xFF\xFE\x41\x00\x16\x04", 6));
    TBookMaker::SaveDump(dump, u"");
    EXPECT_EQ(ReadBytes(ToPath(dump)), "\xFF\xFE");

    EXPECT_EQ(DumpFileName(u"Novel"), u"Novel.dump");
    EXPECT_EQ(DumpFileName(u"../a/b"), u".._a_b.dump");
    EXPECT_EQ(DumpFileName(u".."), u"...dump");
    EXPECT_EQ(DumpFileName(u"a\nb"), u"a_b.dump");
    // Cut to a file name's 255 bytes, never inside a character.
    EXPECT_EQ(DumpFileName(std::u16string(300, u'\u0411')),
              std::u16string(125, u'\u0411') + u".dump");
}

TEST(Maker, DirectoriesAreMadeOneLevelAndClearedOfFilesOnly) {
    TTempFolder temp;
    TBookConfig config;
    TBookMaker maker(config);
    const std::u16string folder = FromPath(temp.Path / "work");
    maker.MakeDirectory(folder);
    maker.MakeDirectory(folder); // an existing folder is fine
    EXPECT_TRUE(fs::is_directory(temp.Path / "work"));
    EXPECT_THROW(maker.MakeDirectory(FromPath(temp.Path / "a" / "b")), TBookError);
    try {
        maker.MakeDirectory(u"");
        FAIL();
    } catch (const TBookError& e) {
        EXPECT_EQ(std::string(e.what()), "Wrong directory []");
    }
    WriteBytes(temp.Path / "work" / "f.dat", "f");
    WriteBytes(temp.Path / "work" / "sub" / "g.dat", "g");
    maker.ClearDirectory(folder);
    maker.ClearDirectory(FromPath(temp.Path / "missing")); // nothing to do
    EXPECT_FALSE(fs::exists(temp.Path / "work" / "f.dat"));
    EXPECT_TRUE(fs::exists(temp.Path / "work" / "sub" / "g.dat"));
}
