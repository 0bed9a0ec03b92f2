// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class DataInputStream extends java.io.InputStream implements java.io.DataInput {
    public DataInputStream(java.io.InputStream a0) {}
    public int read() throws java.io.IOException { return 0; }
    public final int read(byte[] a0) throws java.io.IOException { return 0; }
    public final int read(byte[] a0, int a1, int a2) throws java.io.IOException { return 0; }
    public final void readFully(byte[] a0) throws java.io.IOException { }
    public final void readFully(byte[] a0, int a1, int a2) throws java.io.IOException { }
    public final int skipBytes(int a0) throws java.io.IOException { return 0; }
    public final boolean readBoolean() throws java.io.IOException { return false; }
    public final byte readByte() throws java.io.IOException { return 0; }
    public final int readUnsignedByte() throws java.io.IOException { return 0; }
    public final short readShort() throws java.io.IOException { return 0; }
    public final int readUnsignedShort() throws java.io.IOException { return 0; }
    public final char readChar() throws java.io.IOException { return 0; }
    public final int readInt() throws java.io.IOException { return 0; }
    public final long readLong() throws java.io.IOException { return 0; }
    public final java.lang.String readUTF() throws java.io.IOException { return null; }
    public static final java.lang.String readUTF(java.io.DataInput a0) throws java.io.IOException { return null; }
    public long skip(long a0) throws java.io.IOException { return 0; }
    public int available() throws java.io.IOException { return 0; }
    public void close() throws java.io.IOException { }
    public void mark(int a0) { }
    public void reset() throws java.io.IOException { }
    public boolean markSupported() { return false; }
    protected java.io.InputStream in;
}
