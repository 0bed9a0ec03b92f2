import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Graphics;

// The plain MIDP 1.0 screen: hands painting and keys to the MIDlet.
public class TBookCanvas extends Canvas {
    protected void paint(Graphics g) {
        TBookMIDlet.instance.paint(g, getWidth(), getHeight());
    }

    protected void keyPressed(int keyCode) {
        TBookMIDlet.instance.keyPressed(keyCode);
    }

    protected void pointerPressed(int x, int y) {
        TBookMIDlet.instance.pointerPressed(x, y);
    }

    protected void keyRepeated(int keyCode) {
        TBookMIDlet.instance.keyRepeated(keyCode);
    }
}
