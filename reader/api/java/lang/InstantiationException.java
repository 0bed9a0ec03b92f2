// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class InstantiationException extends java.lang.Exception {
    public InstantiationException() {}
    public InstantiationException(java.lang.String a0) {}
}
