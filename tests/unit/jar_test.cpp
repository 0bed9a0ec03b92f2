#include "core/bObject.h"
#include "midlet/jar/JarWriter.h"
#include "midlet_temp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using namespace paginor;
using namespace paginor::test;
namespace fs = std::filesystem;

namespace {

uint32_t Le16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t Le32(const std::string& b, size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

// What the archive says about one entry, read from both of its headers.
struct TReadEntry {
    std::string Name;
    uint32_t MadeBy, Needed, Flags, Method, Crc, CompressedSize, Size, External, Offset;
    std::string CentralExtra, LocalExtra, LocalFixed, CentralFixed;
    std::string Data; // the uncompressed bytes
};

std::string Inflate(const std::string& compressed, size_t size) {
    std::string out(size, '\0');
    z_stream stream{};
    inflateInit2(&stream, -15);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    if (result != Z_STREAM_END) return "<inflate failed>";
    return out;
}

// A small reader of the 32-bit zip layout, independent of the writer.
std::vector<TReadEntry> ReadArchive(const std::string& zip) {
    const size_t end = zip.size() - 22;
    EXPECT_EQ(Le32(zip, end), 0x06054b50u);
    EXPECT_EQ(Le16(zip, end + 20), 0u) << "no comment";
    const uint32_t count = Le16(zip, end + 10);
    EXPECT_EQ(Le16(zip, end + 8), count);
    size_t at = Le32(zip, end + 16);
    EXPECT_EQ(at + Le32(zip, end + 12), end) << "central directory ends at the end record";
    std::vector<TReadEntry> entries;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(Le32(zip, at), 0x02014b50u);
        TReadEntry e;
        e.MadeBy = Le16(zip, at + 4);
        e.Needed = Le16(zip, at + 6);
        e.Flags = Le16(zip, at + 8);
        e.Method = Le16(zip, at + 10);
        e.Crc = Le32(zip, at + 16);
        e.CompressedSize = Le32(zip, at + 20);
        e.Size = Le32(zip, at + 24);
        const uint32_t nameLength = Le16(zip, at + 28), extraLength = Le16(zip, at + 30);
        EXPECT_EQ(Le16(zip, at + 32), 0u) << "no file comment";
        EXPECT_EQ(Le16(zip, at + 36), 0u) << "internal attributes";
        e.External = Le32(zip, at + 38);
        e.Offset = Le32(zip, at + 42);
        e.Name = zip.substr(at + 46, nameLength);
        e.CentralExtra = zip.substr(at + 46 + nameLength, extraLength);
        e.CentralFixed = zip.substr(at + 6, 24); // needed .. sizes
        at += 46 + nameLength + extraLength;

        const size_t local = e.Offset;
        EXPECT_EQ(Le32(zip, local), 0x04034b50u);
        e.LocalFixed = zip.substr(local + 4, 22);
        const uint32_t localName = Le16(zip, local + 26), localExtra = Le16(zip, local + 28);
        EXPECT_EQ(zip.substr(local + 30, localName), e.Name);
        e.LocalExtra = zip.substr(local + 30 + localName, localExtra);
        const std::string data = zip.substr(local + 30 + localName + localExtra, e.CompressedSize);
        e.Data = e.Method == 8 ? Inflate(data, e.Size) : data;
        entries.push_back(e);
    }
    return entries;
}

std::string NuExtra(const std::string& asciiName) {
    std::string extra = "NU";
    const size_t n = asciiName.size();
    extra += static_cast<char>((8 + 2 * n) & 0xFF);
    extra += static_cast<char>((8 + 2 * n) >> 8);
    extra += "NUCX";
    extra += std::string{static_cast<char>(n), 0, 0, 0};
    for (char c : asciiName) {
        extra += c;
        extra += '\0';
    }
    return extra;
}

std::string Compressible(size_t size) {
    std::string text;
    while (text.size() < size)
        text += "The quick brown fox reads a book on a small phone screen. ";
    return text.substr(0, size);
}

// Text made of words drawn at random: it compresses as prose does, better
// at a higher level.
std::string Prose(size_t size, unsigned seed) {
    static const char* const kWords[] = {
        "the",   "phone", "reads", "a",    "long",  "book", "of",    "many",  "pages",
        "while", "night", "falls", "over", "quiet", "town", "where", "she",   "waits",
        "for",   "news",  "from",  "sea,", "and",   "he",   "walks", "home.", "Then"};
    std::mt19937 generator(seed);
    std::string text;
    while (text.size() < size) {
        text += kWords[generator() % std::size(kWords)];
        text += ' ';
    }
    return text.substr(0, size);
}

std::string RandomBytes(size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

void MakeJar(const fs::path& jar, const fs::path& base) {
    TJarWriter writer(jar, 1, 1700000000);
    writer.AddFolderFiles(base);
    writer.Finish();
}

// The lines of a command's output that start with the prefix, without it.
std::multiset<std::string> Lines(const std::string& text, std::string_view prefix = "") {
    std::multiset<std::string> set;
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        const std::string_view line = std::string_view(text).substr(start, end - start);
        if (line.starts_with(prefix)) set.emplace(line.substr(prefix.size()));
        start = end + 1;
    }
    return set;
}

std::string Crc(const std::string& bytes) {
    char text[16];
    std::snprintf(
        text, sizeof text, "%lx",
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    return text;
}

// The midlet folder of the tests: files at the root, an empty file, the
// manifest folder and a nested folder; the archive itself is written inside
// the folder and must not pack itself.
struct TSampleFolder {
    TTempFolder Temp;
    fs::path Base = Temp.Path / "temp1";
    fs::path Jar = Base / "Book.jar";
    std::map<std::string, std::string> Files = {
        {"book0.dat", Compressible(10000)},
        {"1.png", RandomBytes(100)},
        {"TBook.class", Compressible(500)},
        {"empty.dat", ""},
        {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMIDlet-Name: Book\r\n"},
        {"sub/deep/x.bin", RandomBytes(3000)},
    };
    TSampleFolder() {
        for (const auto& [name, bytes] : Files)
            WriteBytes(Base / name, bytes);
        MakeJar(Jar, Base);
    }
};

} // namespace

TEST(JarWriter, WritesEveryRecordAsTheJarLayoutRequires) {
    TSampleFolder sample;
    const std::vector<TReadEntry> entries = ReadArchive(ReadBytes(sample.Jar));

    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.Name);
    // The manifest folder and the manifest first, then every name in byte
    // order, whatever the file system's listing order; the archive never
    // packs itself.
    EXPECT_EQ(names, (std::vector<std::string>{"META-INF/", "META-INF/MANIFEST.MF", "1.png",
                                               "TBook.class", "book0.dat", "empty.dat", "sub/",
                                               "sub/deep/", "sub/deep/x.bin"}));
    for (const auto& e : entries) {
        SCOPED_TRACE(e.Name);
        EXPECT_EQ(e.MadeBy, 20u);
        EXPECT_EQ(e.Needed, 20u);
        EXPECT_EQ(e.CentralExtra, NuExtra(e.Name));
        EXPECT_EQ(e.LocalExtra, e.CentralExtra);
        // The rewritten local header agrees with the central record.
        EXPECT_EQ(e.LocalFixed, e.CentralFixed.substr(0, 22));
        if (e.Name.back() == '/') {
            EXPECT_EQ(e.Flags, 2u);
            EXPECT_EQ(e.Method, 0u);
            EXPECT_EQ(e.Crc, 0u);
            EXPECT_EQ(e.Size, 0u);
            EXPECT_EQ(e.CompressedSize, 0u);
            EXPECT_EQ(e.External, 16u);
            continue;
        }
        const std::string& original = sample.Files.at(e.Name);
        EXPECT_EQ(e.Flags, 0u);
        EXPECT_EQ(e.External, 32u);
        EXPECT_EQ(e.Size, original.size());
        EXPECT_EQ(e.Data, original);
        if (original.empty()) {
            EXPECT_EQ(e.Method, 0u);
            EXPECT_EQ(e.Crc, 0u);
            EXPECT_EQ(e.CompressedSize, 0u);
        } else {
            EXPECT_EQ(e.Method, 8u);
            EXPECT_EQ(Crc(original), Crc(e.Data));
            char crc[16];
            std::snprintf(crc, sizeof crc, "%x", e.Crc);
            EXPECT_EQ(crc, Crc(original));
        }
    }
    EXPECT_LT(entries[4].CompressedSize, 2000u) << "text is deflated";
}

TEST(JarWriter, OpensWithPythonUnzipAndJava) {
    TSampleFolder sample;
    std::string expected;
    for (const auto& [name, bytes] : sample.Files)
        expected += name + " " + std::to_string(bytes.size()) + " " + Crc(bytes) + "\n";
    for (const char* folder : {"META-INF/", "sub/", "sub/deep/"})
        expected += std::string(folder) + " 0 0\n";
    const std::string jar = sample.Jar.string();
    std::string output;

    ASSERT_EQ(
        RunCommand(Python() +
                       " -c \"import sys, zipfile\n"
                       "z = zipfile.ZipFile(sys.argv[1])\n"
                       "assert z.testzip() is None\n"
                       "for i in sorted(z.infolist(), key=lambda i: i.filename.endswith('/')):\n"
                       "    print(i.filename, len(z.read(i)), '%x' % i.CRC)\" '" +
                       jar + "'",
                   output),
        0);
    EXPECT_EQ(Lines(output), Lines(expected));

    EXPECT_EQ(RunCommand("unzip -t -qq '" + jar + "'", output), 0) << output;

    ASSERT_EQ(RunCommand("java '" PAGINOR_FIXTURES_DIR "/JarCheck.java' '" + jar + "'", output), 0);
    EXPECT_EQ(Lines(output, "entry "), Lines(expected));
    EXPECT_EQ(Lines(output, "manifest "), Lines("Manifest-Version: 1.0\nMIDlet-Name: Book\n"));
    // A reader of the archive as a stream meets the manifest first.
    EXPECT_EQ(Lines(output, "streamed "), Lines(output, "manifest "));
}

TEST(JarWriter, EmptyFolderStaysAnEntryAndARerunReplacesTheArchive) {
    TTempFolder temp;
    const fs::path base = temp.Path / "temp1", jar = temp.Path / "Book.jar";
    WriteBytes(base / "first.dat", "first");
    MakeJar(jar, base);
    fs::remove(base / "first.dat");
    fs::create_directories(base / "META-INF");
    WriteBytes(base / "second.dat", "second");
    MakeJar(jar, base);

    const auto entries = ReadArchive(ReadBytes(jar));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, "META-INF/");
    EXPECT_EQ(entries[1].Name, "second.dat");
    EXPECT_EQ(entries[1].Data, "second");
}

TEST(JarWriter, ReadOnlyFileCarriesTheReadOnlyAttribute) {
    TTempFolder temp;
    const fs::path base = temp.Path / "temp1", jar = temp.Path / "Book.jar";
    WriteBytes(base / "fixed.dat", "fixed");
    fs::permissions(base / "fixed.dat", fs::perms::owner_write, fs::perm_options::remove);
    MakeJar(jar, base);
    const auto entries = ReadArchive(ReadBytes(jar));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].External, 33u);
}

TEST(JarWriter, RefusesAFileBeyondTheZip32SizeLimit) {
    TTempFolder temp;
    const fs::path base = temp.Path / "huge", jar = temp.Path / "Huge.jar";
    fs::create_directories(base);
    // A sparse file just over the 32-bit size limit.
    {
        const int fd = ::open((base / "big.dat").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 0x100000000LL), 0);
        ::close(fd);
    }
    try {
        MakeJar(jar, base);
        FAIL() << "a 4 GiB entry was packed";
    } catch (const TBookError& e) {
        EXPECT_NE(std::string(e.what()).find("ZIP64"), std::string::npos) << e.what();
    }
}

TEST(JarWriter, RefusesMoreEntriesThanTheEndRecordCounts) {
    // 65535 files: in memory when the system offers a memory file system.
    TTempFolder temp(fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                  : fs::temp_directory_path());
    const fs::path many = temp.Path / "many";
    fs::create_directories(many);
    for (int i = 0; i < 65535; ++i)
        std::fclose(std::fopen((many / std::to_string(i)).c_str(), "w"));
    try {
        MakeJar(temp.Path / "Many.jar", many);
        FAIL() << "65535 entries were packed";
    } catch (const TBookError& e) {
        EXPECT_NE(std::string(e.what()).find("ZIP64"), std::string::npos) << e.what();
    }
}

TEST(JarWriter, MissingFolderOrUnwritableArchiveIsAnError) {
    TTempFolder temp;
    EXPECT_THROW(MakeJar(temp.Path / "a.jar", temp.Path / "missing"), TBookError);
    EXPECT_THROW(MakeJar(temp.Path / "missing" / "a.jar", temp.Path), TBookError);
}

namespace {

// A midlet's worth of entries through the entry interface: the manifest
// first, a class as a ready deflate stream, book pieces of many sizes (one
// empty), a picture that does not compress and a file with a name beyond
// ASCII.
struct TEntrySample {
    std::string ClassBytes = Compressible(3000) + RandomBytes(200);
    std::vector<std::pair<std::string, std::string>> Files;

    TEntrySample() {
        Files.emplace_back("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n");
        Files.emplace_back("TBook.class", ClassBytes);
        for (int i = 0; i < 60; ++i)
            Files.emplace_back("book" + std::to_string(i) + ".dat",
                               Prose(static_cast<size_t>(i * 997 % 9000), i));
        Files.emplace_back("1.png", RandomBytes(70000));
        Files.emplace_back("\xd0\x9a\xd0\xbd\xd0\xb8\xd0\xb3\xd0\xb0.txt", Compressible(5000));
    }

    // The names in the order they were added, folders included.
    std::vector<std::string> Names() const {
        std::vector<std::string> names = {"META-INF/"};
        for (const auto& [name, bytes] : Files)
            names.push_back(name);
        return names;
    }

    std::string Write(const fs::path& jar, int level, unsigned threads) const {
        TJarWriter writer(jar, level, 1700000000, threads);
        writer.AddFolder("META-INF/");
        for (const auto& [name, bytes] : Files) {
            if (name == "TBook.class")
                writer.AddDeflatedEntry(name, RawDeflate(bytes, 12), Crc32(bytes), bytes.size());
            else
                writer.AddEntry(name, bytes);
        }
        writer.Finish();
        return ReadBytes(jar);
    }
};

} // namespace

TEST(JarWriter, EntriesKeepTheirOrderAndBytesAtEveryLevelWhateverTheThreads) {
    TTempFolder temp;
    const TEntrySample sample;
    uint64_t levelOneBook = 0, levelTwelveBook = 0; // compressed book pieces
    for (int level = 1; level <= 12; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        const std::string single = sample.Write(temp.Path / "one.jar", level, 1);
        for (unsigned threads : {2u, 5u})
            EXPECT_EQ(sample.Write(temp.Path / "many.jar", level, threads), single)
                << threads << " threads";
        const auto entries = ReadArchive(single);
        std::vector<std::string> names;
        for (const auto& e : entries)
            names.push_back(e.Name);
        ASSERT_EQ(names, sample.Names());
        for (size_t k = 1; k < entries.size(); ++k) {
            SCOPED_TRACE(entries[k].Name);
            const std::string& original = sample.Files[k - 1].second;
            EXPECT_EQ(entries[k].Data, original);
            EXPECT_EQ(entries[k].Method, original.empty() ? 0u : 8u);
            char crc[16];
            std::snprintf(crc, sizeof crc, "%x", entries[k].Crc);
            EXPECT_EQ(crc, original.empty() ? "0" : Crc(original));
            EXPECT_EQ(entries[k].CentralExtra, entries[k].LocalExtra);
            EXPECT_EQ(entries[k].LocalFixed, entries[k].CentralFixed.substr(0, 22));
        }
        // The ready stream is copied as it was given.
        const std::string ready = RawDeflate(sample.ClassBytes, 12);
        EXPECT_EQ(entries[2].CompressedSize, ready.size());
        EXPECT_NE(single.find(ready), std::string::npos);
        // A name beyond ASCII is flagged as UTF-8.
        EXPECT_EQ(entries.back().Flags, 0x800u);
        for (const auto& e : entries)
            if (e.Name.starts_with("book") && (level == 1 || level == 12))
                (level == 1 ? levelOneBook : levelTwelveBook) += e.CompressedSize;
    }
    EXPECT_LT(levelTwelveBook, levelOneBook);
}

TEST(JarWriter, EveryLevelOpensWithPythonUnzipAndJava) {
    TTempFolder temp;
    const TEntrySample sample;
    std::string jars, expected;
    for (int level = 1; level <= 12; ++level) {
        const fs::path jar = temp.Path / ("level" + std::to_string(level) + ".jar");
        sample.Write(jar, level, 2);
        jars += " '" + jar.string() + "'";
        std::string output;
        EXPECT_EQ(RunCommand("unzip -t -qq '" + jar.string() + "'", output), 0) << output;
    }
    for (const auto& [name, bytes] : sample.Files)
        expected += name + " " + std::to_string(bytes.size()) + " " + Crc(bytes) + "\n";
    expected += "META-INF/ 0 0\n";

    std::string output;
    ASSERT_EQ(RunCommand(Python() +
                             " -c \"import sys, zipfile\n"
                             "for path in sys.argv[1:]:\n"
                             "    z = zipfile.ZipFile(path)\n"
                             "    assert z.testzip() is None\n"
                             "    for i in z.infolist():\n"
                             "        print(i.filename, len(z.read(i)), '%x' % i.CRC)\"" +
                             jars,
                         output),
              0);
    std::string twelveTimes;
    for (int level = 1; level <= 12; ++level)
        twelveTimes += expected;
    EXPECT_EQ(Lines(output), Lines(twelveTimes));

    ASSERT_EQ(RunCommand("java '" PAGINOR_FIXTURES_DIR "/JarCheck.java'" + jars, output), 0);
    EXPECT_EQ(Lines(output, "entry "), Lines(twelveTimes));
    EXPECT_EQ(Lines(output, "streamed ").size(), 12u) << "the manifest comes first in every JAR";
}

TEST(JarWriter, EntryTimeIsTheGivenTimeInUtcWithinTheDosRange) {
    struct TCase {
        int64_t Time;
        unsigned Year, Month, Day, Hour, Minute, Second;
    };
    const TCase cases[] = {
        {1700000000, 2023, 11, 14, 22, 13, 20},
        {1700000001, 2023, 11, 14, 22, 13, 20}, // two-second steps
        {0, 1980, 1, 1, 0, 0, 0},               // before 1980: its first day
        {-5, 1980, 1, 1, 0, 0, 0},
        {7258118400, 2107, 12, 31, 23, 59, 58}, // 2200: the last time there is
    };
    // A zone far from UTC: the entries must not depend on it.
    setenv("TZ", "Pacific/Kiritimati", 1);
    tzset();
    TTempFolder temp;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Time);
        {
            TJarWriter writer(temp.Path / "t.jar", 1, c.Time);
            writer.AddFolder("META-INF/");
            writer.AddEntry("a.txt", "a");
            writer.Finish();
        }
        for (const auto& e : ReadArchive(ReadBytes(temp.Path / "t.jar"))) {
            const uint32_t time = Le16(e.CentralFixed, 6), date = Le16(e.CentralFixed, 8);
            EXPECT_EQ((date >> 9) + 1980, c.Year);
            EXPECT_EQ((date >> 5) & 15, c.Month);
            EXPECT_EQ(date & 31, c.Day);
            EXPECT_EQ(time >> 11, c.Hour);
            EXPECT_EQ((time >> 5) & 63, c.Minute);
            EXPECT_EQ((time & 31) * 2, c.Second);
        }
    }
    unsetenv("TZ");
    tzset();
}

TEST(JarWriter, LevelOutsideOneToTwelveIsRefusedBeforeAnyFileIsMade) {
    TTempFolder temp;
    for (int level : {0, 13, -1}) {
        SCOPED_TRACE(level);
        EXPECT_THROW(TJarWriter(temp.Path / "bad.jar", level, 0), TBookError);
        EXPECT_FALSE(fs::exists(temp.Path / "bad.jar"));
    }
}

TEST(JarWriter, TheSameFolderTwiceGivesTheSameBytes) {
    TSampleFolder sample;
    const std::string first = ReadBytes(sample.Jar);
    // Newer file times do not reach the archive: the entry time is given.
    fs::last_write_time(sample.Base / "book0.dat", fs::file_time_type::clock::now());
    MakeJar(sample.Jar, sample.Base);
    EXPECT_EQ(ReadBytes(sample.Jar), first);
}
