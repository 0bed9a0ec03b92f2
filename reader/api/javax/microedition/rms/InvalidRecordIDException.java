// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public class InvalidRecordIDException extends RecordStoreException {
    public InvalidRecordIDException() {}
    public InvalidRecordIDException(String message) {}
}
