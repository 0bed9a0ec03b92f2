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

    // The picture made small enough for a box of w by h, keeping its
    // proportions (itself when it fits): nearest pixels, column by column
    // into a first image, then row by row, drawn through a one-pixel clip,
    // since MIDP 1.0 cannot read pixels. What is transparent takes the colour back.
    TImage fit(int w, int h, int back) {
        if (width <= w && height <= h) return this;
        int tw = w;
        int th = Math.max(1, height * w / width);
        if (th > h) {
            th = h;
            tw = Math.max(1, width * h / height);
        }
        Image columns = Image.createImage(tw, height);
        Graphics g = columns.getGraphics();
        g.setColor(back);
        g.fillRect(0, 0, tw, height);
        for (int x = 0; x < tw; x++) {
            g.setClip(x, 0, 1, height);
            g.drawImage(image, x - x * width / tw, 0, Graphics.TOP | Graphics.LEFT);
        }
        Image fitted = Image.createImage(tw, th);
        g = fitted.getGraphics();
        for (int y = 0; y < th; y++) {
            g.setClip(0, y, tw, 1);
            g.drawImage(columns, 0, y - y * height / th, Graphics.TOP | Graphics.LEFT);
        }
        return new TImage(fitted);
    }

    // Draws the picture centred in the box (x, y, w, h) of the screen and cut to it.
    void drawCentred(Graphics g, int x, int y, int w, int h) {
        g.setClip(x, y, w, h);
        g.drawImage(image, x + (w - width) / 2, y + Math.max(0, (h - height) / 2), Graphics.TOP | Graphics.LEFT);
        g.setClip(0, 0, 4096, 4096);
    }
}
