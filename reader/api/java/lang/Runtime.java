// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class Runtime {
    Runtime() {}
    public static java.lang.Runtime getRuntime() { return null; }
    public void exit(int a0) { }
    public long freeMemory() { return 0; }
    public long totalMemory() { return 0; }
    public void gc() { }
}
