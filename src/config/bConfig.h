// TBookConfig: the options record of one run, its configuration file reader
// and its example writer.
#pragma once

#include "core/bObject.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace paginor {

// The program's identity, used by the banner, the example configuration, the
// readme and the reader-default texts.
inline constexpr const char* kProgramVersion = "5.0.8";
inline constexpr const char* kMakerSite = "orvantis.example";           // without scheme
inline constexpr const char* kMakerSiteUrl = "http://orvantis.example"; // with scheme
inline constexpr const char* kDefaultBookInfo = "Made with Paginor by Orvantis, 2026";
// What a book gets for these keys when its configuration lacks them (the
// constructor values differ); the example configuration prints them, so a
// book made from it opens upright, wrapped and with a margin.
inline constexpr bool kDefaultTagsEn = true;
inline constexpr int kDefaultSplashTimeout = 2;
inline constexpr bool kDefaultWordWrap = true;
inline constexpr bool kDefaultPortraitLayout = true;
inline constexpr int kDefaultTextMargin = 3;
inline constexpr int kDefaultSmoothScroll = 20;
// JarCompression: 1, the default, is the fastest; 2..12 are libdeflate's
// levels, 12 the smallest JAR.
inline constexpr int kJarCompressionDefault = 1;
inline constexpr int kJarCompressionMin = 1;
inline constexpr int kJarCompressionMax = 12;
inline constexpr int kDefaultImageMode = 2;
// The two banner lines: what the program is, and the maker's credit line.
inline constexpr const char* kProgramTitle =
    "Paginor 5.0.8 - Java ME e-book maker for mobile phones";
inline constexpr const char* kMakerCredit = "Copyright (c) 2026 Orvantis, orvantis.example";
// The credit line that ends a midlet's readme.
inline constexpr const char* kReadmeCredit =
    "Made with Paginor 5.0.8 by Orvantis, http://orvantis.example";

// One desktop font to be converted into a loadable bitmap font.
struct TFontDesc {
    std::u16string Name;
    int Size = 0; // points
    bool Bold = false;
    bool Italic = false;
};

inline constexpr int kFontSlots = 3;
inline constexpr int kColorMaps = 8;
inline constexpr int kCustomMidletData = 3;
inline constexpr int kMidletTexts = 2000;

// Options given as key and value rather than as lines of a file (the command
// line's -s KEY=VALUE), in the order given.
using TSettings = std::vector<std::pair<std::u16string, std::u16string>>;

// Field names follow the configuration keys. The numbered families are held
// in zero-based arrays: key BackColor1 is BackColor[0], FontName3 is
// Fonts[2], CustomMidletData2 is CustomMidletData[1]; MidletTexts[k] is key k.
class TBookConfig : public TBookObject {
public:
    TBookConfig(); // the constructor defaults, which -config prints

    std::u16string BookName;
    std::u16string BookInfo;
    // No keys: the title and the authors an imported book names (FB2, EPUB),
    // for the JAD, and from there for the index page of a folder of books.
    std::u16string BookTitle;
    std::u16string BookAuthor;
    std::u16string MidletVersion;
    std::u16string MidletVendor;
    std::u16string MidletInfoUrl;
    std::u16string MidletDescription;
    std::array<std::u16string, kCustomMidletData> CustomMidletData;
    std::u16string TextFileName;
    std::u16string OutputDir;
    std::u16string Temp1Dir;   // no key: WorkDir + "temp1"
    std::u16string MetaInfDir; // no key: WorkDir + "temp1/META-INF"
    std::u16string Temp2Dir;   // no key: WorkDir + "temp2"
    std::u16string SplashFileName;
    std::u16string IconFileName;
    std::u16string LinkLFileName;
    std::u16string LinkPFileName;
    std::u16string BackgroundFileName;
    int TextPartSize = 0;
    int TextPartCount = 0;
    bool RemoveStaleParts = false; // remove higher-numbered parts of an earlier division
    std::u16string TextPartHead;
    std::u16string TextPartTail;
    std::u16string TextPartLink;
    std::u16string TextHead;
    std::u16string TextTail;
    bool FormatEn = false;
    bool TagsEn = false;
    bool TagsForced = false; // no key: set by the build driver
    int LineSpacing = 0;
    int CharSpacing = 0;
    bool WordWrap = false;
    bool PortraitLayout = false;
    int SplashTimeout = 0;
    int TextMargin = 0;
    int SmoothScroll = 0;
    std::array<int, kColorMaps> BackColor{};
    std::array<int, kColorMaps> FontColor{};
    std::array<int, kColorMaps> LinkColor{};
    std::array<std::optional<TFontDesc>, kFontSlots> Fonts;
    int ImageMode = 1;
    int ImageMargin = 0;
    std::u16string ImagePngOptions;
    std::u16string ImageJpgOptions;
    int PasswordMode = 0;
    int Password = 0;
    std::vector<std::u16string> MidletTexts; // kMidletTexts entries
    std::u16string ExeDir;                   // no key: program folder with a trailing "/"
    // No key: the folder of the work folders, the lock, the dumps and the
    // default midlets folder, with a trailing "/": ExeDir when the program
    // may write there, else the user's own data folder (set by the driver).
    std::u16string WorkDir;
    std::u16string SourceDir; // no key: folder of TextFileName with a trailing "/"
    int DebugLevel = 6;
    int JarCompression = kJarCompressionDefault;

    // Fills the record from a configuration file; raises
    // "Can't read config file NAME" when the file cannot be read. The
    // settings count over the file's lines (of one key given twice, the
    // later); a setting whose key is no option raises "Unknown option KEY;
    // did you mean NEAREST?". An empty name reads no file: the settings and
    // the defaults alone.
    void ReadConfig(const std::u16string& fileName, const TSettings& settings = {});
    // Writes the commented example configuration (UTF-16LE, CR LF); raises
    // "Cant't save config file NAME" on failure.
    void WriteExampleConfig(const std::u16string& fileName) const;

    // The first of ExeDir + name, SourceDir + name, the start folder + name and
    // the configuration file's folder + name that names an existing file;
    // otherwise the name unchanged.
    std::u16string ResolveFileName(const std::u16string& name) const;
    // Number of font slots that hold a font (0..3).
    int FontCount() const;

    // Set by the entry: the folder the program was started in and the folder
    // of the configuration file, both with a trailing "/" (or empty). They
    // extend the search of ResolveFileName after ExeDir and SourceDir.
    std::u16string StartDir;
    std::u16string ConfigDir;
};

} // namespace paginor
