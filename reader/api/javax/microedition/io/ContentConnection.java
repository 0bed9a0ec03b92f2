// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface ContentConnection extends javax.microedition.io.StreamConnection {
    public abstract java.lang.String getType();
    public abstract java.lang.String getEncoding();
    public abstract long getLength();
}
