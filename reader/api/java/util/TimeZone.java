// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public abstract class TimeZone {
    public TimeZone() {}
    public abstract int getOffset(int a0, int a1, int a2, int a3, int a4, int a5);
    public abstract int getRawOffset();
    public abstract boolean useDaylightTime();
    public java.lang.String getID() { return null; }
    public static java.util.TimeZone getTimeZone(java.lang.String a0) { return null; }
    public static java.util.TimeZone getDefault() { return null; }
    public static java.lang.String[] getAvailableIDs() { return null; }
}
