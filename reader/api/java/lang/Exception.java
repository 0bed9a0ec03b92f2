// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class Exception extends java.lang.Throwable {
    public Exception() {}
    public Exception(java.lang.String a0) {}
}
