import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Graphics;

// The MIDP 1.0 screen: hands painting and keys to the MIDlet.
public class TBookCanvas extends Canvas {
    protected void paint(Graphics g) {
        TBookMIDlet.Instance.Paint(g, getWidth(), getHeight());
    }

    protected void keyPressed(int keyCode) {
        TBookMIDlet.Instance.KeyPressed(keyCode);
    }
}
