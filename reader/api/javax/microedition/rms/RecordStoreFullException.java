// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public class RecordStoreFullException extends RecordStoreException {
    public RecordStoreFullException() {}
    public RecordStoreFullException(String message) {}
}
