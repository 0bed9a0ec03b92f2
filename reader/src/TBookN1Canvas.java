import com.nokia.mid.ui.FullCanvas;
import javax.microedition.lcdui.Graphics;

// The full-screen canvas of the Nokia UI API; loaded only where that API exists.
public class TBookN1Canvas extends FullCanvas {
    protected void paint(Graphics g) {
        TBookMIDlet.Instance.Paint(g, getWidth(), getHeight());
    }

    protected void keyPressed(int keyCode) {
        TBookMIDlet.Instance.KeyPressed(keyCode);
    }
}
