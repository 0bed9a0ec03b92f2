// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public interface DataOutput {
    public abstract void write(int a0) throws java.io.IOException;
    public abstract void write(byte[] a0) throws java.io.IOException;
    public abstract void write(byte[] a0, int a1, int a2) throws java.io.IOException;
    public abstract void writeBoolean(boolean a0) throws java.io.IOException;
    public abstract void writeByte(int a0) throws java.io.IOException;
    public abstract void writeShort(int a0) throws java.io.IOException;
    public abstract void writeChar(int a0) throws java.io.IOException;
    public abstract void writeInt(int a0) throws java.io.IOException;
    public abstract void writeLong(long a0) throws java.io.IOException;
    public abstract void writeChars(java.lang.String a0) throws java.io.IOException;
    public abstract void writeUTF(java.lang.String a0) throws java.io.IOException;
}
