// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class DataOutputStream extends java.io.OutputStream implements java.io.DataOutput {
    public DataOutputStream(java.io.OutputStream a0) {}
    public void write(int a0) throws java.io.IOException { }
    public void write(byte[] a0, int a1, int a2) throws java.io.IOException { }
    public void flush() throws java.io.IOException { }
    public void close() throws java.io.IOException { }
    public final void writeBoolean(boolean a0) throws java.io.IOException { }
    public final void writeByte(int a0) throws java.io.IOException { }
    public final void writeShort(int a0) throws java.io.IOException { }
    public final void writeChar(int a0) throws java.io.IOException { }
    public final void writeInt(int a0) throws java.io.IOException { }
    public final void writeLong(long a0) throws java.io.IOException { }
    public final void writeChars(java.lang.String a0) throws java.io.IOException { }
    public final void writeUTF(java.lang.String a0) throws java.io.IOException { }
    protected java.io.OutputStream out;
}
