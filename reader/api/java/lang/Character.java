// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Character {
    public Character(char a0) {}
    public char charValue() { return 0; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public java.lang.String toString() { return null; }
    public static boolean isLowerCase(char a0) { return false; }
    public static boolean isUpperCase(char a0) { return false; }
    public static boolean isDigit(char a0) { return false; }
    public static char toLowerCase(char a0) { return 0; }
    public static char toUpperCase(char a0) { return 0; }
    public static int digit(char a0, int a1) { return 0; }
    public static final int MIN_RADIX = 2;
    public static final int MAX_RADIX = 36;
    public static final char MIN_VALUE = (char) 0;
    public static final char MAX_VALUE = (char) 65535;
}
