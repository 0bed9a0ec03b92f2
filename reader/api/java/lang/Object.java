// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class Object {
    public Object() {}
    public final java.lang.Class getClass() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
    public java.lang.String toString() { return null; }
    public final void notify() { }
    public final void notifyAll() { }
    public final void wait(long a0) throws java.lang.InterruptedException { }
    public final void wait(long a0, int a1) throws java.lang.InterruptedException { }
    public final void wait() throws java.lang.InterruptedException { }
}
