// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class ByteArrayOutputStream extends java.io.OutputStream {
    public ByteArrayOutputStream() {}
    public ByteArrayOutputStream(int a0) {}
    public void write(int a0) { }
    public void write(byte[] a0, int a1, int a2) { }
    public void reset() { }
    public byte[] toByteArray() { return null; }
    public int size() { return 0; }
    public java.lang.String toString() { return null; }
    public void close() throws java.io.IOException { }
    protected byte[] buf;
    protected int count;
}
