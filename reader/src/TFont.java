import javax.microedition.lcdui.Font;
import javax.microedition.lcdui.Graphics;

// One font type of the reader: a phone font. TLoadableFont replaces the
// measuring and drawing with the bitmaps of a font file.
public class TFont {
    // Cell height in pixels.
    int height;
    private Font font;

    TFont() {}

    // A phone font of the given face, style and size (Font constants).
    TFont(int face, int style, int size) {
        font = Font.getFont(face, style, size);
        height = font.getHeight();
    }

    int charWidth(char c) {
        return font.charWidth(c);
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
