// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Short {
    public Short(short a0) {}
    public static short parseShort(java.lang.String a0) throws java.lang.NumberFormatException { return 0; }
    public static short parseShort(java.lang.String a0, int a1) throws java.lang.NumberFormatException { return 0; }
    public short shortValue() { return 0; }
    public java.lang.String toString() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public static final short MIN_VALUE = (short) -32768;
    public static final short MAX_VALUE = (short) 32767;
}
