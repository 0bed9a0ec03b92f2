import com.nokia.mid.ui.FullCanvas;
import javax.microedition.lcdui.Graphics;

// The full-screen canvas of the Nokia UI API; loaded only where that API exists.
public class TBookN1Canvas extends FullCanvas {
    protected void paint(Graphics g) {
        TBookMIDlet.instance.paint(g, getWidth(), getHeight());
    }

    protected void keyPressed(int keyCode) {
        TBookMIDlet.instance.keyPressed(keyCode);
    }

    protected void keyRepeated(int keyCode) {
        keyPressed(keyCode);
    }
}
