// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Integer {
    public Integer(int a0) {}
    public static java.lang.String toString(int a0, int a1) { return null; }
    public static java.lang.String toHexString(int a0) { return null; }
    public static java.lang.String toOctalString(int a0) { return null; }
    public static java.lang.String toBinaryString(int a0) { return null; }
    public static java.lang.String toString(int a0) { return null; }
    public static int parseInt(java.lang.String a0, int a1) throws java.lang.NumberFormatException { return 0; }
    public static int parseInt(java.lang.String a0) throws java.lang.NumberFormatException { return 0; }
    public static java.lang.Integer valueOf(java.lang.String a0, int a1) throws java.lang.NumberFormatException { return null; }
    public static java.lang.Integer valueOf(java.lang.String a0) throws java.lang.NumberFormatException { return null; }
    public byte byteValue() { return 0; }
    public short shortValue() { return 0; }
    public int intValue() { return 0; }
    public long longValue() { return 0; }
    public java.lang.String toString() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public static final int MIN_VALUE = 0x80000000;
    public static final int MAX_VALUE = 2147483647;
}
