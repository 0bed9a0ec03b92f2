// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class StringIndexOutOfBoundsException extends java.lang.IndexOutOfBoundsException {
    public StringIndexOutOfBoundsException() {}
    public StringIndexOutOfBoundsException(java.lang.String a0) {}
    public StringIndexOutOfBoundsException(int a0) {}
}
