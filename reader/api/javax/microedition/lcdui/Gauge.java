// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class Gauge extends Item {
    public Gauge(String label, boolean interactive, int maxValue, int initialValue) {}
    public native void setValue(int value);
    public native int getValue();
    public native void setMaxValue(int maxValue);
    public native int getMaxValue();
    public native boolean isInteractive();
}
