// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.rms;

public interface RecordFilter {
    public boolean matches(byte[] candidate);
}
