// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface StreamConnectionNotifier extends javax.microedition.io.Connection {
    public abstract javax.microedition.io.StreamConnection acceptAndOpen() throws java.io.IOException;
}
