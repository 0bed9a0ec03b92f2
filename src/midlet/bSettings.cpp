#include "midlet/bSettings.h"

#include "core/bVar.h"
#include "midlet/bByteOrder.h"
#include "midlet/bMidlet.h"

#include <exception>
#include <random>

namespace paginor {

void TSettingsWriter::WriteInt(int32_t value) {
    std::string bytes;
    PutBigEndian32(bytes, static_cast<uint32_t>(value));
    File.Write(bytes);
}

void TSettingsWriter::WriteString(std::u16string_view text) {
    std::string bytes;
    PutBigEndian32(bytes, static_cast<uint32_t>(text.size()));
    for (char16_t unit : text)
        PutBigEndian16(bytes, unit);
    File.Write(bytes);
}

std::u16string MakeCheckString(std::string_view key) {
    // FNV-1a of the key seeds the generator; the draws use the generator's
    // own output, which the standard fixes, so every build agrees.
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    std::seed_seq seed{static_cast<uint32_t>(hash), static_cast<uint32_t>(hash >> 32)};
    std::mt19937 generator(seed);
    std::u16string check;
    for (size_t i = 0; i < kCheckStringUnits; ++i)
        check += static_cast<char16_t>(kCheckStringBase + generator() % kCheckStringRange);
    return check;
}

int32_t PasswordCheckValue(std::u16string_view check, int32_t password) {
    uint32_t h = 0;
    for (size_t i = 0; i < check.size(); ++i) {
        const uint32_t unit =
            (static_cast<uint32_t>(check[i]) ^ static_cast<uint32_t>(password) ^ i) & 0xFFFF;
        h = (h << 1) ^ unit;
    }
    return static_cast<int32_t>(h);
}

int ValidColorSchemes(const TBookConfig& config) {
    int count = 0;
    for (int n = 0; n < kColorMaps; ++n)
        if (config.BackColor[n] != config.FontColor[n]) ++count;
    return count;
}

std::u16string LinkString(const TLinkItem& link) {
    if (link.Kind == 'l' || link.Kind == 't') return u"l" + IntToStr(link.FinalPosition);
    return link.Target;
}

void TBookMidlet::WriteSettings() {
    const TBookConfig& config = *Config;
    std::u16string path = config.Temp1Dir + u"/cfg.dat";
    try {
        Log(7, ".. Writing config file " + ToUtf8(path));
        TOutputFile file(ToPath(path));
        TSettingsWriter out(file);
        out.WriteInt(TextLength);
        out.WriteInt(config.LineSpacing);
        out.WriteInt(config.CharSpacing);
        out.WriteInt(config.WordWrap ? 1 : 0);
        out.WriteInt(config.PortraitLayout ? 1 : 0);

        const int schemes = ValidColorSchemes(config);
        if (schemes == 0) {
            Log(3, "There is no any valid color scheme");
            throw TBookError("There is no any valid color scheme");
        }
        out.WriteInt(schemes);
        for (int n = 0; n < kColorMaps; ++n) {
            if (config.BackColor[n] == config.FontColor[n]) continue;
            out.WriteInt(config.BackColor[n]);
            out.WriteInt(config.FontColor[n]);
            out.WriteInt(config.LinkColor[n]);
        }
        out.WriteInt(config.TextMargin);
        out.WriteInt(config.ImageMargin);
        out.WriteInt(config.SmoothScroll);
        out.WriteInt(config.SplashTimeout);
        out.WriteInt(config.FontCount());
        out.WriteInt(BookText->TocPosition);
        out.WriteInt(BookText->FirstLinkId);
        out.WriteInt(BookText->LastLinkId);

        BookText->ResolveFinalPositions();
        for (const TLinkItem& link : BookText->Links)
            out.WriteString(LinkString(link));

        out.WriteInt(config.PasswordMode);
        const std::u16string check = MakeCheckString(Name + "\n" + std::to_string(EntryTime));
        out.WriteString(check);
        out.WriteInt(PasswordCheckValue(check, config.Password));

        // Entry 813 carries BookInfo whenever either is set: the book's own
        // details (an FB2 header's title and author) reach the reader also
        // from a configuration without an "813" line.
        auto written = [&](size_t index) {
            return !config.MidletTexts[index].empty() ||
                   (static_cast<int>(index) == kBookInfoTextIndex && !config.BookInfo.empty());
        };
        int texts = 0;
        for (size_t index = 0; index < config.MidletTexts.size(); ++index)
            if (written(index)) ++texts;
        out.WriteInt(texts);
        for (size_t index = 0; index < config.MidletTexts.size(); ++index) {
            if (!written(index)) continue;
            out.WriteInt(static_cast<int32_t>(index));
            out.WriteString(static_cast<int>(index) == kBookInfoTextIndex
                                ? config.BookInfo
                                : config.MidletTexts[index]);
        }
        file.Close();
        Log(7, "+ Config file saved " + ToUtf8(path));

        path = config.Temp1Dir + u"/readme.txt";
        WriteReadme(path);
    } catch (const std::exception& e) {
        Log(3, std::string("- ") + e.what());
        throw TBookError("! Can't save config file " + ToUtf8(path));
    }
}

} // namespace paginor
