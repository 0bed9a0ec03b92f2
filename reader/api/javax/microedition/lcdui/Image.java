// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class Image {
    Image() {}
    public static native Image createImage(int width, int height);
    public static native Image createImage(Image source);
    public static native Image createImage(String name) throws java.io.IOException;
    public static native Image createImage(byte[] imageData, int imageOffset, int imageLength);
    public native Graphics getGraphics();
    public native int getWidth();
    public native int getHeight();
    public native boolean isMutable();
}
