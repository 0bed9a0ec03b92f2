// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class InterruptedIOException extends java.io.IOException {
    public InterruptedIOException() {}
    public InterruptedIOException(java.lang.String a0) {}
    public int bytesTransferred;
}
