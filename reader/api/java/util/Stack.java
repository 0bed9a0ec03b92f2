// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class Stack extends java.util.Vector {
    public Stack() {}
    public java.lang.Object push(java.lang.Object a0) { return null; }
    public java.lang.Object pop() { return null; }
    public java.lang.Object peek() { return null; }
    public boolean empty() { return false; }
    public int search(java.lang.Object a0) { return 0; }
}
