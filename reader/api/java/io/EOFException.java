// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class EOFException extends java.io.IOException {
    public EOFException() {}
    public EOFException(java.lang.String a0) {}
}
