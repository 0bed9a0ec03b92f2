package javax.microedition.lcdui;

/** Host implementation. */
public class StringItem extends Item {
    String text;

    public StringItem(String label, String text) {
        this.label = label;
        this.text = text;
    }

    public String getText() {
        return text;
    }

    public void setText(String text) {
        this.text = text;
    }

    String show() {
        return (label == null ? "" : label + " ") + (text == null ? "" : text);
    }
}
