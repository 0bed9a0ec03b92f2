// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Byte {
    public Byte(byte a0) {}
    public static byte parseByte(java.lang.String a0) throws java.lang.NumberFormatException { return 0; }
    public static byte parseByte(java.lang.String a0, int a1) throws java.lang.NumberFormatException { return 0; }
    public byte byteValue() { return 0; }
    public java.lang.String toString() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public static final byte MIN_VALUE = (byte) -128;
    public static final byte MAX_VALUE = (byte) 127;
}
