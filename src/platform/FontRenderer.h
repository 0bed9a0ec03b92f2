// TFontRenderer: a desktop font found by the name users know (fontconfig) and
// rendered by FreeType into black-and-white glyph images, the way a phone's
// bitmap font needs them.
//
// Metrics follow the screen model of a desktop text renderer: the size in
// points is taken at 96 dots per inch, the cell is ascent + descent pixels
// high, text is drawn with the top-left corner of its cell at (0, 0) and every
// character advances the pen by its own whole-pixel advance width (no
// kerning). Glyphs are hinted for monochrome output.
#pragma once

#include "config/bConfig.h"
#include "core/bObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace paginor {

// RAII owners of the library handles.
struct TFtLibraryCloser {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct TFtFaceCloser {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct TFcConfigCloser {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct TFcPatternCloser {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TFtLibraryPtr = std::unique_ptr<FT_LibraryRec_, TFtLibraryCloser>;
using TFtFacePtr = std::unique_ptr<FT_FaceRec_, TFtFaceCloser>;
using TFcConfigPtr = std::unique_ptr<FcConfig, TFcConfigCloser>;
using TFcPatternPtr = std::unique_ptr<FcPattern, TFcPatternCloser>;

// A black-and-white image, one byte per pixel (1 ink, 0 background).
struct TMonoBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // row by row

    TMonoBitmap(int width, int height);
    bool Ink(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x] != 0; }
    void Set(int x, int y) { Pixels[static_cast<size_t>(y) * Width + x] = 1; }
};

// The font file fontconfig chose for a requested font.
struct TFontMatch {
    std::string File;    // path of the font file
    int Index = 0;       // face index inside the file (font collections)
    std::string Family;  // family name as the file gives it
    std::string Style;   // style name as the file gives it
    bool Bold = false;   // the face itself is bold (weight demibold or more)
    bool Italic = false; // the face itself is italic or oblique
    bool Named = false;  // one of its family names is the requested name
};

class TFontRenderer : public TBookObject {
public:
    static constexpr int kDotsPerInch = 96;

    // Finds the font (nearest installed match when the name is unknown, and
    // the log says which file was taken), opens it and sets the size.
    // Bold and italic come from the family's own faces; when the family has
    // no such face they are synthesised. Raises TBookError when no usable
    // scalable font is found.
    explicit TFontRenderer(const TFontDesc& font);

    // What fontconfig offers for the font description, without opening it.
    static TFontMatch FindFont(const TFontDesc& font);

    const TFontMatch& Match() const { return Found; }
    int PixelSize() const { return PixelsPerEm; }
    int Ascent() const { return AscentPx; }
    int Descent() const { return DescentPx; }
    // The text cell height: ascent + descent.
    int CellHeight() const { return AscentPx + DescentPx; }
    // Whether bold or italic was asked for and the face found lacks it.
    bool SynthesisedBold() const { return SynthBold; }
    bool SynthesisedItalic() const { return SynthItalic; }

    // Advance width of one character in pixels; 0 when the font has no glyph
    // for it or the glyph does not advance (a combining mark).
    int AdvanceWidth(char16_t c) const;
    // Width of a string drawn in one go: the sum of its advances, a character
    // the font lacks counting with the font's missing-glyph box.
    int TextWidth(std::u16string_view text) const;
    // Draws the string with its cell's top-left corner at (0, 0) on a white
    // bitmap of the given width and the cell height; ink outside is clipped.
    TMonoBitmap Render(std::u16string_view text, int width) const;

private:
    // Loads the glyph of c into the face's slot with the synthesised styles
    // applied, as an outline or a bitmap ready for rendering.
    void LoadGlyph(char16_t c) const;

    TFontMatch Found;
    TFtLibraryPtr Library;
    TFtFacePtr Face;
    int PixelsPerEm = 0;
    int AscentPx = 0;
    int DescentPx = 0;
    bool SynthBold = false;
    bool SynthItalic = false;
};

} // namespace paginor
