// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public abstract class OutputStream {
    public OutputStream() {}
    public abstract void write(int a0) throws java.io.IOException;
    public void write(byte[] a0) throws java.io.IOException { }
    public void write(byte[] a0, int a1, int a2) throws java.io.IOException { }
    public void flush() throws java.io.IOException { }
    public void close() throws java.io.IOException { }
}
