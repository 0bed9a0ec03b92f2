// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class NullPointerException extends java.lang.RuntimeException {
    public NullPointerException() {}
    public NullPointerException(java.lang.String a0) {}
}
