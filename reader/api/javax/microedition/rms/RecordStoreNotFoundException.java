// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public class RecordStoreNotFoundException extends RecordStoreException {
    public RecordStoreNotFoundException() {}
    public RecordStoreNotFoundException(String message) {}
}
