// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package javax.microedition.io;

public interface DatagramConnection extends javax.microedition.io.Connection {
    public abstract int getMaximumLength() throws java.io.IOException;
    public abstract int getNominalLength() throws java.io.IOException;
    public abstract void send(javax.microedition.io.Datagram a0) throws java.io.IOException;
    public abstract void receive(javax.microedition.io.Datagram a0) throws java.io.IOException;
    public abstract javax.microedition.io.Datagram newDatagram(int a0) throws java.io.IOException;
    public abstract javax.microedition.io.Datagram newDatagram(int a0, java.lang.String a1) throws java.io.IOException;
    public abstract javax.microedition.io.Datagram newDatagram(byte[] a0, int a1) throws java.io.IOException;
    public abstract javax.microedition.io.Datagram newDatagram(byte[] a0, int a1, java.lang.String a2) throws java.io.IOException;
}
