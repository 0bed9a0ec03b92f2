// Loadable fonts: every character of the book rendered in each configured
// desktop font and written as the reader's bitmap font files.
//
// One font is a stream of 32-bit big-endian words:
//   H (the cell height), then 16 groups g = 0..15, each a count of the words
//   that follow in the group and, for each character whose code's low four
//   bits are g (in character-set order), its code, its width W and W column
//   words (bit k = row k from the top is ink; rows beyond 32 are cut).
// The stream is cut into files "font" f "p" m ".dat" of 2048 words each; the
// last file holds the rest and is empty when the stream fills the one before
// exactly, so the reader stops at the first file shorter than 2048 words.
#include "midlet/bMidlet.h"

#include "core/bVar.h"
#include "midlet/bByteOrder.h"
#include "platform/FontRenderer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace paginor {

namespace {

constexpr int kFontGroups = 16;
constexpr int kColumnBits = 32;
constexpr size_t kFontPieceWords = 2048;
// The most words one font may have: 512 KiB, the whole heap of the smallest
// phones the reader runs on. A larger font could never be loaded, so the
// converter refuses it with a clear error before any file is written
// instead of writing a font that breaks the midlet.
constexpr size_t kMaxFontWords = 131072;
constexpr char16_t kBlank = u' ';

// The column word of column x: bit k is row k from the top.
uint32_t ColumnWord(const TMonoBitmap& glyph, int x) {
    uint32_t word = 0;
    for (int k = std::min(glyph.Height, kColumnBits) - 1; k >= 0; --k)
        word = (word << 1) | (glyph.Ink(x, k) ? 1u : 0u);
    return word;
}

// What is drawn for a character: the character alone when the font gives it
// an advance, otherwise a blank followed by it (a combining mark then sits on
// the blank, a missing character shows the font's missing-glyph box).
std::u16string DrawnText(char16_t c, int advance) {
    return advance != 0 ? std::u16string(1, c) : std::u16string{kBlank, c};
}

// The whole word stream of one font.
std::vector<uint32_t> BuildFontWords(const TFontRenderer& renderer, const std::u16string& charset,
                                     const std::string& fontName) {
    // Width pass: every character's width, and the stream size they give.
    std::vector<int> advances(charset.size());
    std::vector<int> widths(charset.size());
    size_t total = 1 + kFontGroups;
    for (size_t i = 0; i < charset.size(); ++i) {
        advances[i] = renderer.AdvanceWidth(charset[i]);
        widths[i] =
            advances[i] != 0 ? advances[i] : renderer.TextWidth(DrawnText(charset[i], advances[i]));
        total += 2 + static_cast<size_t>(widths[i]);
    }
    if (total > kMaxFontWords)
        throw TBookError("Font " + fontName + " needs " + std::to_string(total) +
                         " words for the book's " + std::to_string(charset.size()) +
                         " characters, more than the " + std::to_string(kMaxFontWords) +
                         " a loadable font can hold; choose a smaller font");

    std::vector<uint32_t> words;
    words.reserve(total);
    words.push_back(static_cast<uint32_t>(renderer.CellHeight()));
    for (int group = 0; group < kFontGroups; ++group) {
        const size_t countSlot = words.size();
        words.push_back(0);
        for (size_t i = 0; i < charset.size(); ++i) {
            const char16_t c = charset[i];
            if ((c & (kFontGroups - 1)) != group) continue;
            const TMonoBitmap glyph = renderer.Render(DrawnText(c, advances[i]), widths[i]);
            words.push_back(c);
            words.push_back(static_cast<uint32_t>(widths[i]));
            for (int x = 0; x < widths[i]; ++x)
                words.push_back(ColumnWord(glyph, x));
        }
        words[countSlot] = static_cast<uint32_t>(words.size() - countSlot - 1);
    }
    return words;
}

} // namespace

void TBookMidlet::WriteFonts() {
    if (Config->FontCount() == 0) return;
    const std::u16string charset = BookText ? BookText->BuildCharset() : std::u16string();
    int fontIndex = 0;
    for (const auto& font : Config->Fonts)
        if (font) ConvertFont(charset, *font, fontIndex++, Config->Temp1Dir);
}

int TBookMidlet::ConvertFont(const std::u16string& charset, const TFontDesc& font, int fontIndex,
                             const std::u16string& folder) {
    const std::string fontName = ToUtf8(font.Name);
    std::u16string path; // the piece being written
    try {
        Log(7, ".. Converting font " + fontName);
        const TFontRenderer renderer(font);
        const std::vector<uint32_t> words = BuildFontWords(renderer, charset, fontName);
        const std::string height = std::to_string(renderer.CellHeight());

        int piece = 0;
        size_t start = 0;
        do {
            path = folder + u"/font" + IntToStr(fontIndex) + u"p" + IntToStr(piece) + u".dat";
            Log(7, ".. Writing loadable font " + fontName + " [" + height + "] into file " +
                       ToUtf8(path));
            const size_t end = std::min(words.size(), start + kFontPieceWords);
            std::string bytes;
            bytes.reserve((end - start) * 4);
            for (size_t i = start; i < end; ++i)
                PutBigEndian32(bytes, words[i]);
            WriteAnsiFile(bytes, path);
            Log(7, "+ Font file saved " + ToUtf8(path));
            start += kFontPieceWords;
            ++piece;
        } while (start <= words.size());
        return piece;
    } catch (const std::exception& error) {
        Log(3, std::string("- ") + error.what());
        throw TBookError("! Can't save font file " + ToUtf8(path));
    }
}

} // namespace paginor
