#include "core/bVar.h"
#include "maker/bStaleParts.h"
#include "test_files.h"

#include <gtest/gtest.h>

using namespace paginor;
using namespace paginor::testing;

TEST(StaleParts, OnlyHigherPartNumbersOfTheSameBaseInNumberOrder) {
    const struct {
        const char* Name;
        std::vector<std::string> Files;
        size_t Parts;
        std::vector<std::string> Stale;
    } cases[] = {
        {"none beyond the new parts", {"Vol1.jar", "Vol1.jad", "Vol2.jar"}, 2, {}},
        {"jar or jad alone counts",
         {"Vol3.jar", "Vol4.jad", "Vol5.jar", "Vol5.jad"},
         2,
         {"Vol3", "Vol4", "Vol5"}},
        {"numbers compare as numbers",
         {"Vol9.jar", "Vol10.jar", "Vol100.jad"},
         9,
         {"Vol10", "Vol100"}},
        {"other names are not parts",
         {"Vol03.jar", "Vol3.txt", "Vol3.JAR", "Volume3.jar", "Vol.jar", "Vol3x.jar", "xVol3.jar",
          "Vol-3.jar"},
         1,
         {}},
        {"a longer number than any part",
         {"Vol123456789012345678901234567890.jar"},
         2,
         {"Vol123456789012345678901234567890"}},
        {"Cyrillic base",
         {ToUtf8(u"\u0422\u043E\u043C 3.jar"), ToUtf8(u"\u0422\u043E\u043C 1.jad")},
         1,
         {ToUtf8(u"\u0422\u043E\u043C 3")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        for (const std::string& file : c.Files)
            WriteBytes(dir.Path / ToPath(FromUtf8(file)), "x");
        const std::string base =
            c.Files.empty() || c.Name[0] != 'C' ? "Vol" : ToUtf8(u"\u0422\u043E\u043C ");
        EXPECT_EQ(FindStaleParts(FromPath(dir.Path), base, c.Parts), c.Stale);
    }
}

TEST(StaleParts, TellingKeepsTheFilesAndRemovingTakesJarAndJadButNoFolder) {
    TTempDir dir;
    for (const char* file : {"Vol1.jar", "Vol3.jar", "Vol3.jad", "Vol4.jad", "Vol7.txt"})
        WriteBytes(dir / file, "x");
    std::filesystem::create_directory(dir / "Vol5.jar");
    TBookObject log;
    const int threshold = LogThreshold();
    SetLogThreshold(6);
    ::testing::internal::CaptureStdout();
    HandleStaleParts(log, FromPath(dir.Path), "Vol", 2, false);
    const std::string told = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(told.find("? " + dir.Path.string() +
                        " still holds Vol3, Vol4 of an earlier edition "
                        "of Vol in more than 2 parts"),
              std::string::npos)
        << told;
    EXPECT_TRUE(std::filesystem::exists(dir / "Vol3.jar"));

    ::testing::internal::CaptureStdout();
    HandleStaleParts(log, FromPath(dir.Path), "Vol", 2, true);
    const std::string removed = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(removed.find("+ Removed Vol3, Vol4 of an earlier edition of Vol from "),
              std::string::npos)
        << removed;
    for (const char* gone : {"Vol3.jar", "Vol3.jad", "Vol4.jad"})
        EXPECT_FALSE(std::filesystem::exists(dir / gone)) << gone;
    for (const char* kept : {"Vol1.jar", "Vol7.txt", "Vol5.jar"})
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
    SetLogThreshold(threshold);
}
