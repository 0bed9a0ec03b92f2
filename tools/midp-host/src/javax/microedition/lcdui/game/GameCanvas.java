package javax.microedition.lcdui.game;

/** MIDP 2.0 marker for the host's --midp2 mode: midlets probe for this class
 *  to find MIDP 2.0; without --midp2 the host hides it. */
public abstract class GameCanvas extends javax.microedition.lcdui.Canvas {
    protected GameCanvas(boolean suppressKeyEvents) {}
}
