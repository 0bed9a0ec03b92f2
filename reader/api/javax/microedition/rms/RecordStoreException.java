// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public class RecordStoreException extends Exception {
    public RecordStoreException() {}
    public RecordStoreException(String message) {}
}
