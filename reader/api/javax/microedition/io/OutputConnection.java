// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface OutputConnection extends javax.microedition.io.Connection {
    public abstract java.io.OutputStream openOutputStream() throws java.io.IOException;
    public abstract java.io.DataOutputStream openDataOutputStream() throws java.io.IOException;
}
