// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public final class Math {
    Math() {}
    public static int abs(int a0) { return 0; }
    public static long abs(long a0) { return 0; }
    public static int max(int a0, int a1) { return 0; }
    public static long max(long a0, long a1) { return 0; }
    public static int min(int a0, int a1) { return 0; }
    public static long min(long a0, long a1) { return 0; }
}
