package javax.microedition.lcdui;

import java.awt.image.BufferedImage;
import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;

/** Host implementation over a BufferedImage; PNG and JPEG through ImageIO. */
public class Image {
    final BufferedImage pixels;
    private final boolean mutable;

    /** Where createImage(String) finds the midlet's resources. */
    public static ClassLoader resources = Image.class.getClassLoader();

    private Image(BufferedImage pixels, boolean mutable) {
        this.pixels = pixels;
        this.mutable = mutable;
    }

    public static Image createImage(int width, int height) {
        if (width <= 0 || height <= 0) throw new IllegalArgumentException("size " + width + "x" + height);
        BufferedImage b = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
        java.awt.Graphics2D g = b.createGraphics();
        g.setColor(java.awt.Color.WHITE);
        g.fillRect(0, 0, width, height);
        g.dispose();
        return new Image(b, true);
    }

    public static Image createImage(Image source) {
        if (!source.mutable) return source;
        BufferedImage b = new BufferedImage(source.getWidth(), source.getHeight(), BufferedImage.TYPE_INT_RGB);
        b.getGraphics().drawImage(source.pixels, 0, 0, null);
        return new Image(b, false);
    }

    public static Image createImage(String name) throws IOException {
        String path = name.startsWith("/") ? name.substring(1) : name;
        try (InputStream in = resources.getResourceAsStream(path)) {
            if (in == null) throw new IOException("no resource " + name);
            return decode(in.readAllBytes());
        }
    }

    public static Image createImage(byte[] imageData, int imageOffset, int imageLength) {
        try {
            return decode(java.util.Arrays.copyOfRange(imageData, imageOffset, imageOffset + imageLength));
        } catch (IOException e) {
            throw new IllegalArgumentException(e.getMessage());
        }
    }

    private static Image decode(byte[] data) throws IOException {
        BufferedImage b = javax.imageio.ImageIO.read(new ByteArrayInputStream(data));
        if (b == null) throw new IOException("not a picture");
        return new Image(b, false);
    }

    public Graphics getGraphics() {
        if (!mutable) throw new IllegalStateException("immutable image");
        return new Graphics(pixels.createGraphics(), getWidth(), getHeight());
    }

    public int getWidth() { return pixels.getWidth(); }
    public int getHeight() { return pixels.getHeight(); }
    public boolean isMutable() { return mutable; }
}
