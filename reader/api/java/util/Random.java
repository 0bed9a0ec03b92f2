// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.util;

public class Random {
    public Random() {}
    public Random(long a0) {}
    public void setSeed(long a0) { }
    protected int next(int a0) { return 0; }
    public int nextInt() { return 0; }
    public long nextLong() { return 0; }
}
