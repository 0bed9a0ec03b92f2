import javax.microedition.lcdui.Display;
import javax.microedition.lcdui.Graphics;
import javax.microedition.midlet.MIDlet;

// The reader's MIDlet: owns the book and everything the screens show.
public class TBookMIDlet extends MIDlet {
    static TBookMIDlet Instance;
    private TBookCanvas Canvas;

    public TBookMIDlet() {
        Instance = this;
    }

    protected void startApp() {
        if (Canvas == null) Canvas = new TBookCanvas();
        Display.getDisplay(this).setCurrent(Canvas);
    }

    protected void pauseApp() {}

    protected void destroyApp(boolean unconditional) {}

    void Paint(Graphics g, int width, int height) {
        g.setColor(0xffffff);
        g.fillRect(0, 0, width, height);
    }

    void KeyPressed(int keyCode) {}
}
