// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class IllegalArgumentException extends java.lang.RuntimeException {
    public IllegalArgumentException() {}
    public IllegalArgumentException(java.lang.String a0) {}
}
