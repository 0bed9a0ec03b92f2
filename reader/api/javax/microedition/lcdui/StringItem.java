// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class StringItem extends Item {
    public StringItem(String label, String text) {}
    public native String getText();
    public native void setText(String text);
}
