// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class EmptyStackException extends java.lang.RuntimeException {
    public EmptyStackException() {}
}
