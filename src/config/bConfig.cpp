#include "config/bConfig.h"

#include "core/bVar.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace paginor {

namespace {

// Keys are short words; a longer run before "=" cannot be one, so the index
// does not need to look further.
constexpr size_t kMaxKeyLength = 64;
constexpr size_t kUnknownKeysTold = 100;
constexpr size_t kUnknownKeysShown = 20;

bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// One line that holds a short run of text before an "=": the key it would
// give, and where its value starts.
struct TOptionLine {
    std::u16string Key;
    size_t ValueStart = 0;
    bool AtTextStart = false; // the first line: its key matches without regard to case
};

// The decoded configuration text with an index of its option lines. A line
// ends at CR LF, at a lone LF or at a lone CR, so files from any editor read
// as their authors see them. A key is found at the very start of the text
// (compared without regard to case) or at the start of a later line (exact
// case); the first occurrence counts, and one at the start of the text counts
// over all others. The index is built in one pass so that the ~2100 lookups
// of one read do not each rescan the text.
class TConfigText {
public:
    TConfigText(std::u16string text, const TSettings& settings) : Text(std::move(text)) {
        for (const auto& [key, value] : settings)
            Settings[key] = TrimControls(value);
        AddLine(0);
        for (size_t i = 0; i < Text.size(); ++i) {
            if (!IsLineEnd(Text[i])) continue;
            if (Text[i] == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
            AddLine(i + 1);
        }
    }

    // The trimmed value of the key, or nothing when the text has no option
    // line for it.
    std::optional<std::u16string> Find(const std::u16string& key) const {
        if (auto setting = Settings.find(key); setting != Settings.end()) return setting->second;
        size_t start;
        if (FirstLineKey && *FirstLineKey == LowerCase(key)) {
            start = Lines.front().ValueStart;
        } else {
            auto it = ValueStarts.find(key);
            if (it == ValueStarts.end()) return std::nullopt;
            start = it->second;
        }
        size_t end = start;
        while (end < Text.size() && !IsLineEnd(Text[end]))
            ++end;
        return TrimControls(std::u16string_view(Text).substr(start, end - start));
    }

    // Every line with a short text before an "=", in text order.
    const std::vector<TOptionLine>& OptionLines() const { return Lines; }
    bool Empty() const { return Text.empty(); }
    bool HoldsZero() const { return Text.find(u'\0') != std::u16string::npos; }

private:
    void AddLine(size_t pos) {
        for (size_t i = pos; i < Text.size() && i - pos <= kMaxKeyLength; ++i) {
            if (IsLineEnd(Text[i])) return;
            if (Text[i] != u'=') continue;
            TOptionLine line{Text.substr(pos, i - pos), i + 1, pos == 0};
            if (line.AtTextStart)
                FirstLineKey = LowerCase(line.Key);
            else
                ValueStarts.emplace(line.Key, line.ValueStart);
            Lines.push_back(std::move(line));
            return;
        }
    }

    std::u16string Text;
    std::vector<TOptionLine> Lines;
    std::optional<std::u16string> FirstLineKey; // lower-cased
    std::unordered_map<std::u16string, size_t> ValueStarts;
    std::unordered_map<std::u16string, std::u16string> Settings; // they count over the lines
};

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The integer syntax of configuration values: an optional sign, then decimal
// digits within the 32-bit range, or one to eight hexadecimal digits after
// "$", "x", "X", "0x" or "0X" taken as a 32-bit pattern (a sign negates it).
std::optional<int32_t> ParseConfigInteger(std::u16string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        text.remove_prefix(1);
    }
    size_t hexPrefix = 0;
    if (!text.empty() && (text[0] == u'$' || text[0] == u'x' || text[0] == u'X'))
        hexPrefix = 1;
    else if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        hexPrefix = 2;
    if (hexPrefix > 0) {
        text.remove_prefix(hexPrefix);
        if (text.empty() || text.size() > 8) return std::nullopt;
        uint32_t pattern = 0;
        for (char16_t c : text) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            pattern = (pattern << 4) | static_cast<uint32_t>(digit);
        }
        if (negative) pattern = 0u - pattern;
        return static_cast<int32_t>(pattern);
    }
    if (text.empty()) return std::nullopt;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// The number of single-character insertions, deletions and replacements
// that turn one text into the other.
size_t EditDistance(std::u16string_view a, std::u16string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t replaced = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            diagonal = row[j];
            row[j] = std::min({replaced, row[j] + 1, row[j - 1] + 1});
        }
    }
    return row[b.size()];
}

bool IsAllDigits(std::u16string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Reads typed values from the configuration text and keeps what a user should
// hear about: values that do not parse and lines whose key is no option. The
// keys it is asked for, and those named through Known, are the options.
class TOptionReader {
public:
    explicit TOptionReader(const TConfigText& text) : Text(text) {}

    std::u16string String(const std::u16string& key, const std::u16string& fallback) {
        Known(key);
        return Text.Find(key).value_or(fallback);
    }

    // A file or folder name. Quotes around it, as a shell would need them,
    // are part of the name here: the name then is not found, so they are told.
    std::u16string Name(const std::u16string& key, const std::u16string& fallback) {
        std::u16string value = String(key, fallback);
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            Notices.push_back("? Option " + ToUtf8(key) + " value " + Printable(value) +
                              " is in quotes, which are taken as part of the name; write it "
                              "without them");
        return value;
    }

    // An empty value gives the default silently; one that is not a number
    // gives it with a notice naming it. Colours name it in hexadecimal.
    int Integer(const std::u16string& key, int fallback, bool colour = false) {
        const std::u16string value = String(key, u"");
        if (value.empty()) return fallback;
        if (auto number = ParseConfigInteger(value)) return *number;
        char shown[16];
        std::snprintf(shown, sizeof shown, colour ? "$%06x" : "%d", fallback);
        Notices.push_back("? Option " + ToUtf8(key) + " value " + Printable(value) +
                          " is not a number; the default " + shown + " is kept");
        return fallback;
    }

    // An integer of a documented range: a value outside it is told, and the
    // nearer end of the range is used.
    int Ranged(const std::u16string& key, int fallback, int lowest, int highest) {
        const int value = Integer(key, fallback);
        if (value >= lowest && value <= highest) return value;
        const int used = value < lowest ? lowest : highest;
        Notices.push_back("? Option " + ToUtf8(key) + " value " + std::to_string(value) +
                          " is outside " + std::to_string(lowest) + ".." + std::to_string(highest) +
                          "; " + std::to_string(used) + " is used");
        return used;
    }

    // "true" in any case is true and every other non-empty value false; a
    // value that is neither true nor false is named, with the default.
    bool Boolean(const std::u16string& key, bool fallback) {
        const std::u16string value = String(key, u"");
        if (value.empty()) return fallback;
        const std::u16string lower = LowerCase(value);
        if (lower != u"true" && lower != u"false")
            Notices.push_back("? Option " + ToUtf8(key) + " value " + Printable(value) +
                              " is neither true nor false; it reads as false (the default is " +
                              (fallback ? "true" : "false") + ")");
        return lower == u"true";
    }

    // A key that is an option although this configuration does not read it.
    void Known(const std::u16string& key) {
        if (KnownKeys.insert(key).second) {
            KnownLowerKeys.insert(LowerCase(key));
            if (!IsAllDigits(key)) NamedKeys.push_back(key);
        }
    }

    // The notices of the values read, then one for every key that is no
    // option, in text order. Comments, lines without a key and keys holding
    // control characters (binary bytes, which the log must not print) are
    // left out.
    std::vector<std::string> Report() const {
        std::vector<std::string> lines = Notices;
        std::unordered_set<std::u16string> reported;
        // Keys that are no option, in text order; "TextFileName = book.txt"
        // (the option, with blanks around its key) marked as such.
        std::vector<std::pair<std::u16string, bool>> strays;
        size_t unknownCount = 0;
        for (const TOptionLine& line : Text.OptionLines()) {
            const std::u16string_view key = TrimControlsView(line.Key);
            if (key.empty() || key.front() == u'#' || HasControls(line.Key) || IsKnown(line))
                continue;
            if (!reported.insert(line.Key).second) continue;
            const bool blanks = KnownKeys.contains(std::u16string(key));
            if (blanks)
                strays.emplace_back(std::u16string(key), true);
            else if (++unknownCount <= kUnknownKeysTold + 1)
                strays.emplace_back(line.Key, false);
        }
        // A file that is no configuration (a book, a word list) would give a
        // line, and a spelling search, for every one of its lines: beyond
        // kUnknownKeysTold of them only the first kUnknownKeysShown are told.
        const size_t told = unknownCount > kUnknownKeysTold ? kUnknownKeysShown : unknownCount;
        size_t unknownTold = 0;
        for (const auto& [key, blanks] : strays) {
            if (blanks)
                lines.push_back("? Option " + ToUtf8(key) +
                                " ignored: blanks stand around its key; write " + ToUtf8(key) +
                                "=value at the start of the line");
            else if (unknownTold++ < told)
                lines.push_back("? Unknown option " + ToUtf8(key) + " ignored; did you mean " +
                                ToUtf8(NearestKey(key)) + "?");
        }
        if (told < unknownCount)
            lines.push_back("? " + std::to_string(unknownCount - told) +
                            " more unknown options ignored (" + std::to_string(unknownCount) +
                            " in all): is this file a configuration?");
        return lines;
    }

    // Whether any line sets an option: a book or a binary file given as the
    // configuration sets none.
    bool SetsAnyOption() const {
        const auto& lines = Text.OptionLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const TOptionLine& line) { return IsKnown(line); });
    }

private:
    static bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
    static bool HasControls(std::u16string_view key) {
        return std::any_of(key.begin(), key.end(), IsControl);
    }
    // A value as the log shows it: control characters (a terminal's escape
    // sequences among them) as "?".
    static std::string Printable(std::u16string value) {
        std::replace_if(value.begin(), value.end(), IsControl, u'?');
        return ToUtf8(value);
    }

public:
    bool IsOption(const std::u16string& key) const { return KnownKeys.contains(key); }

    // The option a mistyped key most likely meant: for a number, the
    // interface text it names without leading zeros (the last one when it is
    // past them); otherwise the option nearest in spelling, letter case
    // counting only between equally near ones.
    std::u16string NearestKey(const std::u16string& key) const {
        if (IsAllDigits(key)) {
            const size_t first = std::min(key.find_first_not_of(u'0'), key.size() - 1);
            const std::u16string number = key.substr(first);
            return number.size() <= 4 && KnownKeys.contains(number) ? number
                                                                    : IntToStr(kMidletTexts - 1);
        }
        const std::u16string lower = LowerCase(key);
        std::u16string best;
        std::pair<size_t, size_t> bestDistance{SIZE_MAX, SIZE_MAX};
        for (const std::u16string& candidate : NamedKeys) {
            const std::pair<size_t, size_t> distance{EditDistance(lower, LowerCase(candidate)),
                                                     EditDistance(key, candidate)};
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate;
            }
        }
        return best;
    }

private:
    bool IsKnown(const TOptionLine& line) const {
        return line.AtTextStart ? KnownLowerKeys.contains(LowerCase(line.Key))
                                : KnownKeys.contains(line.Key);
    }

    const TConfigText& Text;
    std::vector<std::string> Notices;
    std::unordered_set<std::u16string> KnownKeys;
    std::unordered_set<std::u16string> KnownLowerKeys;
    std::vector<std::u16string> NamedKeys; // the options that are not numbers, in reading order
};

// A file or folder name as a Linux user writes it: a leading "~/" (or "~"
// alone) stands for the home folder, as in the shell, which does not see the
// names in a configuration file. Other names are kept as written.
std::u16string WithHomeFolder(const std::u16string& name) {
    if (name != u"~" && name.rfind(u"~/", 0) != 0) return name;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return name;
    return FromUtf8(home) + name.substr(1);
}

} // namespace

TBookConfig::TBookConfig()
    : MidletVersion(Widen(kProgramVersion)), MidletVendor(u"Orvantis"),
      MidletInfoUrl(Widen(kMakerSite)), MidletDescription(u"test book"),
      ImagePngOptions(u"-resize 160x128> -depth 8"),
      ImageJpgOptions(u"-resize 160x128> -quality 100 -depth 8"), MidletTexts(kMidletTexts) {
    BackColor[0] = 0xffffff;
    LinkColor[0] = 0xff;
}

std::u16string TBookConfig::ResolveFileName(const std::u16string& name) const {
    // A full name is the file it names, never one below the folders tried.
    if (!name.empty() && name.front() == u'/') return name;
    for (const std::u16string* dir : {&ExeDir, &SourceDir, &StartDir, &ConfigDir}) {
        if (dir->empty() && dir != &ExeDir && dir != &SourceDir) continue;
        std::u16string candidate = *dir + name;
        std::error_code ec;
        if (!candidate.empty() && std::filesystem::is_regular_file(ToPath(candidate), ec))
            return candidate;
    }
    return name;
}

int TBookConfig::FontCount() const {
    int count = 0;
    for (const auto& font : Fonts)
        if (font) ++count;
    return count;
}

void TBookConfig::ReadConfig(const std::u16string& fileName, const TSettings& settings) {
    std::string unknownSetting;
    try {
        const TConfigText text(fileName.empty() ? u"" : LoadTextFile(fileName), settings);
        TOptionReader reader(text);
        auto readString = [&](const std::u16string& key, const std::u16string& fallback) {
            return reader.String(key, fallback);
        };
        auto readInteger = [&](const std::u16string& key, int fallback) {
            return reader.Integer(key, fallback);
        };
        auto readRanged = [&](const std::u16string& key, int fallback, int lowest, int highest) {
            return reader.Ranged(key, fallback, lowest, highest);
        };
        auto readColor = [&](const std::u16string& key, int fallback) {
            return reader.Integer(key, fallback, true);
        };
        auto readBoolean = [&](const std::u16string& key, bool fallback) {
            return reader.Boolean(key, fallback);
        };
        auto readName = [&](const std::u16string& key, const std::u16string& fallback) {
            return WithHomeFolder(reader.Name(key, fallback));
        };
        auto numbered = [](const char16_t* base, int n) { return base + IntToStr(n); };

        BookName = readString(u"BookName", u"TestBook");
        BookInfo = readString(u"BookInfo", Widen(kDefaultBookInfo));
        OutputDir = readName(u"OutputDir", u".");
        TextFileName = readName(u"TextFileName", u"text.txt");
        IconFileName = readName(u"IconFileName", u"");
        LinkLFileName = readName(u"LinkLFileName", u"");
        LinkPFileName = readName(u"LinkPFileName", u"");
        BackgroundFileName = readName(u"BackgroundFileName", u"");

        PasswordMode = readRanged(u"PasswordMode", 0, 0, 2);
        Password = readInteger(u"Password", 0);

        MidletVersion = readString(u"MidletVersion", u"1.0");
        MidletVendor = readString(u"MidletVendor", u"Orvantis");
        MidletInfoUrl = readString(u"MidletInfoUrl", Widen(kMakerSiteUrl));
        MidletDescription = readString(u"MidletDescription", u"Lectoria");
        for (int n = 1; n <= kCustomMidletData; ++n)
            CustomMidletData[n - 1] = readString(numbered(u"CustomMidletData", n), u"");

        // Every message from here on follows the configured detail.
        DebugLevel = readInteger(u"DebugLevel", 6);
        SetLogThreshold(DebugLevel);
        JarCompression = readRanged(u"JarCompression", kJarCompressionDefault, kJarCompressionMin,
                                    kJarCompressionMax);

        for (int n = 1; n <= kFontSlots; ++n) {
            const std::u16string name = readString(numbered(u"FontName", n), u"");
            if (name.empty()) {
                // The slot's other keys are options all the same.
                for (const char16_t* key : {u"FontSize", u"Font.Bold", u"Font.Italic"})
                    reader.Known(numbered(key, n));
                continue;
            }
            TFontDesc font;
            font.Name = name;
            font.Size = readInteger(numbered(u"FontSize", n), 8 + n);
            font.Bold = readBoolean(numbered(u"Font.Bold", n), false);
            font.Italic = readBoolean(numbered(u"Font.Italic", n), false);
            Fonts[n - 1] = font;
        }

        TextPartSize = readInteger(u"TextPartSize", 0);
        TextPartCount = readInteger(u"TextPartCount", 0);
        RemoveStaleParts = readBoolean(u"RemoveStaleParts", false);
        TextHead = readString(u"TextHead", u"");
        TextTail = readString(u"TextTail", u"");
        TextPartHead = readString(u"TextPartHead", u"");
        TextPartTail = readString(u"TextPartTail", u"");
        TextPartLink = readString(u"TextPartLink", u"");

        FormatEn = readBoolean(u"FormatEn", false);
        TagsEn = readBoolean(u"TagsEn", kDefaultTagsEn);

        SplashTimeout = readInteger(u"SplashTimeout", kDefaultSplashTimeout);
        SplashFileName = readName(u"SplashFileName", u"");

        LineSpacing = readRanged(u"LineSpacing", 0, -1, 1);
        CharSpacing = readRanged(u"CharSpacing", 0, -1, 1);
        WordWrap = readBoolean(u"WordWrap", kDefaultWordWrap);
        PortraitLayout = readBoolean(u"PortraitLayout", kDefaultPortraitLayout);
        TextMargin = readInteger(u"TextMargin", kDefaultTextMargin);
        SmoothScroll = readRanged(u"SmoothScroll", kDefaultSmoothScroll, 0, 50);

        for (int n = 1; n <= kColorMaps; ++n) {
            BackColor[n - 1] = readColor(numbered(u"BackColor", n), n == 1 ? 0xffffff : 0);
            FontColor[n - 1] = readColor(numbered(u"FontColor", n), 0);
            LinkColor[n - 1] = readColor(numbered(u"LinkColor", n), n == 1 ? 0xff : 0);
        }

        ImageMode = readRanged(u"ImageMode", kDefaultImageMode, 0, 4);
        ImageMargin = readInteger(u"ImageMargin", 0);
        ImagePngOptions = readString(u"ImagePngOptions", u"-resize 160x128> -depth 8");
        ImageJpgOptions = readString(u"ImageJpgOptions", u"-resize 160x128> -quality 100 -depth 8");

        for (int k = 0; k < kMidletTexts; ++k)
            MidletTexts[k] = readString(IntToStr(k), u"");
        for (const auto& setting : settings)
            if (unknownSetting.empty() && !reader.IsOption(setting.first))
                unknownSetting = "Unknown option " + ToUtf8(setting.first) + "; did you mean " +
                                 ToUtf8(reader.NearestKey(setting.first)) + "?";

        // Mistyped keys and values, told once the log follows DebugLevel.
        // A program or a picture given as the configuration: one line for
        // it rather than its bytes told as mistyped options.
        if (text.HoldsZero()) {
            Log(6, "? Config file " + ToUtf8(fileName) +
                       " is not a text file: it holds zero bytes, as a program, a picture or "
                       "UTF-16 saved without its byte-order mark does");
        } else {
            const std::vector<std::string> notices = reader.Report();
            for (const std::string& notice : notices)
                Log(6, notice);
            // A file with nothing to tell and nothing set is no configuration.
            if (notices.empty() && !text.Empty() && !reader.SetsAnyOption())
                Log(6, "? Config file " + ToUtf8(fileName) +
                           " sets no option (no line such as BookName=...): is it a "
                           "configuration? Every option keeps its default");
        }
    } catch (const std::exception& error) {
        Log(3, "Can't read config file: " + ToUtf8(fileName) + "; " + error.what());
        throw TBookError("Can't read config file " + ToUtf8(fileName));
    }
    if (!unknownSetting.empty()) throw TBookError(unknownSetting);
}

} // namespace paginor
