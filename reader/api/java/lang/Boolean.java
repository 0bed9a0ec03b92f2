// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Boolean {
    public Boolean(boolean a0) {}
    public boolean booleanValue() { return false; }
    public java.lang.String toString() { return null; }
    public int hashCode() { return 0; }
    public boolean equals(java.lang.Object a0) { return false; }
}
