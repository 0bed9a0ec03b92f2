// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public interface CommandListener {
    public void commandAction(Command c, Displayable d);
}
