// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class Vector {
    public Vector(int a0, int a1) {}
    public Vector(int a0) {}
    public Vector() {}
    public void copyInto(java.lang.Object[] a0) { }
    public void trimToSize() { }
    public void ensureCapacity(int a0) { }
    public void setSize(int a0) { }
    public int capacity() { return 0; }
    public int size() { return 0; }
    public boolean isEmpty() { return false; }
    public java.util.Enumeration elements() { return null; }
    public boolean contains(java.lang.Object a0) { return false; }
    public int indexOf(java.lang.Object a0) { return 0; }
    public int indexOf(java.lang.Object a0, int a1) { return 0; }
    public int lastIndexOf(java.lang.Object a0) { return 0; }
    public int lastIndexOf(java.lang.Object a0, int a1) { return 0; }
    public java.lang.Object elementAt(int a0) { return null; }
    public java.lang.Object firstElement() { return null; }
    public java.lang.Object lastElement() { return null; }
    public void setElementAt(java.lang.Object a0, int a1) { }
    public void removeElementAt(int a0) { }
    public void insertElementAt(java.lang.Object a0, int a1) { }
    public void addElement(java.lang.Object a0) { }
    public boolean removeElement(java.lang.Object a0) { return false; }
    public void removeAllElements() { }
    public java.lang.String toString() { return null; }
    protected java.lang.Object[] elementData;
    protected int elementCount;
    protected int capacityIncrement;
}
