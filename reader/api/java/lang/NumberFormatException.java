// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class NumberFormatException extends java.lang.IllegalArgumentException {
    public NumberFormatException() {}
    public NumberFormatException(java.lang.String a0) {}
}
