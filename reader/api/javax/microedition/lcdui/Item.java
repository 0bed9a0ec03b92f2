// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public abstract class Item {
    Item() {}
    public native void setLabel(String label);
    public native String getLabel();
}
