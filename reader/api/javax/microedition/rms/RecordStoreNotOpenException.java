// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public class RecordStoreNotOpenException extends RecordStoreException {
    public RecordStoreNotOpenException() {}
    public RecordStoreNotOpenException(String message) {}
}
