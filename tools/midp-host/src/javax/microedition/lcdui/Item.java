package javax.microedition.lcdui;

/** Host implementation of a form item. */
public abstract class Item {
    String label;

    Item() {}

    public void setLabel(String label) {
        this.label = label;
    }

    public String getLabel() {
        return label;
    }

    /** The item as one line of text for the host's screen. */
    String show() {
        return label == null ? "" : label;
    }
}
