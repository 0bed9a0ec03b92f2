// Compile-time stub generated from the CLDC 1.0 member list.
// Signatures only: the phone supplies the real class.
package java.lang;

public abstract class VirtualMachineError extends java.lang.Error {
    public VirtualMachineError() {}
    public VirtualMachineError(java.lang.String a0) {}
}
