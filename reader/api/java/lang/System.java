// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class System {
    System() {}
    public static long currentTimeMillis() { return 0; }
    public static void arraycopy(java.lang.Object a0, int a1, java.lang.Object a2, int a3, int a4) { }
    public static int identityHashCode(java.lang.Object a0) { return 0; }
    public static java.lang.String getProperty(java.lang.String a0) { return null; }
    public static void exit(int a0) { }
    public static void gc() { }
    public static final java.io.PrintStream out = null;
    public static final java.io.PrintStream err = null;
}
