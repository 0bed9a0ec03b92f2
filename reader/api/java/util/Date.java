// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class Date {
    public Date() {}
    public Date(long a0) {}
    public long getTime() { return 0; }
    public void setTime(long a0) { }
    public boolean equals(java.lang.Object a0) { return false; }
    public int hashCode() { return 0; }
}
