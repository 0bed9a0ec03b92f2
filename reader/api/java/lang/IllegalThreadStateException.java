// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class IllegalThreadStateException extends java.lang.IllegalArgumentException {
    public IllegalThreadStateException() {}
    public IllegalThreadStateException(java.lang.String a0) {}
}
