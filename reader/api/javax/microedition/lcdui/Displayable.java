// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public abstract class Displayable {
    Displayable() {}
    public native boolean isShown();
    public native void addCommand(Command cmd);
    public native void removeCommand(Command cmd);
    public native void setCommandListener(CommandListener l);
}
