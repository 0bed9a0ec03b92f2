// Compile-time stub of the MIDP 1.0 API (signatures only; the phone supplies the real class).
package javax.microedition.lcdui;

public interface ItemStateListener {
    public void itemStateChanged(Item item);
}
