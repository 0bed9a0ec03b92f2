import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Graphics;

// One font type of the reader: a phone font. TLoadableFont replaces the
// measuring and drawing with the bitmaps of a font file.
public class TFont {
    // Cell height in pixels.
    int height;
    private Font font;
    private int face;
    private int style;
    private int size;
    // The font of chapter headings, made on first need.
    TFont heading;

    TFont() {}

    // A phone font of the given face, style and size (Font constants).
    TFont(int face, int style, int size) {
        this.face = face;
        this.style = style;
        this.size = size;
        font = Font.getFont(face, style, size);
        height = font.getHeight();
    }

    // The font of chapter headings: bold and a size larger; underlined
    // when the font is the large bold one already.
    TFont heading() {
        if (heading == null) {
            int larger = size == Font.SIZE_SMALL ? Font.SIZE_MEDIUM : Font.SIZE_LARGE;
            boolean same = larger == size && (style & Font.STYLE_BOLD) != 0;
            heading = new TFont(face, Font.STYLE_BOLD | (same ? Font.STYLE_UNDERLINED : 0), larger);
        }
        return heading;
    }

    int charWidth(char c) {
        return font.charWidth(c);
    }

    // Whether the font draws c (a phone font draws every character).
    boolean has(char c) {
        return true;
    }

    // Whether the font can draw turned by a quarter (phone fonts cannot).
    boolean turns() {
        return false;
    }

    // Draws c with its cell's top-left corner at (x, y) of the page; the
    // colour is already set. Phone fonts draw upright only.
    void drawChar(Graphics g, char c, int x, int y) {
        g.setFont(font);
        g.drawChar(c, x, y, Graphics.TOP | Graphics.LEFT);
    }
}
