// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class StringBuffer {
    public StringBuffer() {}
    public StringBuffer(int a0) {}
    public StringBuffer(java.lang.String a0) {}
    public int length() { return 0; }
    public int capacity() { return 0; }
    public void ensureCapacity(int a0) { }
    public void setLength(int a0) { }
    public char charAt(int a0) { return 0; }
    public void getChars(int a0, int a1, char[] a2, int a3) { }
    public void setCharAt(int a0, char a1) { }
    public java.lang.StringBuffer append(java.lang.Object a0) { return null; }
    public java.lang.StringBuffer append(java.lang.String a0) { return null; }
    public java.lang.StringBuffer append(char[] a0) { return null; }
    public java.lang.StringBuffer append(char[] a0, int a1, int a2) { return null; }
    public java.lang.StringBuffer append(boolean a0) { return null; }
    public java.lang.StringBuffer append(char a0) { return null; }
    public java.lang.StringBuffer append(int a0) { return null; }
    public java.lang.StringBuffer append(long a0) { return null; }
    public java.lang.StringBuffer delete(int a0, int a1) { return null; }
    public java.lang.StringBuffer deleteCharAt(int a0) { return null; }
    public java.lang.StringBuffer insert(int a0, java.lang.Object a1) { return null; }
    public java.lang.StringBuffer insert(int a0, java.lang.String a1) { return null; }
    public java.lang.StringBuffer insert(int a0, char[] a1) { return null; }
    public java.lang.StringBuffer insert(int a0, boolean a1) { return null; }
    public java.lang.StringBuffer insert(int a0, char a1) { return null; }
    public java.lang.StringBuffer insert(int a0, int a1) { return null; }
    public java.lang.StringBuffer insert(int a0, long a1) { return null; }
    public java.lang.StringBuffer reverse() { return null; }
    public java.lang.String toString() { return null; }
}
