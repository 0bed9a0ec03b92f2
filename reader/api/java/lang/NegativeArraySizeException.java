// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class NegativeArraySizeException extends java.lang.RuntimeException {
    public NegativeArraySizeException() {}
    public NegativeArraySizeException(java.lang.String a0) {}
}
