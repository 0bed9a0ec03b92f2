// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Class {
    Class() {}
    public java.lang.String toString() { return null; }
    public static java.lang.Class forName(java.lang.String a0) throws java.lang.ClassNotFoundException { return null; }
    public java.lang.Object newInstance() throws java.lang.InstantiationException, java.lang.IllegalAccessException { return null; }
    public boolean isInstance(java.lang.Object a0) { return false; }
    public boolean isAssignableFrom(java.lang.Class a0) { return false; }
    public boolean isInterface() { return false; }
    public boolean isArray() { return false; }
    public java.lang.String getName() { return null; }
    public java.io.InputStream getResourceAsStream(java.lang.String a0) { return null; }
}
