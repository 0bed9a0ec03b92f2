// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface Datagram extends java.io.DataInput, java.io.DataOutput {
    public abstract java.lang.String getAddress();
    public abstract byte[] getData();
    public abstract int getLength();
    public abstract int getOffset();
    public abstract void setAddress(java.lang.String a0) throws java.io.IOException;
    public abstract void setAddress(javax.microedition.io.Datagram a0);
    public abstract void setLength(int a0);
    public abstract void setData(byte[] a0, int a1, int a2);
    public abstract void reset();
}
