// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public abstract class Reader {
    protected Reader() {}
    protected Reader(java.lang.Object a0) {}
    public int read() throws java.io.IOException { return 0; }
    public int read(char[] a0) throws java.io.IOException { return 0; }
    public abstract int read(char[] a0, int a1, int a2) throws java.io.IOException;
    public long skip(long a0) throws java.io.IOException { return 0; }
    public boolean ready() throws java.io.IOException { return false; }
    public boolean markSupported() { return false; }
    public void mark(int a0) throws java.io.IOException { }
    public void reset() throws java.io.IOException { }
    public abstract void close() throws java.io.IOException;
    protected java.lang.Object lock;
}
