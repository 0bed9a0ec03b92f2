// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class OutputStreamWriter extends java.io.Writer {
    public OutputStreamWriter(java.io.OutputStream a0) {}
    public OutputStreamWriter(java.io.OutputStream a0, java.lang.String a1) throws java.io.UnsupportedEncodingException {}
    public void write(int a0) throws java.io.IOException { }
    public void write(char[] a0, int a1, int a2) throws java.io.IOException { }
    public void write(java.lang.String a0, int a1, int a2) throws java.io.IOException { }
    public void flush() throws java.io.IOException { }
    public void close() throws java.io.IOException { }
}
