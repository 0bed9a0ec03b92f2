// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface InputConnection extends javax.microedition.io.Connection {
    public abstract java.io.InputStream openInputStream() throws java.io.IOException;
    public abstract java.io.DataInputStream openDataInputStream() throws java.io.IOException;
}
