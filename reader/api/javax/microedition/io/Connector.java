// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public class Connector {
    Connector() {}
    public static javax.microedition.io.Connection open(java.lang.String a0) throws java.io.IOException { return null; }
    public static javax.microedition.io.Connection open(java.lang.String a0, int a1) throws java.io.IOException { return null; }
    public static javax.microedition.io.Connection open(java.lang.String a0, int a1, boolean a2) throws java.io.IOException { return null; }
    public static java.io.DataInputStream openDataInputStream(java.lang.String a0) throws java.io.IOException { return null; }
    public static java.io.DataOutputStream openDataOutputStream(java.lang.String a0) throws java.io.IOException { return null; }
    public static java.io.InputStream openInputStream(java.lang.String a0) throws java.io.IOException { return null; }
    public static java.io.OutputStream openOutputStream(java.lang.String a0) throws java.io.IOException { return null; }
    public static final int READ = 1;
    public static final int WRITE = 2;
    public static final int READ_WRITE = 3;
}
