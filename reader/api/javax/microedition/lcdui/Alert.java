// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class Alert extends Screen {
    public static final int FOREVER = -2;
    public Alert(String title) {}
    public Alert(String title, String alertText, Image alertImage, AlertType alertType) {}
    public native int getDefaultTimeout();
    public native int getTimeout();
    public native void setTimeout(int time);
    public native AlertType getType();
    public native void setType(AlertType type);
    public native String getString();
    public native void setString(String str);
    public native Image getImage();
    public native void setImage(Image img);
}
