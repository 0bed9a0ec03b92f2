// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class Throwable {
    public Throwable() {}
    public Throwable(java.lang.String a0) {}
    public java.lang.String getMessage() { return null; }
    public java.lang.String toString() { return null; }
    public void printStackTrace() { }
}
