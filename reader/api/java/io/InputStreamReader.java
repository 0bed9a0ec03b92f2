// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.io;

public class InputStreamReader extends java.io.Reader {
    public InputStreamReader(java.io.InputStream a0) {}
    public InputStreamReader(java.io.InputStream a0, java.lang.String a1) throws java.io.UnsupportedEncodingException {}
    public int read() throws java.io.IOException { return 0; }
    public int read(char[] a0, int a1, int a2) throws java.io.IOException { return 0; }
    public long skip(long a0) throws java.io.IOException { return 0; }
    public boolean ready() throws java.io.IOException { return false; }
    public boolean markSupported() { return false; }
    public void mark(int a0) throws java.io.IOException { }
    public void reset() throws java.io.IOException { }
    public void close() throws java.io.IOException { }
}
