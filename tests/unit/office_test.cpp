// Conversion through LibreOffice, with stand-in programs that behave as
// LibreOffice does when it converts, fails or hangs: the arguments and the
// private folders it gets, the clear lines of each failure, and nothing left
// running or lying about afterwards.
#include "core/bObject.h"
#include "platform/OfficeConverter.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace paginor;
using namespace paginor::testing;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The first bytes of a Word 97 file (an OLE compound file).
const std::string kOleDocument = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 a document";

class OfficeConversion : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Dir / "books");
        WriteBytes(Source, kOleDocument);
    }

    // A stand-in for soffice: the shell script's body runs with the
    // arguments LibreOffice would get; OUT is the --outdir folder and IN the
    // document.
    fs::path Program(const std::string& body) {
        const fs::path program = Dir / "soffice";
        WriteBytes(program, "#!/bin/sh\nfor a in \"$@\"; do\n  [ \"$prev\" = --outdir ] && OUT=$a\n"
                            "  prev=$a; IN=$a\ndone\n" +
                                body + "\n");
        fs::permissions(program, fs::perms::owner_all);
        return program;
    }

    TTempDir Dir;
    fs::path Source = Dir / "books" / "-story, part 1.doc";
};

TEST_F(OfficeConversion, RunsOnAPrivateCopyWithAPrivateProfile) {
    const fs::path record = Dir / "record.txt";
    const std::string docx = "PK fake package";
    WriteBytes(Dir / "result.docx", docx);
    const fs::path program =
        Program("printf '%s\\n' \"$@\" > " + record.string() + "\necho \"HOME=$HOME\" >> " +
                record.string() + "\necho \"TMPDIR=$TMPDIR\" >> " + record.string() +
                "\necho \"PWD=$(pwd)\" >> " + record.string() + "\ncp " +
                (Dir / "result.docx").string() + " \"$OUT/document.docx\"");
    EXPECT_EQ(ConvertToDocx(Source, {.Program = program}).Docx, docx);

    const std::vector<std::string> lines = Lines(ReadBytes(record));
    ASSERT_EQ(lines.size(), 13u) << ReadBytes(record);
    ASSERT_TRUE(lines[0].starts_with("-env:UserInstallation=file:///")) << lines[0];
    const fs::path folder =
        fs::path(lines[0].substr(std::string("-env:UserInstallation=file://").size()))
            .parent_path();
    EXPECT_TRUE(folder.filename().string().starts_with("paginor-office-")) << folder;
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 8),
              (std::vector<std::string>{"--headless", "--invisible", "--norestore", "--nolockcheck",
                                        "--convert-to", "docx", "--outdir"}));
    EXPECT_EQ(lines[8], (folder / "out").string());
    // A copy under a plain name, never the user's file (a name beginning
    // with "-" would be taken for an option).
    EXPECT_EQ(lines[9], (folder / "document.doc").string());
    EXPECT_EQ(lines[10], "HOME=" + (folder / "home").string());
    EXPECT_EQ(lines[11], "TMPDIR=" + (folder / "tmp").string());
    EXPECT_EQ(lines[12], "PWD=" + folder.string());
    // The private folder is gone, and nothing appeared beside the source.
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "books"), fs::directory_iterator()), 1);
}

TEST_F(OfficeConversion, FailuresAreOneClearLine) {
    const std::string name = Source.string();
    EXPECT_EQ(ErrorOf([&] { ConvertToDocx(Source, {.Program = Dir / "missing" / "soffice"}); }),
              "LibreOffice is needed to read " + name +
                  " and is not installed: install the Debian package libreoffice-writer-nogui");
    const fs::path failing = Program("echo 'convert document.doc'\necho 'Error: source file could "
                                     "not be loaded' >&2\nexit 0");
    EXPECT_EQ(ErrorOf([&] { ConvertToDocx(Source, {.Program = failing}); }),
              "LibreOffice could not convert " + name + ": Error: source file could not be loaded");
    EXPECT_EQ(ErrorOf([&] { ConvertToDocx(Dir / "books" / "none.odt", {.Program = failing}); }),
              "Can't read " + (Dir / "books" / "none.odt").string() + ": File not found");
    // LibreOffice would open a web page under an office name and fetch its
    // pictures from the machine: only office files reach it.
    const fs::path page = Dir / "books" / "page.doc";
    WriteBytes(page, "<html><body><img src=\"/home/ann/photo.jpg\"></body></html>");
    EXPECT_EQ(ErrorOf([&] { ConvertToDocx(page, {.Program = failing}); }),
              "Can't read " + page.string() + ": it is not a Word, RTF or OpenDocument file");
}

// An RTF document reaches LibreOffice without the fields that read other
// files; the instructions taken out are reported.
TEST_F(OfficeConversion, RtfReachesLibreOfficeWithoutOutsideFields) {
    const fs::path rtf = Dir / "books" / "letter.doc"; // RTF under a Word name
    WriteBytes(rtf, "{\\rtf1 Text {\\field{\\*\\fldinst INCLUDEPICTURE \"/home/ann/a.png\" \\\\d}"
                    "{\\fldrslt }} and {\\field{\\*\\fldinst HYPERLINK \"http://x.example\"}"
                    "{\\fldrslt x}}.}");
    const fs::path seen = Dir / "seen.rtf";
    WriteBytes(Dir / "result.docx", "PK docx");
    const fs::path program = Program("cp \"$IN\" " + seen.string() + "\ncp " +
                                     (Dir / "result.docx").string() + " \"$OUT/document.docx\"");
    const TOfficeResult result = ConvertToDocx(rtf, {.Program = program});
    EXPECT_EQ(ReadBytes(seen), "{\\rtf1 Text {\\field{\\fldrslt }} and {\\field{\\*\\fldinst "
                               "HYPERLINK \"http://x.example\"}{\\fldrslt x}}.}");
    EXPECT_EQ(result.RemovedFields,
              std::vector<std::string>{"INCLUDEPICTURE \"/home/ann/a.png\" \\d"});
}

// The conversion's time limit comes from PAGINOR_OFFICE_TIME_LIMIT when it is
// a positive number of seconds; anything else keeps the 600 seconds.
TEST(OfficeTimeLimit, IsTakenFromTheEnvironment) {
    const struct {
        const char* Value; // nullptr: not set
        long Seconds;
    } cases[] = {{nullptr, 600}, {"5", 5},    {"86400", 86400}, {"", 600},     {"0", 600},
                 {"-3", 600},    {"5s", 600}, {"abc", 600},     {"86401", 600}};
    for (const auto& c : cases) {
        if (c.Value)
            ::setenv(kOfficeTimeLimitVariable, c.Value, 1);
        else
            ::unsetenv(kOfficeTimeLimitVariable);
        EXPECT_EQ(OfficeTimeLimit(), std::chrono::seconds(c.Seconds))
            << (c.Value ? c.Value : "unset");
    }
    ::unsetenv(kOfficeTimeLimitVariable);
}

// Private folders whose run has ended go; one in use and other files stay.
TEST_F(OfficeConversion, StaleFoldersOfEndedRunsAreRemoved) {
    const fs::path temp = Dir / "tmp";
    for (const char* name : {"paginor-office-ended", "paginor-office-inuse", "paginor-office-old",
                             "paginor-office-new", "other"})
        fs::create_directories(temp / name / "profile");
    for (const char* name : {"paginor-office-ended", "paginor-office-inuse", "other"})
        WriteBytes(temp / name / "lock", "");
    const int held = ::open((temp / "paginor-office-inuse" / "lock").c_str(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    // A folder without its lock goes only when it is old.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(temp / "paginor-office-old", old);
    RemoveStaleOfficeFolders(temp);
    ::close(held);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(temp))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"other", "paginor-office-inuse", "paginor-office-new"}));
}

// A LibreOffice that hangs, with a helper process of its own: both are ended
// when the time is up.
TEST_F(OfficeConversion, AHangingConversionIsKilledWithItsProcessGroup) {
    const fs::path pidFile = Dir / "helper.pid";
    const fs::path program = Program("sleep 300 &\necho $! > " + pidFile.string() + "\nsleep 300");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] {
                  ConvertToDocx(Source, {.Program = program, .TimeLimit = std::chrono::seconds(2)});
              }),
              "LibreOffice did not finish converting " + Source.string() + " within 2 seconds");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    const pid_t helper = std::stoi(ReadBytes(pidFile));
    // The helper was killed; its parent, init, reaps it in its own time.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        const std::string status = fs::exists("/proc/" + std::to_string(helper) + "/stat")
                                       ? ReadBytes("/proc/" + std::to_string(helper) + "/stat")
                                       : "";
        gone = status.empty() || status.find(") Z ") != std::string::npos;
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(gone);
}

} // namespace
