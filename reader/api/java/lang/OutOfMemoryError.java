// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public class OutOfMemoryError extends java.lang.VirtualMachineError {
    public OutOfMemoryError() {}
    public OutOfMemoryError(java.lang.String a0) {}
}
