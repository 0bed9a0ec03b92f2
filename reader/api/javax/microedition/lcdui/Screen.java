// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public abstract class Screen extends Displayable {
    Screen() {}
    public native String getTitle();
    public native void setTitle(String s);
    public native Ticker getTicker();
    public native void setTicker(Ticker ticker);
}
