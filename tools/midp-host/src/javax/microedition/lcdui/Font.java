package javax.microedition.lcdui;

import java.awt.image.BufferedImage;

/** Host implementation over AWT fonts, drawn without anti-aliasing like a phone. */
public final class Font {
    public static final int STYLE_PLAIN = 0;
    public static final int STYLE_BOLD = 1;
    public static final int STYLE_ITALIC = 2;
    public static final int STYLE_UNDERLINED = 4;
    public static final int SIZE_SMALL = 8;
    public static final int SIZE_MEDIUM = 0;
    public static final int SIZE_LARGE = 16;
    public static final int FACE_SYSTEM = 0;
    public static final int FACE_MONOSPACE = 32;
    public static final int FACE_PROPORTIONAL = 64;

    private static final java.awt.Graphics2D METRICS =
        new BufferedImage(1, 1, BufferedImage.TYPE_INT_RGB).createGraphics();
    final int face;
    final int style;
    final int size;
    final java.awt.Font awt;
    final java.awt.FontMetrics metrics;

    private Font(int face, int style, int size) {
        this.face = face;
        this.style = style;
        this.size = size;
        awt = awtFont(face, style, size);
        metrics = METRICS.getFontMetrics(awt);
    }

    static java.awt.Font awtFont(int face, int style, int size) {
        String name = face == FACE_MONOSPACE ? java.awt.Font.MONOSPACED : java.awt.Font.SANS_SERIF;
        int awtStyle = ((style & STYLE_BOLD) != 0 ? java.awt.Font.BOLD : 0)
            | ((style & STYLE_ITALIC) != 0 ? java.awt.Font.ITALIC : 0);
        int px = size == SIZE_SMALL ? 10 : size == SIZE_LARGE ? 15 : 12;
        return new java.awt.Font(name, awtStyle, px);
    }

    public static Font getDefaultFont() {
        return getFont(FACE_SYSTEM, STYLE_PLAIN, SIZE_MEDIUM);
    }

    public static Font getFont(int face, int style, int size) {
        if ((face != FACE_SYSTEM && face != FACE_MONOSPACE && face != FACE_PROPORTIONAL)
            || (size != SIZE_SMALL && size != SIZE_MEDIUM && size != SIZE_LARGE) || (style & ~7) != 0)
            throw new IllegalArgumentException("font " + face + "/" + style + "/" + size);
        return new Font(face, style, size);
    }

    public int getStyle() { return style; }
    public int getSize() { return size; }
    public int getFace() { return face; }
    public boolean isPlain() { return style == STYLE_PLAIN; }
    public boolean isBold() { return (style & STYLE_BOLD) != 0; }
    public boolean isItalic() { return (style & STYLE_ITALIC) != 0; }
    public boolean isUnderlined() { return (style & STYLE_UNDERLINED) != 0; }
    public int getHeight() { return metrics.getHeight(); }
    public int getBaselinePosition() { return metrics.getAscent(); }
    public int charWidth(char ch) { return metrics.charWidth(ch); }
    public int charsWidth(char[] ch, int offset, int length) { return metrics.charsWidth(ch, offset, length); }
    public int stringWidth(String str) { return metrics.stringWidth(str); }
    public int substringWidth(String str, int offset, int len) { return metrics.stringWidth(str.substring(offset, offset + len)); }
}
