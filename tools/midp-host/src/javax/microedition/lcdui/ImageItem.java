package javax.microedition.lcdui;

/** Host implementation: shown by its alternative text. */
public class ImageItem extends Item {
    public static final int LAYOUT_DEFAULT = 0;
    public static final int LAYOUT_LEFT = 1;
    public static final int LAYOUT_RIGHT = 2;
    public static final int LAYOUT_CENTER = 3;
    public static final int LAYOUT_NEWLINE_BEFORE = 0x100;
    public static final int LAYOUT_NEWLINE_AFTER = 0x200;
    Image image;
    String altText;
    int layout;

    public ImageItem(String label, Image img, int layout, String altText) {
        this.label = label;
        this.image = img;
        this.layout = layout;
        this.altText = altText;
    }

    public Image getImage() {
        return image;
    }

    public void setImage(Image img) {
        image = img;
    }

    public String getAltText() {
        return altText;
    }

    public void setAltText(String text) {
        altText = text;
    }

    public int getLayout() {
        return layout;
    }

    public void setLayout(int layout) {
        this.layout = layout;
    }

    String show() {
        return "[image " + (image == null ? "none" : image.getWidth() + "x" + image.getHeight()) + "] "
            + (altText == null ? "" : altText);
    }
}
