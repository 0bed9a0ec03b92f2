// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Long {
    public Long(long a0) {}
    public static java.lang.String toString(long a0, int a1) { return null; }
    public static java.lang.String toString(long a0) { return null; }
    public static long parseLong(java.lang.String a0, int a1) throws java.lang.NumberFormatException { return 0; }
    public static long parseLong(java.lang.String a0) throws java.lang.NumberFormatException { return 0; }
    public long longValue() { return 0; }
    public java.lang.String toString() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public static final long MIN_VALUE = 0x8000000000000000L;
    public static final long MAX_VALUE = 9223372036854775807L;
}
