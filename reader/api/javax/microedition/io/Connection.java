// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface Connection {
    public abstract void close() throws java.io.IOException;
}
