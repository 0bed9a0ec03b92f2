// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public abstract class InputStream {
    public InputStream() {}
    public abstract int read() throws java.io.IOException;
    public int read(byte[] a0) throws java.io.IOException { return 0; }
    public int read(byte[] a0, int a1, int a2) throws java.io.IOException { return 0; }
    public long skip(long a0) throws java.io.IOException { return 0; }
    public int available() throws java.io.IOException { return 0; }
    public void close() throws java.io.IOException { }
    public void mark(int a0) { }
    public void reset() throws java.io.IOException { }
    public boolean markSupported() { return false; }
}
