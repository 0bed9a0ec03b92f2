import com.nokia.mid.ui.DeviceControl;
import com.nokia.mid.ui.FullCanvas;
import javax.microedition.lcdui.Graphics;

// The full-screen canvas of the Nokia UI API, and its backlight control;
// loaded only where that API exists.
public class TBookN1Canvas extends FullCanvas {
    // Sets the screen's backlight: 0 off, 1 to 100 lit at that brightness.
    static void lights(int level) {
        try {
            DeviceControl.setLights(0, level);
        } catch (Throwable e) {
            // a phone that refuses keeps its own lighting
        }
    }

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
