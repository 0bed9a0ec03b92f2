// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class IOException extends java.lang.Exception {
    public IOException() {}
    public IOException(java.lang.String a0) {}
}
