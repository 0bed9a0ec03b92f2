// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class PrintStream extends java.io.OutputStream {
    public PrintStream(java.io.OutputStream a0) {}
    public void flush() { }
    public void close() { }
    public boolean checkError() { return false; }
    protected void setError() { }
    public void write(int a0) { }
    public void write(byte[] a0, int a1, int a2) { }
    public void print(boolean a0) { }
    public void print(char a0) { }
    public void print(int a0) { }
    public void print(long a0) { }
    public void print(char[] a0) { }
    public void print(java.lang.String a0) { }
    public void print(java.lang.Object a0) { }
    public void println() { }
    public void println(boolean a0) { }
    public void println(char a0) { }
    public void println(int a0) { }
    public void println(long a0) { }
    public void println(char[] a0) { }
    public void println(java.lang.String a0) { }
    public void println(java.lang.Object a0) { }
}
