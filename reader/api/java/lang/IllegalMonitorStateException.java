// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class IllegalMonitorStateException extends java.lang.RuntimeException {
    public IllegalMonitorStateException() {}
    public IllegalMonitorStateException(java.lang.String a0) {}
}
