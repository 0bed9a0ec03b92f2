#include "platform/FontRenderer.h"

#include "core/bVar.h"

#include <algorithm>
#include <cmath>

#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace paginor {

namespace {

// Sizes outside this range give no readable bitmap font (and a cell of more
// than 32 rows is cut by the font files anyway).
constexpr int kMinPoints = 1;
constexpr int kMaxPoints = 200;
constexpr int kPointsPerInch = 72;
constexpr FT_UShort kBoldWeight = 600; // OS/2 weight class of semi-bold
constexpr FT_UInt kMissingGlyph = 0;   // glyph index of the font's missing-glyph box

std::string FcString(const FcPattern* pattern, const char* key) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, key, 0, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

int FcInteger(const FcPattern* pattern, const char* key, int fallback) {
    int value = 0;
    return FcPatternGetInteger(pattern, key, 0, &value) == FcResultMatch ? value : fallback;
}

// Whether one of the family names of the match is the requested name, ignoring case.
bool HasFamily(const FcPattern* pattern, const std::u16string& name) {
    const std::u16string wanted = LowerCase(name);
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        if (value && LowerCase(FromUtf8(reinterpret_cast<const char*>(value))) == wanted)
            return true;
    return false;
}

// Whole pixels from 26.6 fixed point, rounding up.
int CeilPixels(FT_Pos value) {
    return static_cast<int>((value + 63) >> 6);
}

// Whole pixels from 26.6 fixed point, rounding to nearest.
int RoundPixels(FT_Pos value) {
    return static_cast<int>((value + 32) >> 6);
}

std::string CodeText(char16_t c) {
    static const char* digits = "0123456789ABCDEF";
    std::string text = "U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += digits[(c >> shift) & 15];
    return text;
}

} // namespace

TMonoBitmap::TMonoBitmap(int width, int height)
    : Width(std::max(width, 0)), Height(std::max(height, 0)),
      Pixels(static_cast<size_t>(Width) * Height, 0) {}

TFontMatch TFontRenderer::FindFont(const TFontDesc& font) {
    // A private configuration, released with everything it found: the
    // library's process-wide default would outlive the run.
    TFcConfigPtr config(FcInitLoadConfigAndFonts());
    if (!config) throw TBookError("Can't load the font configuration");
    TFcPatternPtr pattern(FcPatternCreate());
    if (!pattern) throw TBookError("Out of memory");
    const std::string name = ToUtf8(font.Name);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    // The system configuration maps the names users know ("Arial", "Times
    // New Roman") onto installed metric-compatible families.
    FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    TFcPatternPtr match(FcFontMatch(config.get(), pattern.get(), &result));
    if (!match) throw TBookError("No installed font matches " + name);

    TFontMatch found;
    found.File = FcString(match.get(), FC_FILE);
    if (found.File.empty()) throw TBookError("No installed font file matches " + name);
    found.Index = FcInteger(match.get(), FC_INDEX, 0);
    found.Family = FcString(match.get(), FC_FAMILY);
    found.Style = FcString(match.get(), FC_STYLE);
    found.Named = HasFamily(match.get(), font.Name);
    return found;
}

TFontRenderer::TFontRenderer(const TFontDesc& font) : Found(FindFont(font)) {
    const std::string name = ToUtf8(font.Name);
    if (font.Size < kMinPoints || font.Size > kMaxPoints)
        throw TBookError("Font " + name + " has size " + std::to_string(font.Size) + ", expected " +
                         std::to_string(kMinPoints) + " to " + std::to_string(kMaxPoints) +
                         " points");
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw TBookError("Can't start the font renderer");
    Library.reset(library);
    FT_Face face = nullptr;
    if (FT_New_Face(Library.get(), Found.File.c_str(), Found.Index, &face) != 0)
        throw TBookError("Can't open font file " + Found.File);
    Face.reset(face);
    if (!FT_IS_SCALABLE(face)) throw TBookError("Font file " + Found.File + " is not scalable");
    // Unicode is the charmap FreeType selects by default when the font has one.
    if (!face->charmap)
        throw TBookError("Font file " + Found.File + " has no Unicode character map");

    // The face's own style decides; the match pattern echoes the request.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const bool boldFace = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ||
                          (os2 && os2->version != 0xFFFF && os2->usWeightClass >= kBoldWeight);
    const bool italicFace = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    SynthBold = font.Bold && !boldFace;
    SynthItalic = font.Italic && !italicFace;

    std::string taken = Found.Family + " " + Found.Style + " from " + Found.File;
    if (SynthBold) taken += ", bold synthesised";
    if (SynthItalic) taken += ", italic synthesised";
    if (Found.Named)
        Log(7, ".. Font " + name + ": " + taken);
    else
        Log(6, ".. Font " + name + " is not installed, using nearest match " + taken);

    // Points at 96 dpi, rounded like a desktop renderer's MulDiv.
    PixelsPerEm = static_cast<int>(
        (static_cast<long>(font.Size) * kDotsPerInch * 2 + kPointsPerInch) / (2 * kPointsPerInch));
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(PixelsPerEm)) != 0)
        throw TBookError("Can't set size " + std::to_string(font.Size) + " of font " + name);

    // The cell is the one a desktop renderer uses: the Windows ascent and
    // descent of the OS/2 table when present, otherwise the horizontal header,
    // each rounded up so that no glyph inside them is cut.
    FT_Pos ascent = face->ascender;
    FT_Pos descent = -face->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    }
    const FT_Fixed scale = face->size->metrics.y_scale;
    AscentPx = CeilPixels(FT_MulFix(ascent, scale));
    DescentPx = std::max(CeilPixels(FT_MulFix(descent, scale)), 0);
}

void TFontRenderer::LoadGlyph(char16_t c) const {
    FT_Face face = Face.get();
    const FT_UInt glyph = FT_Get_Char_Index(face, c);
    FT_Int32 flags = FT_LOAD_TARGET_MONO;
    if (SynthItalic) flags |= FT_LOAD_NO_BITMAP; // slanting needs the outline
    if (FT_Load_Glyph(face, glyph, flags) != 0)
        throw TBookError("Can't render character " + CodeText(c) + " of font " + Found.File);
    FT_GlyphSlot slot = face->glyph;
    if (SynthItalic && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(slot);
    if (!SynthBold) return;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // Like a desktop renderer's synthetic bold: strokes grow sideways by
        // whole pixels and the advance by as much, so the text stays crisp.
        const FT_Pos strength = 64 * std::max(1, (PixelsPerEm + 12) / 24);
        FT_Outline_EmboldenXY(&slot->outline, strength, 0);
        if (slot->advance.x != 0) {
            slot->advance.x += strength;
            slot->metrics.horiAdvance += strength;
        }
    } else {
        FT_GlyphSlot_Embolden(slot);
    }
}

int TFontRenderer::AdvanceWidth(char16_t c) const {
    if (FT_Get_Char_Index(Face.get(), c) == kMissingGlyph) return 0;
    LoadGlyph(c);
    return std::max(RoundPixels(Face->glyph->advance.x), 0);
}

int TFontRenderer::TextWidth(std::u16string_view text) const {
    int width = 0;
    for (char16_t c : text) {
        LoadGlyph(c);
        width += std::max(RoundPixels(Face->glyph->advance.x), 0);
    }
    return width;
}

TMonoBitmap TFontRenderer::Render(std::u16string_view text, int width) const {
    TMonoBitmap bitmap(width, CellHeight());
    FT_GlyphSlot slot = Face->glyph;
    int pen = 0;
    for (char16_t c : text) {
        LoadGlyph(c);
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
            throw TBookError("Can't render character " + CodeText(c) + " of font " + Found.File);
        const FT_Bitmap& glyph = slot->bitmap;
        const int rows = static_cast<int>(glyph.rows);
        const int columns = static_cast<int>(glyph.width);
        // With a negative pitch the buffer starts at the bottom row.
        const unsigned char* top = glyph.buffer;
        if (glyph.pitch < 0 && rows > 0) top -= static_cast<ptrdiff_t>(glyph.pitch) * (rows - 1);
        const int left = pen + slot->bitmap_left;
        const int up = AscentPx - slot->bitmap_top;
        for (int row = 0; row < rows; ++row) {
            const int y = up + row;
            if (y < 0 || y >= bitmap.Height) continue;
            const unsigned char* line = top + static_cast<ptrdiff_t>(glyph.pitch) * row;
            for (int column = 0; column < columns; ++column) {
                const int x = left + column;
                if (x < 0 || x >= bitmap.Width) continue;
                bool ink = false;
                switch (glyph.pixel_mode) {
                case FT_PIXEL_MODE_MONO:
                    ink = (line[column >> 3] & (0x80 >> (column & 7))) != 0;
                    break;
                case FT_PIXEL_MODE_GRAY:
                    ink = line[column] >= 128;
                    break;
                case FT_PIXEL_MODE_BGRA:
                    ink = line[column * 4 + 3] >= 128;
                    break;
                default:
                    break;
                }
                if (ink) bitmap.Set(x, y);
            }
        }
        pen += std::max(RoundPixels(slot->advance.x), 0);
    }
    return bitmap;
}

} // namespace paginor
