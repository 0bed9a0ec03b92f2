// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public interface DataInput {
    public abstract void readFully(byte[] a0) throws java.io.IOException;
    public abstract void readFully(byte[] a0, int a1, int a2) throws java.io.IOException;
    public abstract int skipBytes(int a0) throws java.io.IOException;
    public abstract boolean readBoolean() throws java.io.IOException;
    public abstract byte readByte() throws java.io.IOException;
    public abstract int readUnsignedByte() throws java.io.IOException;
    public abstract short readShort() throws java.io.IOException;
    public abstract int readUnsignedShort() throws java.io.IOException;
    public abstract char readChar() throws java.io.IOException;
    public abstract int readInt() throws java.io.IOException;
    public abstract long readLong() throws java.io.IOException;
    public abstract java.lang.String readUTF() throws java.io.IOException;
}
