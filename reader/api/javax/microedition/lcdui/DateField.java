// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class DateField extends Item {
    public static final int DATE = 1;
    public static final int TIME = 2;
    public static final int DATE_TIME = 3;
    public DateField(String label, int mode) {}
    public DateField(String label, int mode, java.util.TimeZone timeZone) {}
    public native java.util.Date getDate();
    public native void setDate(java.util.Date date);
    public native int getInputMode();
    public native void setInputMode(int mode);
}
