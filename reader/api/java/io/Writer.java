// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public abstract class Writer {
    protected Writer() {}
    protected Writer(java.lang.Object a0) {}
    public void write(int a0) throws java.io.IOException { }
    public void write(char[] a0) throws java.io.IOException { }
    public abstract void write(char[] a0, int a1, int a2) throws java.io.IOException;
    public void write(java.lang.String a0) throws java.io.IOException { }
    public void write(java.lang.String a0, int a1, int a2) throws java.io.IOException { }
    public abstract void flush() throws java.io.IOException;
    public abstract void close() throws java.io.IOException;
    protected java.lang.Object lock;
}
