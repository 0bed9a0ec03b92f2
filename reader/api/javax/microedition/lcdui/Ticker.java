// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class Ticker {
    public Ticker(String str) {}
    public native void setString(String str);
    public native String getString();
}
