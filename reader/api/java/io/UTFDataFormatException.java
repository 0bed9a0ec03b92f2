// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class UTFDataFormatException extends java.io.IOException {
    public UTFDataFormatException() {}
    public UTFDataFormatException(java.lang.String a0) {}
}
