// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class ArrayIndexOutOfBoundsException extends java.lang.IndexOutOfBoundsException {
    public ArrayIndexOutOfBoundsException() {}
    public ArrayIndexOutOfBoundsException(int a0) {}
    public ArrayIndexOutOfBoundsException(java.lang.String a0) {}
}
