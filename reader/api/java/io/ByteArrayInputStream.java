// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class ByteArrayInputStream extends java.io.InputStream {
    public ByteArrayInputStream(byte[] a0) {}
    public ByteArrayInputStream(byte[] a0, int a1, int a2) {}
    public int read() { return 0; }
    public int read(byte[] a0, int a1, int a2) { return 0; }
    public long skip(long a0) { return 0; }
    public int available() { return 0; }
    public boolean markSupported() { return false; }
    public void mark(int a0) { }
    public void reset() { }
    public void close() throws java.io.IOException { }
    protected byte[] buf;
    protected int pos;
    protected int mark;
    protected int count;
}
