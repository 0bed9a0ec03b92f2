package javax.microedition.lcdui;

import java.awt.Graphics2D;
import java.awt.RenderingHints;

/** Host implementation over an AWT graphics context. */
public class Graphics {
    public static final int HCENTER = 1;
    public static final int VCENTER = 2;
    public static final int LEFT = 4;
    public static final int RIGHT = 8;
    public static final int TOP = 16;
    public static final int BOTTOM = 32;
    public static final int BASELINE = 64;
    public static final int SOLID = 0;
    public static final int DOTTED = 1;

    private final Graphics2D g;
    private final int surfaceWidth;
    private final int surfaceHeight;
    private int tx;
    private int ty;
    private int color;
    private int stroke = SOLID;
    private Font font = Font.getDefaultFont();
    private int cx, cy, cw, ch; // clip, untranslated

    Graphics(Graphics2D g, int width, int height) {
        this.g = g;
        surfaceWidth = width;
        surfaceHeight = height;
        g.setRenderingHint(RenderingHints.KEY_TEXT_ANTIALIASING, RenderingHints.VALUE_TEXT_ANTIALIAS_OFF);
        g.setRenderingHint(RenderingHints.KEY_ANTIALIASING, RenderingHints.VALUE_ANTIALIAS_OFF);
        setClip(0, 0, width, height);
        setColor(0);
    }

    public void translate(int x, int y) { tx += x; ty += y; }
    public int getTranslateX() { return tx; }
    public int getTranslateY() { return ty; }
    public int getColor() { return color; }
    public int getRedComponent() { return (color >> 16) & 255; }
    public int getGreenComponent() { return (color >> 8) & 255; }
    public int getBlueComponent() { return color & 255; }
    public int getGrayScale() { return (getRedComponent() + getGreenComponent() + getBlueComponent()) / 3; }

    public void setColor(int red, int green, int blue) {
        if (((red | green | blue) & ~255) != 0) throw new IllegalArgumentException("colour component");
        setColor((red << 16) | (green << 8) | blue);
    }

    public void setColor(int rgb) {
        color = rgb & 0xffffff;
        g.setColor(new java.awt.Color(color));
    }

    public void setGrayScale(int value) { setColor(value, value, value); }
    public Font getFont() { return font; }
    public void setStrokeStyle(int style) { stroke = style; }
    public int getStrokeStyle() { return stroke; }
    public void setFont(Font f) { font = f == null ? Font.getDefaultFont() : f; }
    public int getClipX() { return cx - tx; }
    public int getClipY() { return cy - ty; }
    public int getClipWidth() { return cw; }
    public int getClipHeight() { return ch; }

    public void clipRect(int x, int y, int width, int height) {
        int x1 = Math.max(cx, x + tx), y1 = Math.max(cy, y + ty);
        int x2 = Math.min(cx + cw, x + tx + width), y2 = Math.min(cy + ch, y + ty + height);
        applyClip(x1, y1, Math.max(0, x2 - x1), Math.max(0, y2 - y1));
    }

    public void setClip(int x, int y, int width, int height) {
        int x1 = Math.max(0, x + tx), y1 = Math.max(0, y + ty);
        int x2 = Math.min(surfaceWidth, x + tx + width), y2 = Math.min(surfaceHeight, y + ty + height);
        applyClip(x1, y1, Math.max(0, x2 - x1), Math.max(0, y2 - y1));
    }

    private void applyClip(int x, int y, int w, int h) {
        cx = x; cy = y; cw = w; ch = h;
        g.setClip(x, y, w, h);
    }

    public void drawLine(int x1, int y1, int x2, int y2) { g.drawLine(x1 + tx, y1 + ty, x2 + tx, y2 + ty); }
    public void fillRect(int x, int y, int width, int height) { if (width > 0 && height > 0) g.fillRect(x + tx, y + ty, width, height); }
    public void drawRect(int x, int y, int width, int height) { if (width >= 0 && height >= 0) g.drawRect(x + tx, y + ty, width, height); }
    public void drawRoundRect(int x, int y, int w, int h, int aw, int ah) { g.drawRoundRect(x + tx, y + ty, w, h, aw, ah); }
    public void fillRoundRect(int x, int y, int w, int h, int aw, int ah) { g.fillRoundRect(x + tx, y + ty, w, h, aw, ah); }
    public void fillArc(int x, int y, int w, int h, int sa, int aa) { g.fillArc(x + tx, y + ty, w, h, sa, aa); }
    public void drawArc(int x, int y, int w, int h, int sa, int aa) { g.drawArc(x + tx, y + ty, w, h, sa, aa); }

    public void drawString(String str, int x, int y, int anchor) {
        if (str == null) throw new NullPointerException();
        int w = font.stringWidth(str);
        g.setFont(font.awt);
        g.drawString(str, x + tx - anchorX(anchor, w), y + ty + baselineOffset(anchor));
    }

    public void drawSubstring(String str, int offset, int len, int x, int y, int anchor) {
        drawString(str.substring(offset, offset + len), x, y, anchor);
    }

    public void drawChar(char character, int x, int y, int anchor) {
        drawString(String.valueOf(character), x, y, anchor);
    }

    public void drawChars(char[] data, int offset, int length, int x, int y, int anchor) {
        drawString(new String(data, offset, length), x, y, anchor);
    }

    public void drawImage(Image img, int x, int y, int anchor) {
        if (img == null) throw new NullPointerException();
        int ax = anchorX(anchor, img.getWidth());
        int ay = (anchor & VCENTER) != 0 ? img.getHeight() / 2 : (anchor & BOTTOM) != 0 ? img.getHeight() : 0;
        if ((anchor & BASELINE) != 0) throw new IllegalArgumentException("BASELINE for an image");
        g.drawImage(img.pixels, x + tx - ax, y + ty - ay, null);
    }

    /** MIDP 2.0: draws a region of an image turned or mirrored (Sprite.TRANS_*). */
    public void drawRegion(Image src, int xs, int ys, int w, int h, int transform, int xd, int yd, int anchor) {
        java.awt.image.BufferedImage part = src.pixels.getSubimage(xs, ys, w, h);
        boolean swap = transform >= 4;
        int tw = swap ? h : w, th = swap ? w : h;
        java.awt.geom.AffineTransform t = new java.awt.geom.AffineTransform();
        switch (transform) {
            case 0: break;                                                  // none
            case 1: t.translate(0, h); t.scale(1, -1); break;               // mirror, rotate 180
            case 2: t.translate(w, 0); t.scale(-1, 1); break;               // mirror
            case 3: t.translate(w, h); t.rotate(Math.PI); break;            // rotate 180
            case 4: t = new java.awt.geom.AffineTransform(0, 1, 1, 0, 0, 0); break;    // mirror, rotate 270
            case 5: t = new java.awt.geom.AffineTransform(0, 1, -1, 0, h, 0); break;  // rotate 90
            case 6: t = new java.awt.geom.AffineTransform(0, -1, 1, 0, 0, w); break;  // rotate 270
            case 7: t = new java.awt.geom.AffineTransform(0, -1, -1, 0, h, w); break; // mirror, rotate 90
            default: throw new IllegalArgumentException("transform " + transform);
        }
        int ax = anchorX(anchor, tw);
        int ay = (anchor & VCENTER) != 0 ? th / 2 : (anchor & BOTTOM) != 0 ? th : 0;
        java.awt.geom.AffineTransform place = java.awt.geom.AffineTransform.getTranslateInstance(xd + tx - ax, yd + ty - ay);
        place.concatenate(t);
        g.drawImage(part, place, null);
    }

    private static int anchorX(int anchor, int width) {
        if ((anchor & HCENTER) != 0) return width / 2;
        if ((anchor & RIGHT) != 0) return width;
        return 0;
    }

    private int baselineOffset(int anchor) {
        if ((anchor & BASELINE) != 0) return 0;
        if ((anchor & BOTTOM) != 0) return -font.metrics.getDescent();
        if ((anchor & VCENTER) != 0) throw new IllegalArgumentException("VCENTER for text");
        return font.metrics.getAscent(); // TOP or no vertical anchor
    }
}
