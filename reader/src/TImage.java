import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

// A picture of the archive as the reader shows it: in the text (kept inside
// the text width) or alone on the screen.
public class TImage {
    final Image image;
    final int width;
    final int height;

    private TImage(Image image) {
        this.image = image;
        width = image.getWidth();
        height = image.getHeight();
    }

    // The picture of the archive entry, or null when it is missing or damaged.
    static TImage load(String name) {
        try {
            return new TImage(Image.createImage(name.startsWith("/") ? name : "/" + name));
        } catch (Throwable e) {
            return null;
        }
    }

    // Draws the picture centred in the box (x, y, w, h) of the screen and cut to it.
    void drawCentred(Graphics g, int x, int y, int w, int h) {
        g.setClip(x, y, w, h);
        g.drawImage(image, x + (w - width) / 2, y + Math.max(0, (h - height) / 2), Graphics.TOP | Graphics.LEFT);
        g.setClip(0, 0, 4096, 4096);
    }
}
