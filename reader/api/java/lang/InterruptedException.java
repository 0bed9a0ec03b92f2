// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class InterruptedException extends java.lang.Exception {
    public InterruptedException() {}
    public InterruptedException(java.lang.String a0) {}
}
