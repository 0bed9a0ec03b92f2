// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class ClassCastException extends java.lang.RuntimeException {
    public ClassCastException() {}
    public ClassCastException(java.lang.String a0) {}
}
