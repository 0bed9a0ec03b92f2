// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class ArithmeticException extends java.lang.RuntimeException {
    public ArithmeticException() {}
    public ArithmeticException(java.lang.String a0) {}
}
