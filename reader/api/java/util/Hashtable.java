// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class Hashtable {
    public Hashtable(int a0) {}
    public Hashtable() {}
    public int size() { return 0; }
    public boolean isEmpty() { return false; }
    public java.util.Enumeration keys() { return null; }
    public java.util.Enumeration elements() { return null; }
    public boolean contains(java.lang.Object a0) { return false; }
    public boolean containsKey(java.lang.Object a0) { return false; }
    public java.lang.Object get(java.lang.Object a0) { return null; }
    protected void rehash() { }
    public java.lang.Object put(java.lang.Object a0, java.lang.Object a1) { return null; }
    public java.lang.Object remove(java.lang.Object a0) { return null; }
    public void clear() { }
    public java.lang.String toString() { return null; }
}
