#include "config/bConfig.h"

#include "core/bVar.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unordered_map>

namespace paginor {

namespace {

const std::u16string kLineBreak = u"\r\n";

// Keys are short words; a longer run before "=" cannot be one, so the index
// does not need to look further.
constexpr size_t kMaxKeyLength = 64;

// The decoded configuration text with an index of its option lines. A key is
// found at the very start of the text (compared without regard to case) or
// directly after a CR LF (exact case); the first occurrence counts, and one at
// the start of the text counts over all others. The index is built in one pass
// so that the ~2100 lookups of one read do not each rescan the text.
class TConfigText {
public:
    explicit TConfigText(std::u16string text) : Text(std::move(text)) {
        if (auto key = KeyAt(0)) FirstLineKey = LowerCase(*key);
        for (size_t pos = Text.find(kLineBreak); pos != std::u16string::npos;
             pos = Text.find(kLineBreak, pos + 1)) {
            const size_t start = pos + kLineBreak.size();
            if (auto key = KeyAt(start)) ValueStarts.emplace(*key, start + key->size() + 1);
        }
    }

    // The trimmed value of the key, or nothing when the text has no option
    // line for it.
    std::optional<std::u16string> Find(const std::u16string& key) const {
        size_t start;
        if (FirstLineKey && *FirstLineKey == LowerCase(key)) {
            start = key.size() + 1;
        } else {
            auto it = ValueStarts.find(key);
            if (it == ValueStarts.end()) return std::nullopt;
            start = it->second;
        }
        size_t end = Text.find(kLineBreak, start);
        if (end == std::u16string::npos) end = Text.size();
        return TrimControls(std::u16string_view(Text).substr(start, end - start));
    }

private:
    // The text between pos and the next "=" when it could be a key: short and
    // without a line break.
    std::optional<std::u16string> KeyAt(size_t pos) const {
        for (size_t i = pos; i < Text.size() && i - pos <= kMaxKeyLength; ++i) {
            if (Text[i] == u'=') return Text.substr(pos, i - pos);
            if (Text[i] == u'\r' || Text[i] == u'\n') break;
        }
        return std::nullopt;
    }

    std::u16string Text;
    std::optional<std::u16string> FirstLineKey; // lower-cased
    std::unordered_map<std::u16string, size_t> ValueStarts;
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

void TBookConfig::ReadConfig(const std::u16string& fileName) {
    try {
        const TConfigText text(LoadTextFile(fileName));

        auto readString = [&](const std::u16string& key, const std::u16string& fallback) {
            return text.Find(key).value_or(fallback);
        };
        auto readInteger = [&](const std::u16string& key, int fallback) {
            return ParseConfigInteger(readString(key, u"")).value_or(fallback);
        };
        auto readBoolean = [&](const std::u16string& key, bool fallback) {
            const std::u16string value = readString(key, u"");
            return value.empty() ? fallback : LowerCase(value) == u"true";
        };
        auto numbered = [](const char16_t* base, int n) { return base + IntToStr(n); };

        BookName = readString(u"BookName", u"TestBook");
        BookInfo = readString(u"BookInfo", Widen(kDefaultBookInfo));
        OutputDir = readString(u"OutputDir", u".");
        TextFileName = readString(u"TextFileName", u"text.txt");
        IconFileName = readString(u"IconFileName", u"");
        LinkLFileName = readString(u"LinkLFileName", u"");
        LinkPFileName = readString(u"LinkPFileName", u"");
        BackgroundFileName = readString(u"BackgroundFileName", u"");

        PasswordMode = readInteger(u"PasswordMode", 0);
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

        for (int n = 1; n <= kFontSlots; ++n) {
            const std::u16string name = readString(numbered(u"FontName", n), u"");
            if (name.empty()) continue;
            TFontDesc font;
            font.Name = name;
            font.Size = readInteger(numbered(u"FontSize", n), 8 + n);
            font.Bold = readBoolean(numbered(u"Font.Bold", n), false);
            font.Italic = readBoolean(numbered(u"Font.Italic", n), false);
            Fonts[n - 1] = font;
        }

        TextPartSize = readInteger(u"TextPartSize", 0);
        TextPartCount = readInteger(u"TextPartCount", 0);
        TextHead = readString(u"TextHead", u"");
        TextTail = readString(u"TextTail", u"");
        TextPartHead = readString(u"TextPartHead", u"");
        TextPartTail = readString(u"TextPartTail", u"");
        TextPartLink = readString(u"TextPartLink", u"");

        FormatEn = readBoolean(u"FormatEn", false);
        TagsEn = readBoolean(u"TagsEn", kDefaultTagsEn);

        SplashTimeout = readInteger(u"SplashTimeout", kDefaultSplashTimeout);
        SplashFileName = readString(u"SplashFileName", u"");

        LineSpacing = readInteger(u"LineSpacing", 0);
        CharSpacing = readInteger(u"CharSpacing", 0);
        WordWrap = readBoolean(u"WordWrap", kDefaultWordWrap);
        PortraitLayout = readBoolean(u"PortraitLayout", kDefaultPortraitLayout);
        TextMargin = readInteger(u"TextMargin", kDefaultTextMargin);
        SmoothScroll = readInteger(u"SmoothScroll", kDefaultSmoothScroll);

        for (int n = 1; n <= kColorMaps; ++n) {
            BackColor[n - 1] = readInteger(numbered(u"BackColor", n), n == 1 ? 0xffffff : 0);
            FontColor[n - 1] = readInteger(numbered(u"FontColor", n), 0);
            LinkColor[n - 1] = readInteger(numbered(u"LinkColor", n), n == 1 ? 0xff : 0);
        }

        ImageMode = readInteger(u"ImageMode", kDefaultImageMode);
        ImageMargin = readInteger(u"ImageMargin", 0);
        ImagePngOptions = readString(u"ImagePngOptions", u"-resize 160x128> -depth 8");
        ImageJpgOptions = readString(u"ImageJpgOptions", u"-resize 160x128> -quality 100 -depth 8");

        for (int k = 0; k < kMidletTexts; ++k)
            MidletTexts[k] = readString(IntToStr(k), u"");
    } catch (const std::exception& error) {
        Log(3, "Can't read config file: " + ToUtf8(fileName) + "; " + error.what());
        throw TBookError("Can't read config file " + ToUtf8(fileName));
    }
}

} // namespace paginor
