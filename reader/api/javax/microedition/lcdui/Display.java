// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class Display {
    Display() {}
    public static native Display getDisplay(javax.microedition.midlet.MIDlet m);
    public native boolean isColor();
    public native int numColors();
    public native Displayable getCurrent();
    public native void setCurrent(Displayable nextDisplayable);
    public native void setCurrent(Alert alert, Displayable nextDisplayable);
    public native void callSerially(Runnable r);
}
