// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class UnsupportedEncodingException extends java.io.IOException {
    public UnsupportedEncodingException() {}
    public UnsupportedEncodingException(java.lang.String a0) {}
}
