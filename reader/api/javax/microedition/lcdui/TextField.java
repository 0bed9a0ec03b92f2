// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public class TextField extends Item {
    public static final int ANY = 0;
    public static final int EMAILADDR = 1;
    public static final int NUMERIC = 2;
    public static final int PHONENUMBER = 3;
    public static final int URL = 4;
    public static final int PASSWORD = 0x10000;
    public static final int CONSTRAINT_MASK = 0xFFFF;
    public TextField(String title, String text, int maxSize, int constraints) {}
    public native String getString();
    public native void setString(String text);
    public native int getChars(char[] data);
    public native void setChars(char[] data, int offset, int length);
    public native void insert(String src, int position);
    public native void insert(char[] data, int offset, int length, int position);
    public native void delete(int offset, int length);
    public native int getMaxSize();
    public native int setMaxSize(int maxSize);
    public native int size();
    public native int getCaretPosition();
    public native void setConstraints(int constraints);
    public native int getConstraints();
}
