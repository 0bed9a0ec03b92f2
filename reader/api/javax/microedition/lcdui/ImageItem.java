// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class ImageItem extends Item {
    public static final int LAYOUT_DEFAULT = 0;
    public static final int LAYOUT_LEFT = 1;
    public static final int LAYOUT_RIGHT = 2;
    public static final int LAYOUT_CENTER = 3;
    public static final int LAYOUT_NEWLINE_BEFORE = 0x100;
    public static final int LAYOUT_NEWLINE_AFTER = 0x200;
    public ImageItem(String label, Image img, int layout, String altText) {}
    public native Image getImage();
    public native void setImage(Image img);
    public native String getAltText();
    public native void setAltText(String text);
    public native int getLayout();
    public native void setLayout(int layout);
}
