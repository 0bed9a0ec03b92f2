import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;
import javax.microedition.midlet.MIDlet;

// The MIDP 2.0 canvas: full screen, and the phone's own services for links;
// loaded only where MIDP 2.0 exists.
public class TBookN2Canvas extends TBookCanvas {
    public TBookN2Canvas() {
        setFullScreenMode(true);
    }

    // Draws an upright page turned a quarter clockwise onto the whole screen.
    static void drawTurned(Graphics g, Image page) {
        g.drawRegion(page, 0, 0, page.getWidth(), page.getHeight(), 5 /* Sprite.TRANS_ROT90 */, 0, 0,
                     Graphics.TOP | Graphics.LEFT);
    }

    // Hands an address (http, tel, sms, file) to the phone; false when it refuses.
    static boolean request(MIDlet midlet, String url) {
        try {
            midlet.platformRequest(url);
            return true;
        } catch (Throwable e) {
            return false;
        }
    }
}
